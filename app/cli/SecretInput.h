#pragma once

#include "SecretString.h"

#include <string>

namespace brio::cli {

// Text that must not outlive its use: every buffer it held is wiped, and the process cannot be dumped
// while it holds any (SecretString).
class Secret : public SecretString {
public:
    using SecretString::SecretString;
    const std::string& text() const noexcept { return str(); }
};

// One line of standard input, without its line end. On a terminal the prompt goes to standard error and
// the typing is not echoed; otherwise the line is read as it comes. End of input gives what was read.
Secret ReadSecretLine(const std::string& prompt);

// All of standard input, without the line end of its last line; the same echo rule as ReadSecretLine
// (a terminal gives one line).
Secret ReadSecretText(const std::string& prompt);

} // namespace brio::cli
