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

// Reads byte by byte up to a line end (kept out) or to the end of input; never more than that line.
void readLine(SecretString& into) {
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (byte == '\n')
            break;
        into.push_back(byte);
    }
    byte = 0;
    if (!into.empty() && into.back() == '\r')
        into.pop_back();
}

} // namespace

Secret ReadSecretLine(const std::string& prompt) {
    Secret secret;
    secret.reserve(256);
    if (::isatty(STDIN_FILENO)) {
        std::cerr << prompt << std::flush;
        EchoOff quiet;
        readLine(secret);
    } else {
        readLine(secret);
    }
    return secret;
}

Secret ReadSecretText(const std::string& prompt) {
    if (::isatty(STDIN_FILENO))
        return ReadSecretLine(prompt);
    Secret secret;
    secret.reserve(4096);
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        secret.append(std::string_view(chunk, static_cast<std::size_t>(got)));
    }
    ::explicit_bzero(chunk, sizeof chunk);
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r'))
        secret.pop_back();
    return secret;
}

} // namespace brio::cli
