#include "StateFolder.h"

#include "AtomicFile.h"
#include "BrioError.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr std::string_view kStateSuffix = ".state";
// A state file holds 50 short records; anything far larger is not one.
constexpr std::size_t kMaxStateFile = 4 * 1024 * 1024;

std::string trimmedLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string stateFile(const std::string& name) {
    return name + std::string(kStateSuffix);
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

void StateFolder::Open(uid_t owner) {
    root_ = TrustedFolder::Open(folder_, owner, FolderAccess::Private, true);
    tasks_ = root_.Sub("tasks", FolderAccess::Shared, true);
    logs_ = root_.Sub("logs", FolderAccess::Shared, true);
    requests_ = root_.Sub("requests", FolderAccess::Private, true);
}

TrustedFolder StateFolder::part(const TrustedFolder& open, const char* name) const {
    return open.IsOpen() ? open : TrustedFolder::OpenForReading(folder_ / name);
}

TrustedFolder StateFolder::Root() const {
    return root_.IsOpen() ? root_ : TrustedFolder::OpenForReading(folder_);
}

TrustedFolder StateFolder::Requests() const {
    return part(requests_, "requests");
}

TaskState StateFolder::Read(const std::string& name, std::string* problem) const {
    TaskState state;
    std::string why;
    try {
        const TrustedFolder tasks = part(tasks_, "tasks");
        std::string content;
        const FileRead read =
            tasks.Read(stateFile(name), FileRule{tasks.Owner(), kMaxStateFile}, content, why);
        if (read == FileRead::Ok && !ReadTaskState(content, state, why))
            why = "«" + tasks.PathOf(stateFile(name)).string() + "»: " + why;
        else if (read == FileRead::Refused)
            why = "«" + tasks.PathOf(stateFile(name)).string() + "» " + why;
    } catch (const BrioError& e) {
        if (e.number() != err::PathNotFound)
            why = e.description();
    }
    if (problem)
        *problem = why;
    return why.empty() ? state : TaskState{};
}

void StateFolder::Write(const std::string& name, const TaskState& state, bool durable) const {
    part(tasks_, "tasks").Write(stateFile(name), WriteTaskState(state), 0600, durable);
}

std::vector<std::string> StateFolder::Names() const {
    std::vector<std::string> names;
    try {
        for (const std::string& file : part(tasks_, "tasks").Names())
            if (file.size() > kStateSuffix.size() && file.ends_with(kStateSuffix) && file.front() != '.')
                names.push_back(file.substr(0, file.size() - kStateSuffix.size()));
    } catch (const BrioError&) {
    }
    std::sort(names.begin(), names.end());
    return names;
}

NewLogFile StateFolder::CreateLog(const std::string& name, std::chrono::sys_seconds start) const {
    const TrustedFolder folder = part(logs_, "logs").Sub(name, FolderAccess::Shared, true);
    const std::time_t seconds = start.time_since_epoch().count();
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    // A sequence number after the highest of that second keeps the names in the order of the runs, even
    // when older logs of the same second were already removed.
    int last = 0;
    for (const std::string& file : folder.Names())
        if (file.rfind(stamp, 0) == 0 && file.size() > std::strlen(stamp) + 1)
            last = std::max(last, std::atoi(file.c_str() + std::strlen(stamp) + 1));
    char sequence[24];
    std::snprintf(sequence, sizeof sequence, "-%03d.log", last + 1);
    const std::string file = std::string(stamp) + sequence;
    return NewLogFile{folder.Create(file, 0600), folder.PathOf(file)};
}

void StateFolder::RemoveLog(const std::string& name, const std::string& file) const {
    try {
        part(logs_, "logs").Sub(name, FolderAccess::Shared, false).Remove(file);
    } catch (const BrioError&) {
    }
}

void StateFolder::PruneLogs(const std::string& name) const {
    TrustedFolder folder;
    try {
        folder = part(logs_, "logs").Sub(name, FolderAccess::Shared, false);
    } catch (const BrioError&) {
        return; // no log folder, or one that is not the runner's: nothing of it is removed
    }
    std::vector<std::string> logs;
    for (const std::string& file : folder.Names()) {
        const auto info = folder.Status(file);
        if (file.ends_with(".log") && info && S_ISREG(info->st_mode))
            logs.push_back(file);
    }
    if (logs.size() <= kKeptLogs)
        return;
    // Oldest first: the names are the start instants.
    std::sort(logs.begin(), logs.end());
    for (std::size_t i = 0; i + kKeptLogs < logs.size(); ++i)
        folder.Remove(logs[i]);
}

std::optional<std::chrono::sys_seconds> StateFolder::LastSeen() const {
    try {
        std::string content;
        std::string problem;
        const TrustedFolder root = Root();
        if (root.Read("last_seen", FileRule{root.Owner(), 4096}, content, problem) == FileRead::Ok) {
            char* end = nullptr;
            const long long seconds = std::strtoll(content.c_str(), &end, 10);
            if (end != content.c_str() && seconds > 0)
                return std::chrono::sys_seconds(std::chrono::seconds(seconds));
        }
    } catch (const BrioError&) {
    }
    return std::nullopt;
}

void StateFolder::SetLastSeen(std::chrono::sys_seconds when) const {
    Root().Write("last_seen", std::to_string(when.time_since_epoch().count()) + "\n", 0600, false);
}

std::string StateFolder::BootId() const {
    try {
        std::string content;
        std::string problem;
        const TrustedFolder root = Root();
        if (root.Read("boot_id", FileRule{root.Owner(), 4096}, content, problem) == FileRead::Ok)
            return trimmedLine(content);
    } catch (const BrioError&) {
    }
    return {};
}

void StateFolder::SetBootId(const std::string& id) const {
    Root().Write("boot_id", id + "\n", 0600, true);
}

std::string CurrentBootId() {
    try {
        return trimmedLine(ReadWholeFile("/proc/sys/kernel/random/boot_id"));
    } catch (const BrioError&) {
        return {};
    }
}

} // namespace brio
