#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brio {

// The arguments of a Windows command line, split as Windows programs split theirs: blanks separate
// arguments outside quotes; 2n backslashes before a quote give n backslashes and the quote opens or
// closes; 2n+1 give n backslashes and a literal quote; "" inside quotes is a literal quote; other
// backslashes are literal.
std::vector<std::string> SplitWindowsArguments(std::string_view line);

} // namespace brio
