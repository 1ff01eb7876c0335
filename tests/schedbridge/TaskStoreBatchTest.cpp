// A batch of changes: seen at once by the object that makes it, by nobody else before its end, and put in
// place whole at its end, also when the command fails part way.
#include "StoreTestUtil.h"
#include "TaskStore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

void Store(const fs::path& folder, const std::string& name, const std::string& parameters) {
    TaskStore store(folder);
    SchedTaskPtr task = store.NewTask(name);
    task->setParameters(parameters);
    task->Save();
}

// Whether another open file could take a shared lock on the store now, as another process would.
bool LockFree(const fs::path& folder) {
    const int fd = ::open((folder / ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

std::set<std::string> TaskFiles(const fs::path& folder) {
    std::set<std::string> files;
    for (const std::string& entry : Entries(folder)) {
        if (entry.ends_with(".job") && entry[0] != '.')
            files.insert(entry);
    }
    return files;
}

TEST(TaskStoreBatch, ItsObjectSeesItAtOnceAndTheDiskOnlyAtItsEnd) {
    // Named work without a Refresh reads single files; after one it goes by the enumeration.
    for (const bool refreshed : {false, true}) {
        SCOPED_TRACE(refreshed ? "refreshed" : "named work");
        TempDir dir;
        const fs::path folder = dir / "tasks";
        for (const char* name : {"Vieja", "Quitada", "otra", "Intacta"})
            Store(folder, name, "antes");
        const std::string before = ReadText(folder / "Vieja.job");
        const StoreCounters counted = TaskStore::Counters();

        TaskStore store(folder);
        if (refreshed)
            store.Refresh();
        store.BeginBatch();
        store.NewTask("Nueva")->Save();
        SchedTaskPtr vieja = store.Item("vieja");
        vieja->setParameters("primera");
        vieja->Save();
        vieja = store.Item("Vieja"); // the waiting save, not the file
        EXPECT_EQ(vieja->Parameters(), "primera");
        vieja->setParameters("segunda");
        vieja->Save(); // takes the place of the first
        EXPECT_TRUE(store.Remove("quitada"));
        SchedTaskPtr otra = store.ReplaceTask("OTRA");
        otra->setParameters("mayúscula");
        otra->Save();
        store.NewTask("Efímera")->Save();
        EXPECT_TRUE(store.Remove("EFÍMERA"));

        EXPECT_NE(store.Find("nueva"), nullptr);
        EXPECT_EQ(store.Item("vieja")->Parameters(), "segunda");
        EXPECT_EQ(store.Find("Quitada"), nullptr);
        EXPECT_FALSE(store.Remove("Quitada"));
        ASSERT_NE(store.Find("otra"), nullptr);
        EXPECT_EQ(store.Find("otra")->Name(), "OTRA");
        EXPECT_EQ(store.Find("efímera"), nullptr);
        EXPECT_EQ(ErrorOf([&] { store.NewTask("NUEVA"); }), err::FileExists);
        EXPECT_EQ(ErrorOf([&] { store.NewTask("quitada"); }), 0);

        // Nothing is in place yet, and the store is held for the batch: another object of this process
        // is refused instead of waiting for ever.
        EXPECT_EQ(TaskFiles(folder),
                  (std::set<std::string>{"Intacta.job", "Quitada.job", "Vieja.job", "otra.job"}));
        EXPECT_EQ(ReadText(folder / "Vieja.job"), before);
        EXPECT_FALSE(LockFree(folder));
        TaskStore other(folder);
        EXPECT_EQ(ErrorOf([&] { other.Refresh(); }), err::PathFileAccess);

        if (refreshed) {
            store.Refresh(); // a whole read puts what waits in place first; the batch goes on
            EXPECT_EQ(store.Count(), 4);
            EXPECT_TRUE(fs::exists(folder / "Nueva.job"));
            EXPECT_FALSE(LockFree(folder));
        }
        store.Flush();
        EXPECT_TRUE(LockFree(folder));
        EXPECT_EQ(Entries(folder),
                  (std::set<std::string>{".lock", "Intacta.job", "Nueva.job", "OTRA.job", "Vieja.job"}));
        EXPECT_EQ(TaskStore::Counters().flushes - counted.flushes, 1u);
        TaskStore fresh(folder);
        fresh.Refresh();
        EXPECT_EQ(fresh.Count(), 4);
        EXPECT_EQ(fresh.Item("Vieja")->Parameters(), "segunda");
        EXPECT_EQ(fresh.Item("otra")->Parameters(), "mayúscula");
        EXPECT_EQ(fresh.Item("Intacta")->Parameters(), "antes");
        // The object goes on as before the batch.
        EXPECT_EQ(store.Item("Vieja")->Parameters(), "segunda");
        store.NewTask("Después")->Save();
        EXPECT_TRUE(fs::exists(folder / "Después.job"));
    }
}

TEST(TaskStoreBatch, AFailurePartWayKeepsWhatWasDoneBefore) {
    TempDir dir;
    const fs::path folder = dir / "tasks";
    Store(folder, "Tomada", "antes");
    TaskStore store(folder);
    SchedTaskPtr kept; // keeps the store's folder object alive after the command, as a caller may
    EXPECT_EQ(ErrorOf([&] {
                  const SchedBatch batch(store);
                  kept = store.NewTask("Primera");
                  kept->Save();
                  store.NewTask("Segunda")->Save();
                  store.NewTask("TOMADA")->Save();
                  store.NewTask("Tercera")->Save();
              }),
              err::FileExists);
    EXPECT_TRUE(LockFree(folder));
    EXPECT_EQ(Entries(folder), (std::set<std::string>{".lock", "Primera.job", "Segunda.job", "Tomada.job"}));
}

} // namespace
