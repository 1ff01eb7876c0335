#include "FolderWatcher.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace brio {

FolderWatcher::FolderWatcher() {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        throw BrioError(err::PathFileAccess,
                        std::string("no se puede vigilar el almacén de tareas (inotify): ") +
                            SystemErrorText(errno));
}

FolderWatcher::~FolderWatcher() {
    if (fd_ >= 0)
        ::close(fd_);
}

int FolderWatcher::Add(const std::filesystem::path& folder, std::string& problem) {
    const int watch =
        ::inotify_add_watch(fd_, folder.c_str(),
                            IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    if (watch < 0)
        problem = "no se puede vigilar «" + folder.string() + "»: " + SystemErrorText(errno);
    return watch;
}

std::vector<FolderWatcher::Event> FolderWatcher::Read() {
    std::vector<Event> events;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return events;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_Q_OVERFLOW)
                events.push_back(Event{-1, {}, event->mask});
            else
                events.push_back(
                    Event{event->wd, event->len ? std::string(event->name) : std::string(), event->mask});
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace brio
