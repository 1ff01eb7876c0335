#pragma once

#include <string>
#include <string_view>

namespace brio {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the control characters of the same number, so every byte comes back unchanged below.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 XML text back to Windows-1252. A character the code page cannot hold becomes a character
// reference ("&#x4E2D;"), which an XML reader turns back into the character.
std::string Utf8ToWindows1252Xml(std::string_view utf8);

} // namespace brio
