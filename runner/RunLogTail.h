#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace brio {

// The end of a run's log: a log may be large, and only its last part is read.
struct RunLogTail {
    static constexpr std::size_t kDefaultLimit = std::size_t(1) << 20; // one MiB

    std::string text;        // the log's last bytes, as written (not necessarily UTF-8)
    bool cut = false;        // the log holds more before `text`
    std::uintmax_t size = 0; // the whole log's size in bytes
};

// Reads at most `limit` bytes from the end of the log; when it is cut, a character split at the cut is
// left out. A log that is missing, not a regular file or unreadable is BrioError with the reason in Spanish.
RunLogTail ReadRunLogTail(const std::filesystem::path& log, std::size_t limit = RunLogTail::kDefaultLimit);

} // namespace brio
