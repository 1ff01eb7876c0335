#include "ParseArena.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace brio {

namespace {

thread_local ParseArena* t_current = nullptr;

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kAlignment = 16; // what malloc gives, and more than any document node needs

} // namespace

struct ParseArenaAccess {
    static void* allocate(std::size_t size) {
        ParseArena* arena = t_current;
        const std::size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
        if (arena && arena->base_ && rounded <= arena->capacity_ - arena->used_) {
            void* at = arena->base_ + arena->used_;
            arena->used_ += rounded;
            return at;
        }
        return std::malloc(size);
    }
    static void deallocate(void* pointer) {
        for (const ParseArena* arena = t_current; arena; arena = arena->previous_) {
            if (pointer >= arena->base_ && pointer < arena->base_ + arena->capacity_)
                return; // taken back whole at the arena's Reset or end
        }
        std::free(pointer);
    }
};

namespace {

// Installed before main, while no document exists yet and no other thread runs; outside an arena every
// document allocates from the heap as before.
const bool g_installed = [] {
    pugi::set_memory_management_functions(&ParseArenaAccess::allocate, &ParseArenaAccess::deallocate);
    return true;
}();

} // namespace

ParseArena::ParseArena(std::size_t capacity) : previous_(t_current) {
    (void)g_installed;
    // A large arena is rounded out to whole huge pages, with room to start on one; a small one takes
    // ordinary pages, since a huge page would cost more to clear than the parse it serves.
    const bool huge = capacity >= kHugePage;
    const std::size_t unit = huge ? kHugePage : 4096;
    const std::size_t wanted = (std::max<std::size_t>(capacity, 1) + unit - 1) & ~(unit - 1);
    const std::size_t size = huge ? wanted + kHugePage : wanted;
    void* mapping = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
        mapping_ = mapping;
        mappingSize_ = size;
        const auto start = (reinterpret_cast<std::uintptr_t>(mapping) + unit - 1) & ~(unit - 1);
        base_ = reinterpret_cast<char*>(start);
        capacity_ = wanted;
        if (huge)
            ::madvise(base_, capacity_, MADV_HUGEPAGE); // a hint: without it the arena works page by page
    } // without a mapping every document of this thread takes its memory from the heap
    t_current = this;
}

ParseArena::~ParseArena() {
    t_current = previous_;
    if (mapping_)
        ::munmap(mapping_, mappingSize_);
}

} // namespace brio
