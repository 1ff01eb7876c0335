#include "TaskFileAccess.h"

#include "SystemMessages.h"
#include "TaskFileRule.h"
#include "TaskName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr std::string_view kSuffix = ".job";

// Task files this process has parsed, by path, with the stamp of the version read: a Refresh parses
// only the files that changed since. Only well-formed files are kept.
struct ParsedJob {
    VersionStamp stamp;
    JobData job;
    std::int64_t cachedAt = 0; // when the version was read or written, on the wall clock
};

// A file's times move in ticks: a version changed less than this before it was cached could be
// followed by an edit of the same size within the same tick, which the stamp would not tell.
constexpr std::int64_t kTimestampTick = 2'000'000'000;

std::int64_t wallNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Whether the cached version is surely the file's present one.
bool stillValid(const ParsedJob& parsed, const VersionStamp& now) {
    return parsed.stamp == now && now.ctime + kTimestampTick < parsed.cachedAt;
}

std::mutex g_cacheMutex;
std::unordered_map<std::string, ParsedJob> g_parsed;
std::atomic<std::uint64_t> g_filesRead{0};

// Why an open task file is not trusted: not a regular file, linked under another name too (a hard link
// could make a write land in a file elsewhere), or owned by another user than the store's folder.
std::string trustProblem(int fd, const fs::path& file, struct stat& info) {
    if (::fstat(fd, &info) != 0)
        return "no es un archivo normal";
    struct stat folder {};
    if (::stat(file.parent_path().c_str(), &folder) != 0)
        return "no se puede leer la carpeta del almacén de tareas";
    return FileRuleProblem(info, TaskFileRule(folder.st_uid));
}

} // namespace

VersionStamp VersionStampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

fs::path TaskFilePath(const fs::path& folder, const std::string& name) {
    return folder / (name + std::string(kSuffix));
}

bool IsTaskTemporary(std::string_view entry) {
    constexpr std::string_view kJob = ".job.";
    if (entry.size() < 1 + 1 + kJob.size() + 6 || entry[0] != '.')
        return false;
    const std::size_t at = entry.size() - 6 - kJob.size();
    if (entry.substr(at, kJob.size()) != kJob)
        return false;
    return std::all_of(entry.end() - 6, entry.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

std::string_view TaskNameOf(std::string_view entry) {
    if (entry.size() <= kSuffix.size() || !entry.ends_with(kSuffix))
        return {};
    return entry.substr(0, entry.size() - kSuffix.size());
}

bool ForEachTaskFile(const fs::path& folder, int& code, const std::function<void(std::string_view)>& visit,
                     const std::unordered_set<std::string>* own) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        code = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_DIR)
            continue;
        if (entry->d_name[0] == '.' && IsTaskTemporary(entry->d_name)) {
            if (!own || own->count(entry->d_name) == 0)
                ::unlinkat(::dirfd(dir), entry->d_name, 0); // callers hold the lock: it is stale
            continue;
        }
        const std::string_view name = TaskNameOf(entry->d_name);
        if (!name.empty())
            visit(name);
    }
    ::closedir(dir);
    return true;
}

bool ReadWholeTaskFile(const fs::path& file, std::string& content, std::string& problem, int& code,
                       VersionStamp* stamp) {
    code = 0;
    // Never through a link, and without waiting on a FIFO in a task file's place.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        code = errno;
        problem = code == ELOOP ? "es un enlace simbólico" : SystemErrorText(code);
        return false;
    }
    struct stat info {};
    if (std::string doubt = trustProblem(fd, file, info); !doubt.empty()) {
        problem = doubt;
        ::close(fd);
        return false;
    }
    if (stamp)
        *stamp = VersionStampOf(info);
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == content.size())
            content.resize(done + 4096); // the file grew since fstat
        const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            code = errno;
            problem = SystemErrorText(code);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    ::close(fd);
    return true;
}

bool ReadTask(const fs::path& file, const std::string& name, JobData& job, std::string& content,
              std::vector<std::string>& warnings) {
    if (std::string bad = TaskNameProblem(name); !bad.empty()) {
        warnings.push_back("Se omite el archivo de tarea «" + file.string() + "»: " + bad);
        return false;
    }
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        const std::lock_guard guard(g_cacheMutex);
        const auto hit = g_parsed.find(file.native());
        if (hit != g_parsed.end() && stillValid(hit->second, VersionStampOf(info))) {
            job = hit->second.job;
            return true;
        }
    }
    std::string problem;
    int readCode = 0;
    VersionStamp read;
    if (!ReadWholeTaskFile(file, content, problem, readCode, &read) || !ReadJob(content, job, problem)) {
        if (readCode == ENOENT)
            return false; // removed by another program between the listing and the read
        warnings.push_back("No se puede leer el archivo de tarea «" + file.string() + "»: " + problem);
        return false;
    }
    ++g_filesRead;
    const std::lock_guard guard(g_cacheMutex);
    g_parsed[file.native()] = ParsedJob{read, job, wallNow()};
    return true;
}

void RememberWritten(const fs::path& file, const JobData& job) {
    struct stat written {};
    if (::stat(file.c_str(), &written) == 0) {
        const std::lock_guard guard(g_cacheMutex);
        g_parsed[file.native()] = ParsedJob{VersionStampOf(written), job, wallNow()};
    }
}

void RememberStaged(const fs::path& file, const JobData& job) {
    const std::lock_guard guard(g_cacheMutex);
    g_parsed[file.native()] = ParsedJob{VersionStamp{}, job};
}

void RememberPlaced(const fs::path& file) {
    const std::lock_guard guard(g_cacheMutex);
    struct stat info {};
    const auto cached = g_parsed.find(file.native());
    if (cached != g_parsed.end() && ::stat(file.c_str(), &info) == 0) {
        cached->second.stamp = VersionStampOf(info);
        cached->second.cachedAt = wallNow();
    }
}

std::uint64_t TaskFilesRead() {
    return g_filesRead;
}

} // namespace brio
