#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brio {

// Text that must not outlive its use, such as a password. Every buffer it ever held is wiped before it
// is freed or given up (growth included), and while any non-empty one exists the process cannot be
// dumped (PR_SET_DUMPABLE 0): a core file never holds it. Copies are secrets of their own.
class SecretString {
public:
    SecretString() noexcept = default;
    explicit SecretString(std::string_view text);
    SecretString(const SecretString& other);
    SecretString(SecretString&& other) noexcept;
    SecretString& operator=(const SecretString& other);
    SecretString& operator=(SecretString&& other) noexcept;
    ~SecretString();

    // The text; valid until the object changes. Never copy it into a plain string that outlives the call.
    const std::string& str() const noexcept { return text_; }
    bool empty() const noexcept { return text_.empty(); }
    std::size_t size() const noexcept { return text_.size(); }
    char back() const { return text_.back(); }

    void assign(std::string_view text);
    void append(std::string_view text);
    void push_back(char c) { append(std::string_view(&c, 1)); }
    void pop_back();
    // Makes room for `capacity` bytes without leaving an unwiped copy behind.
    void reserve(std::size_t capacity);
    // Wipes the text; the object is then empty.
    void clear() noexcept;

    // Whether the process is kept from dumping because a secret is held (for tests).
    static bool DumpsBlocked() noexcept;

private:
    void hold();
    void release() noexcept;

    std::string text_;
    bool held_ = false;
};

} // namespace brio
