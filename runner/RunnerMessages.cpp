#include "RunnerMessages.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace brio {

bool StandardErrorIsJournal() {
    static const bool journal = [] {
        const char* stream = std::getenv("JOURNAL_STREAM");
        unsigned long long device = 0;
        unsigned long long inode = 0;
        struct stat info {};
        return stream && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && ::fstat(2, &info) == 0 &&
               info.st_dev == device && info.st_ino == inode;
    }();
    return journal;
}

void SayTo(std::ostream& out, Priority priority, const std::string& text) {
    if (StandardErrorIsJournal())
        out << '<' << static_cast<int>(priority) << '>' << text << '\n' << std::flush;
    else
        out << "brioschedule-runner: " << text << '\n' << std::flush;
}

} // namespace brio
