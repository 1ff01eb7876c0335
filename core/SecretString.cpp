#include "SecretString.h"

#include <cstring>
#include <mutex>
#include <sys/prctl.h>

namespace brio {

namespace {

std::mutex g_mutex;
int g_held = 0;        // non-empty secrets alive
int g_wasDumpable = 1; // the setting before the first secret turned dumps off

void wipe(std::string& text) noexcept {
    // The whole buffer, so that a short text kept inside the string object is wiped as well.
    if (text.capacity() > 0)
        ::explicit_bzero(text.data(), text.capacity());
    text.clear();
}

} // namespace

SecretString::SecretString(std::string_view text) {
    assign(text);
}

SecretString::SecretString(const SecretString& other) : SecretString(std::string_view(other.text_)) {}

SecretString::SecretString(SecretString&& other) noexcept : SecretString() {
    // A long text's buffer moves; a short one is copied out of the other object, which is then wiped.
    text_ = std::move(other.text_);
    held_ = other.held_;
    other.held_ = false;
    wipe(other.text_);
}

SecretString& SecretString::operator=(const SecretString& other) {
    if (this != &other)
        assign(other.text_);
    return *this;
}

SecretString& SecretString::operator=(SecretString&& other) noexcept {
    if (this != &other) {
        clear();
        text_ = std::move(other.text_);
        held_ = other.held_;
        other.held_ = false;
        wipe(other.text_);
    }
    return *this;
}

SecretString::~SecretString() {
    clear();
}

void SecretString::reserve(std::size_t capacity) {
    if (capacity <= text_.capacity())
        return;
    std::string larger;
    larger.reserve(capacity);
    larger.append(text_);
    wipe(text_);
    text_.swap(larger);
}

void SecretString::assign(std::string_view text) {
    clear();
    append(text);
}

void SecretString::append(std::string_view text) {
    if (text.empty())
        return;
    hold();
    if (text_.size() + text.size() > text_.capacity())
        reserve(2 * (text_.size() + text.size()));
    text_.append(text);
}

void SecretString::pop_back() {
    text_.back() = '\0';
    text_.pop_back();
}

void SecretString::clear() noexcept {
    wipe(text_);
    release();
}

void SecretString::hold() {
    if (held_)
        return;
    const std::lock_guard guard(g_mutex);
    if (g_held++ == 0) {
        g_wasDumpable = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
        ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    }
    held_ = true;
}

void SecretString::release() noexcept {
    if (!held_)
        return;
    const std::lock_guard guard(g_mutex);
    // Dumps come back only when no secret is left, and only if they were allowed before.
    if (--g_held == 0 && g_wasDumpable > 0)
        ::prctl(PR_SET_DUMPABLE, g_wasDumpable, 0, 0, 0);
    held_ = false;
}

bool SecretString::DumpsBlocked() noexcept {
    return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
}

} // namespace brio
