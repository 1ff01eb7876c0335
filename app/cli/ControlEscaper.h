#pragma once

#include <streambuf>

namespace brio::cli {

// Passes text on to another stream buffer with its control characters shown escaped, so that a name
// holding terminal escape sequences cannot rewrite the terminal: every C0 control but line feed and tab,
// DEL, and the C1 controls (U+0080..U+009F in UTF-8) become "\u001B" and the like, which also reads as
// the same character inside a JSON string.
class ControlEscaper : public std::streambuf {
public:
    explicit ControlEscaper(std::streambuf* target) : target_(target) {}
    ~ControlEscaper() override;
    ControlEscaper(const ControlEscaper&) = delete;
    ControlEscaper& operator=(const ControlEscaper&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool flushPending();
    bool escape(unsigned code);

    std::streambuf* target_;
    bool pendingLead_ = false; // a 0xC2 byte whose next byte decides whether it starts a C1 control
};

// Puts an escaper between std::cout and std::cerr and their buffers for the life of the object.
class EscapedStandardStreams {
public:
    EscapedStandardStreams();
    ~EscapedStandardStreams();
    EscapedStandardStreams(const EscapedStandardStreams&) = delete;
    EscapedStandardStreams& operator=(const EscapedStandardStreams&) = delete;

private:
    std::streambuf* outBuffer_;
    std::streambuf* errBuffer_;
    ControlEscaper out_;
    ControlEscaper err_;
};

} // namespace brio::cli
