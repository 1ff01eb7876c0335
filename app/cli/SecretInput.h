#pragma once

#include <string>

namespace brio::cli {

// Text that must not outlive its use: wiped when the object goes.
class Secret {
public:
    Secret() = default;
    explicit Secret(std::string text) : text_(std::move(text)) {}
    ~Secret();
    Secret(Secret&& other) noexcept;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    const std::string& text() const noexcept { return text_; }
    std::string& text() noexcept { return text_; }

private:
    void wipe() noexcept;

    std::string text_;
};

// One line of standard input, without its line end. On a terminal the prompt goes to standard error and
// the typing is not echoed; otherwise the line is read as it comes. End of input gives what was read.
Secret ReadSecretLine(const std::string& prompt);

// All of standard input, without the line end of its last line; the same echo rule as ReadSecretLine
// (a terminal gives one line).
Secret ReadSecretText(const std::string& prompt);

} // namespace brio::cli
