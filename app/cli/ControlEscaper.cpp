#include "ControlEscaper.h"

#include <cstdio>
#include <iostream>

namespace brio::cli {

namespace {

bool isControl(unsigned char b) {
    return (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F;
}

} // namespace

ControlEscaper::~ControlEscaper() {
    flushPending();
}

bool ControlEscaper::escape(unsigned code) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04X", code);
    return target_->sputn(text, 6) == 6;
}

bool ControlEscaper::flushPending() {
    if (!pendingLead_)
        return true;
    pendingLead_ = false;
    return target_->sputc('\xC2') != traits_type::eof();
}

std::streamsize ControlEscaper::xsputn(const char* s, std::streamsize n) {
    std::streamsize run = 0; // start of the bytes not yet passed on
    for (std::streamsize i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (pendingLead_) {
            pendingLead_ = false;
            if (b >= 0x80 && b <= 0x9F) {
                if (!escape(b))
                    return i;
                run = i + 1;
                continue;
            }
            if (target_->sputc('\xC2') == traits_type::eof())
                return i;
        }
        if (b != 0xC2 && !isControl(b))
            continue;
        if (i > run && target_->sputn(s + run, i - run) != i - run)
            return run;
        run = i + 1;
        if (b == 0xC2)
            pendingLead_ = true;
        else if (!escape(b))
            return i;
    }
    if (n > run && target_->sputn(s + run, n - run) != n - run)
        return run;
    return n;
}

ControlEscaper::int_type ControlEscaper::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

int ControlEscaper::sync() {
    // A lead byte waits for its next byte; only the end of the output passes it on alone.
    return target_->pubsync();
}

EscapedStandardStreams::EscapedStandardStreams()
    : outBuffer_(std::cout.rdbuf()), errBuffer_(std::cerr.rdbuf()), out_(outBuffer_), err_(errBuffer_) {
    std::cout.rdbuf(&out_);
    std::cerr.rdbuf(&err_);
}

EscapedStandardStreams::~EscapedStandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(outBuffer_);
    std::cerr.rdbuf(errBuffer_);
}

} // namespace brio::cli
