#pragma once

#include "AtomicFile.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace brio {

// Gathers a file's content, written in many small pieces, into blocks of 64 KiB before they go to the
// sink: one write per block instead of one per piece.
class BlockSink {
public:
    explicit BlockSink(const ContentSink& sink) : sink_(sink) { block_.reserve(2 * kBlock); }

    void append(std::string_view piece) {
        block_.append(piece);
        if (block_.size() >= kBlock)
            flush();
    }
    void append(std::size_t count, char c) {
        block_.append(count, c);
        if (block_.size() >= kBlock)
            flush();
    }
    // Hands on what is gathered; call it once after the last piece.
    void flush() {
        if (!block_.empty())
            sink_(block_);
        block_.clear();
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;
    const ContentSink& sink_;
    std::string block_;
};

} // namespace brio
