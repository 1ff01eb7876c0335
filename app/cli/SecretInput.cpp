#include "SecretInput.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace brio::cli {

namespace {

// The terminal's settings while echo is off, so that an interrupt can put them back.
termios gSaved{};
volatile std::sig_atomic_t gEchoOff = 0;

extern "C" void restoreAndRaise(int signal) {
    if (gEchoOff)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSaved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Turns the terminal's echo off for the life of the object.
class EchoOff {
public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &gSaved) != 0)
            return;
        termios quiet = gSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        oldInt_ = std::signal(SIGINT, restoreAndRaise);
        oldTerm_ = std::signal(SIGTERM, restoreAndRaise);
        oldHup_ = std::signal(SIGHUP, restoreAndRaise);
        gEchoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (gEchoOff) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSaved);
            gEchoOff = 0;
            std::signal(SIGINT, oldInt_);
            std::signal(SIGTERM, oldTerm_);
            std::signal(SIGHUP, oldHup_);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    void (*oldInt_)(int) = SIG_DFL;
    void (*oldTerm_)(int) = SIG_DFL;
    void (*oldHup_)(int) = SIG_DFL;
};

// Makes room for `more` bytes; the old buffer is wiped, never left behind by a reallocation.
void reserveWiped(std::string& text, std::size_t more) {
    if (text.size() + more <= text.capacity())
        return;
    std::string larger;
    larger.reserve(2 * (text.size() + more));
    larger.append(text);
    ::explicit_bzero(text.data(), text.size());
    text.swap(larger);
}

// Reads byte by byte up to a line end (kept out) or to the end of input; never more than that line.
void readLine(std::string& into) {
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (byte == '\n')
            break;
        reserveWiped(into, 1);
        into.push_back(byte);
    }
    byte = 0;
    if (!into.empty() && into.back() == '\r')
        into.pop_back();
}

} // namespace

Secret::Secret(Secret&& other) noexcept : text_(std::move(other.text_)) {
    other.wipe();
}

Secret::~Secret() {
    wipe();
}

void Secret::wipe() noexcept {
    // The whole buffer, so that a short text kept inside the object is wiped as well.
    if (text_.capacity() > 0)
        ::explicit_bzero(text_.data(), text_.capacity());
    text_.clear();
}

Secret ReadSecretLine(const std::string& prompt) {
    Secret secret;
    secret.text().reserve(256);
    if (::isatty(STDIN_FILENO)) {
        std::cerr << prompt << std::flush;
        EchoOff quiet;
        readLine(secret.text());
    } else {
        readLine(secret.text());
    }
    return secret;
}

Secret ReadSecretText(const std::string& prompt) {
    if (::isatty(STDIN_FILENO))
        return ReadSecretLine(prompt);
    Secret secret;
    std::string& text = secret.text();
    text.reserve(4096);
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        reserveWiped(text, static_cast<std::size_t>(got));
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::explicit_bzero(chunk, sizeof chunk);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return secret;
}

} // namespace brio::cli
