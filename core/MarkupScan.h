#pragma once

#include <cstddef>
#include <string_view>

namespace brio {

// Where a start tag of `text` holds a "<" inside a quoted value, which the list reader takes but a line
// break of the formatter would change; npos when none does. Comments, CDATA sections, processing
// instructions, end tags and the document type are passed over. One pass, 16 bytes at a time.
std::size_t RawLessThanInValue(std::string_view text);

} // namespace brio
