// Several processes on one store: writes are serialised and no reader ever sees a torn or missing file.
#include "JobFile.h"
#include "StoreTestUtil.h"
#include "TaskStore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

// Runs `body` in a child process that starts when the returned pipe's write end is closed; the child's
// exit status is what `body` returns (an uncaught exception is 99).
template <typename Body> pid_t Spawn(int startPipe[2], Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(startPipe[1]);
        char byte;
        while (::read(startPipe[0], &byte, 1) > 0) {
        }
        int status = 99;
        try {
            status = body();
        } catch (...) {
        }
        ::_exit(status);
    }
    return pid;
}

int ExitStatusOf(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class TaskStoreProcessTest : public ::testing::Test {
protected:
    fs::path folder() const { return dir_ / "tasks"; }
    TempDir dir_;
};

TEST_F(TaskStoreProcessTest, TwoProcessesSavingAtOnceLoseNothing) {
    constexpr int kOwn = 60, kShared = 30;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int id = 0; id < 2; ++id) {
        children.push_back(Spawn(start, [&, id] {
            TaskStore store(folder());
            store.Refresh();
            int clashes = 0;
            for (int k = 0; k < kOwn; ++k) {
                SchedTaskPtr task = store.NewTask("p" + std::to_string(id) + "-" + std::to_string(k));
                task->setApplicationName(std::string(500 + k, 'x'));
                task->Triggers().Add();
                task->Save();
                // Both rewrite one task over and over, each under its own spelling.
                SchedTaskPtr common = store.ReplaceTask(id == 0 ? "Compartida" : "COMPARTIDA");
                common->setParameters(std::to_string(id) + "/" + std::to_string(k));
                common->Save();
                if (k < kShared) {
                    // Both create the same name in other letters; exactly one may win.
                    const std::string name = (id == 0 ? "Común " : "COMÚN ") + std::to_string(k);
                    if (ErrorOf([&] { store.NewTask(name)->Save(); }) == err::FileExists)
                        ++clashes;
                }
            }
            return clashes <= kShared ? 0 : 1;
        }));
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t child : children)
        EXPECT_EQ(ExitStatusOf(child), 0);

    TaskStore store(folder());
    store.Refresh();
    EXPECT_TRUE(store.Warnings().empty());
    EXPECT_EQ(store.Count(), 2 * kOwn + kShared + 1);
    for (int id = 0; id < 2; ++id) {
        for (int k = 0; k < kOwn; ++k)
            EXPECT_EQ(
                store.Item("p" + std::to_string(id) + "-" + std::to_string(k))->ApplicationName().size(),
                static_cast<std::size_t>(500 + k));
    }
    for (int k = 0; k < kShared; ++k)
        EXPECT_NO_THROW(store.Item("común " + std::to_string(k)));
    const std::string last = store.Item("compartida")->Parameters();
    EXPECT_TRUE(last == "0/" + std::to_string(kOwn - 1) || last == "1/" + std::to_string(kOwn - 1)) << last;
    // No temporary file is left behind.
    for (const std::string& entry : Entries(folder()))
        EXPECT_TRUE(entry == ".lock" || entry.ends_with(".job")) << entry;
}

TEST_F(TaskStoreProcessTest, AReaderNeverSeesAMissingOrTornFile) {
    {
        TaskStore store(folder());
        store.Refresh();
        store.NewTask("Vigilada")->Save();
    }
    const fs::path file = folder() / "Vigilada.job";
    int start[2], stop[2];
    ASSERT_EQ(::pipe(start), 0);
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t reader = Spawn(start, [&] {
        ::close(stop[1]);
        ::fcntl(stop[0], F_SETFL, O_NONBLOCK);
        int bad = 0, reads = 0;
        char byte;
        while (::read(stop[0], &byte, 1) != 0) { // EOF once the writer is done
            // Read without the lock, as any other program might.
            std::string problem;
            JobData job;
            if (!fs::exists(file) || !ReadJob(ReadText(file), job, problem) ||
                (job.parameters != "" && job.parameters != std::string(20000, 'b')))
                ++bad;
            ++reads;
        }
        return bad == 0 && reads > 0 ? 0 : 1;
    });
    ::close(stop[0]);
    ::close(start[0]);
    ::close(start[1]);
    TaskStore store(folder());
    store.Refresh();
    for (int round = 0; round < 300; ++round) {
        // Replacing and rewriting, with contents of very different sizes.
        SchedTaskPtr task = round % 2 ? store.ReplaceTask("Vigilada") : store.Item("vigilada");
        task->setParameters(round % 3 ? std::string(20000, 'b') : std::string());
        task->Save();
    }
    ::close(stop[1]);
    EXPECT_EQ(ExitStatusOf(reader), 0);
}

TEST_F(TaskStoreProcessTest, AWriteThatFailsLeavesTheOldFileAsItWas) {
    {
        TaskStore store(folder());
        store.Refresh();
        SchedTaskPtr task = store.NewTask("Intacta");
        task->setApplicationName("/bin/antes");
        task->Save();
    }
    const std::string before = ReadText(folder() / "Intacta.job");
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    // The child may write no file larger than 4 KiB, so the new content cannot be written whole.
    const pid_t writer = Spawn(start, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TaskStore store(folder());
        store.Refresh();
        for (bool replace : {false, true}) {
            SchedTaskPtr task = replace ? store.ReplaceTask("INTACTA") : store.Item("Intacta");
            task->setApplicationName(std::string(100000, 'z'));
            if (ErrorOf([&] { task->Save(); }) == 0)
                return 1;
        }
        return 0;
    });
    ::close(start[0]);
    ::close(start[1]);
    EXPECT_EQ(ExitStatusOf(writer), 0);
    EXPECT_EQ(ReadText(folder() / "Intacta.job"), before);
    EXPECT_EQ(Entries(folder()), (std::set<std::string>{".lock", "Intacta.job"}));
}

TEST_F(TaskStoreProcessTest, ABatchKilledPartWayLeavesEveryTaskFileWhole) {
    constexpr int kTasks = 300;
    const auto nameOf = [](int k) { return "Tarea " + std::to_string(k); };
    {
        TaskStore store(folder());
        store.BeginBatch();
        for (int k = 0; k < kTasks; ++k)
            store.NewTask(nameOf(k))->Save();
        store.Flush();
    }
    std::mt19937 random(20261209);
    int killed = 0, cutShort = 0;
    for (int trial = 0; trial < 12; ++trial) {
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        // Rewrites every task in one batch after another, each round with contents of another size.
        const pid_t writer = Spawn(start, [&] {
            for (int round = 1;; ++round) {
                TaskStore store(folder());
                store.BeginBatch();
                for (int k = 0; k < kTasks; ++k) {
                    SchedTaskPtr task = store.Item(nameOf(k));
                    task->setParameters(std::string(static_cast<std::size_t>(round % 5) * 700, 'a'));
                    task->Save();
                }
                store.Flush();
            }
            return 0;
        });
        ::close(start[0]);
        ::close(start[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 250));
        ::kill(writer, SIGKILL);
        if (ExitStatusOf(writer) == 128 + SIGKILL)
            ++killed;
        // Every task is there, whole, in one version or another; temporaries may be left.
        int whole = 0;
        bool temporaries = false;
        for (const std::string& entry : Entries(folder())) {
            temporaries = temporaries || entry.find(".job.") != std::string::npos;
            if (entry[0] == '.' || !entry.ends_with(".job"))
                continue;
            JobData job;
            std::string problem;
            if (ReadJob(ReadText(folder() / entry), job, problem) && job.parameters.size() % 700 == 0)
                ++whole;
            else
                ADD_FAILURE() << entry << ": " << problem;
        }
        EXPECT_EQ(whole, kTasks) << "trial " << trial;
        cutShort += temporaries ? 1 : 0;
    }
    EXPECT_GT(killed, 8);
    EXPECT_GT(cutShort, 0) << "the trials must cut batches short";
    // The next writer removes what the killed batches left.
    TaskStore store(folder());
    store.Refresh();
    EXPECT_TRUE(store.Warnings().empty());
    EXPECT_EQ(store.Count(), kTasks);
    EXPECT_EQ(Entries(folder()).size(), static_cast<std::size_t>(kTasks) + 1);
}

} // namespace
