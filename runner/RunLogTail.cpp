#include "RunLogTail.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brio {

namespace {

// Closes the descriptor however the read ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

RunLogTail ReadRunLogTail(const std::filesystem::path& log, std::size_t limit) {
    const auto fail = [&](const std::string& why) {
        return BrioError(err::PathFileAccess, "no se puede leer el registro «" + log.string() + "»: " + why);
    };
    const Descriptor file{::open(log.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
    if (file.fd < 0)
        throw fail(SystemErrorText(errno));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        throw fail(SystemErrorText(errno));
    if (!S_ISREG(info.st_mode))
        throw fail("no es un archivo");
    RunLogTail tail;
    tail.size = static_cast<std::uintmax_t>(info.st_size);
    const std::uintmax_t start = tail.size > limit ? tail.size - limit : 0;
    tail.cut = start > 0;
    tail.text.resize(static_cast<std::size_t>(tail.size - start));
    std::size_t done = 0;
    // The log may still grow or be cut while it is read: what is there up to the size seen is taken.
    while (done < tail.text.size()) {
        const ssize_t got = ::pread(file.fd, tail.text.data() + done, tail.text.size() - done,
                                    static_cast<off_t>(start + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw fail(SystemErrorText(errno));
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    tail.text.resize(done);
    if (tail.cut) {
        // UTF-8 continuation bytes at the cut belong to a character whose start was left out.
        std::size_t skip = 0;
        while (skip < 3 && skip < tail.text.size() &&
               (static_cast<unsigned char>(tail.text[skip]) & 0xC0) == 0x80)
            ++skip;
        tail.text.erase(0, skip);
    }
    return tail;
}

} // namespace brio
