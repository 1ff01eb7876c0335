#pragma once

#include <cstddef>

namespace brio {

// Memory for the XML documents a thread parses only to check them: one mapping, on huge pages where the
// host gives them, handed out front to back and taken back whole. A second parse so reuses the pages the
// first one touched, and neither faults in a page per 4 KiB of its document. While an arena is current on
// a thread, that thread's document memory comes from it (from the heap once it is full); such documents
// must end on that thread, before the arena's Reset or end.
class ParseArena {
public:
    // Maps `capacity` bytes (only what is used is ever touched) and makes the arena current on this thread.
    explicit ParseArena(std::size_t capacity);
    // Makes the arena that was current before it current again, and unmaps it.
    ~ParseArena();
    ParseArena(const ParseArena&) = delete;
    ParseArena& operator=(const ParseArena&) = delete;

    // Every document that took memory here has ended: hands it out again from the start.
    void Reset() noexcept { used_ = 0; }
    // Bytes handed out since the last Reset.
    std::size_t used() const noexcept { return used_; }

private:
    friend struct ParseArenaAccess;
    char* base_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    ParseArena* previous_ = nullptr;
};

} // namespace brio
