#include "ListFileLock.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brio;
using namespace brio::test;

namespace {
// Whether another process could take the lock now (a child tries without waiting).
bool freeForOthers(const std::filesystem::path& listFile) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(ListFileLock::LockFileOf(listFile).c_str(), O_RDONLY);
        ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

TEST(ListFileLock, HeldOncePerProcessAndExclusiveAcrossProcesses) {
    TempDir home;
    const auto list = home / "TaskConfig.XML";
    EXPECT_EQ(ListFileLock::LockFileOf(list), home / ".TaskConfig.XML.lock");
    {
        ListFileLock outer(list);
        EXPECT_TRUE(ListFileLock::Held(list));
        EXPECT_FALSE(freeForOthers(list));
        {
            ListFileLock inner(list); // the same process: shares the lock, waits for nothing
            EXPECT_TRUE(ListFileLock::Held(list));
        }
        EXPECT_TRUE(ListFileLock::Held(list)) << "the inner scope must not release the outer lock";
        EXPECT_FALSE(freeForOthers(list));
    }
    EXPECT_FALSE(ListFileLock::Held(list));
    EXPECT_TRUE(freeForOthers(list));
}

TEST(ListFileLock, TheHolderRemovesWhatKilledWritersLeft) {
    TempDir home;
    const auto list = home / "TaskConfig.XML";
    WriteText(list, "<TAREAS/>");
    for (const char* stale : {".TaskConfig.XML.a1B2c3", ".TaskConfig.XML.ZZZZZZ", "TaskConfig.XML_"})
        WriteText(home / stale, "resto");
    // Names that only look alike stay.
    const char* kept[] = {".TaskConfig.XML.lock", ".TaskConfig.XML.abc", ".TaskConfig.XML.abcde!",
                          ".Otro.XML.a1B2c3", "TaskConfig.XML__"};
    for (const char* name : kept)
        WriteText(home / name, "dato");
    { ListFileLock lock(list); }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(home.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    expected.push_back("TaskConfig.XML");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}
