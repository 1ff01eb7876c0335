#include "StateFolder.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "SystemMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr std::string_view kStateSuffix = ".state";

void makeFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw BrioError(errno == EACCES ? err::PermissionDenied : err::PathFileAccess,
                        "no se puede crear la carpeta de estado «" + folder.string() +
                            "»: " + SystemErrorText(errno));
}

std::string trimmedLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

fs::path StateFolder::For(const fs::path& storeFolder) {
    if (const char* own = std::getenv("BRIOSCHEDULE_STATE"); own && *own)
        return own;
    fs::path store = storeFolder;
    if (!store.has_filename())
        store = store.parent_path(); // "/x/tasks/" names the folder "tasks"
    return store.parent_path() / "state";
}

void StateFolder::Ensure() const {
    fs::path partial;
    for (const fs::path& part : folder_) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            makeFolder(partial); // says why
    }
    makeFolder(folder_ / "tasks");
    makeFolder(folder_ / "logs");
    makeFolder(RequestFolder());
}

TaskState StateFolder::Read(const std::string& name, std::string* problem) const {
    TaskState state;
    const fs::path file = folder_ / "tasks" / (name + std::string(kStateSuffix));
    std::string why;
    try {
        if (!ReadTaskState(ReadWholeFile(file), state, why))
            why = "«" + file.string() + "»: " + why;
    } catch (const BrioError& e) {
        if (e.number() != err::FileNotFound)
            why = e.description();
    }
    if (problem)
        *problem = why;
    return why.empty() ? state : TaskState{};
}

void StateFolder::Write(const std::string& name, const TaskState& state, bool durable) const {
    const fs::path file = folder_ / "tasks" / (name + std::string(kStateSuffix));
    const std::string content = WriteTaskState(state);
    if (durable) {
        WriteFileAtomically(file, content, 0600);
        return;
    }
    std::string temp = (folder_ / "tasks" / ("." + name + ".XXXXXX")).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    bool done = fd >= 0;
    for (std::size_t written = 0; done && written < content.size();) {
        const ssize_t got = ::write(fd, content.data() + written, content.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        done = got > 0;
        written += done ? static_cast<std::size_t>(got) : 0;
    }
    const int code = errno;
    if (fd >= 0 && ::close(fd) != 0)
        done = false;
    if (done && ::rename(temp.c_str(), file.c_str()) == 0)
        return;
    if (fd >= 0)
        ::unlink(temp.c_str());
    throw BrioError(err::PathFileAccess, "no se puede guardar el estado «" + file.string() +
                                             "»: " + SystemErrorText(done ? errno : code));
}

std::vector<std::string> StateFolder::Names() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_ / "tasks", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() > kStateSuffix.size() && file.ends_with(kStateSuffix) && file.front() != '.')
            names.push_back(file.substr(0, file.size() - kStateSuffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::path StateFolder::NewLog(const std::string& name, std::chrono::sys_seconds start) const {
    const fs::path folder = folder_ / "logs" / name;
    makeFolder(folder);
    const std::time_t seconds = start.time_since_epoch().count();
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    // A sequence number after the highest of that second keeps the names in the order of the runs, even
    // when older logs of the same second were already removed.
    int last = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(stamp, 0) == 0 && file.size() > std::strlen(stamp) + 1)
            last = std::max(last, std::atoi(file.c_str() + std::strlen(stamp) + 1));
    }
    char sequence[24];
    std::snprintf(sequence, sizeof sequence, "-%03d.log", last + 1);
    return folder / (std::string(stamp) + sequence);
}

void StateFolder::PruneLogs(const std::string& name) const {
    std::vector<fs::path> logs;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_ / "logs" / name, ec)) {
        if (entry.path().extension() == ".log" && entry.is_regular_file(ec))
            logs.push_back(entry.path());
    }
    if (logs.size() <= kKeptLogs)
        return;
    // Oldest first: the names are the start instants.
    std::sort(logs.begin(), logs.end());
    for (std::size_t i = 0; i + kKeptLogs < logs.size(); ++i)
        fs::remove(logs[i], ec);
}

std::string StateFolder::BootId() const {
    try {
        return trimmedLine(ReadWholeFile(folder_ / "boot_id"));
    } catch (const BrioError&) {
        return {};
    }
}

void StateFolder::SetBootId(const std::string& id) const {
    WriteFileAtomically(folder_ / "boot_id", id + "\n", 0600);
}

std::string CurrentBootId() {
    try {
        return trimmedLine(ReadWholeFile("/proc/sys/kernel/random/boot_id"));
    } catch (const BrioError&) {
        return {};
    }
}

} // namespace brio
