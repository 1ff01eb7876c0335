#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brio {

// inotify on a few folders: what was written, replaced or removed in them, by any program.
class FolderWatcher {
public:
    struct Event {
        int watch = -1;   // the Add that asked for it; -1 when the queue overflowed
        std::string name; // the entry of the folder
        std::uint32_t mask = 0;
    };

    FolderWatcher();
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Watches a folder for entries written, renamed in or out, removed or changed in owner or mode;
    // -1 when it cannot (the reason in `problem`).
    int Add(const std::filesystem::path& folder, std::string& problem);
    // The descriptor to wait on.
    int Fd() const noexcept { return fd_; }
    // Every event waiting (none when nothing waits); an overflow gives one event with watch -1.
    std::vector<Event> Read();

private:
    int fd_ = -1;
};

} // namespace brio
