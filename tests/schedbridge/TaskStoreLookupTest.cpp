// Work on named tasks without a Refresh: only those tasks' files are read, the folder's names only when
// no file has the exact name.
#include "ErrorOf.h"
#include "TaskStore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brio;
using namespace brio::test;

namespace fs = std::filesystem;

TEST(TaskStoreLookup, NamedTasksAreFoundWithoutReadingTheWholeStore) {
    TempDir dir;
    const fs::path folder = dir / "tasks";
    {
        TaskStore s(folder);
        s.Refresh();
        SchedTaskPtr model = s.NewTask("Modelo");
        model->setApplicationName("/bin/modelo");
        model->Save();
    }
    // Copies are files this process has never read.
    for (int i = 0; i < 40; ++i)
        fs::copy_file(folder / "Modelo.job", folder / ("Tarea " + std::to_string(i) + ".job"));
    WriteText(folder / "Rota.job", "<job");

    TaskStore store(folder);
    const StoreCounters before = TaskStore::Counters();
    EXPECT_EQ(store.Item("Tarea 7")->ApplicationName(), "/bin/modelo");
    ASSERT_NE(store.Find("TAREA 8"), nullptr); // another spelling: the folder's names, then that file
    EXPECT_EQ(store.Find("TAREA 8")->Name(), "Tarea 8");
    EXPECT_EQ(store.Find("Nadie"), nullptr);
    EXPECT_EQ(ErrorOf([&] { store.Item("Nadie"); }), err::SubscriptOutOfRange);
    testing::internal::CaptureStderr();
    EXPECT_EQ(store.Find("Rota"), nullptr); // left out and told, as a Refresh does
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Rota.job"), std::string::npos);
    EXPECT_EQ(ErrorOf([&] { store.NewTask("tarea 9"); }), err::FileExists);
    EXPECT_TRUE(store.Remove("tarea 9"));
    EXPECT_FALSE(fs::exists(folder / "Tarea 9.job"));
    EXPECT_FALSE(store.Remove("tarea 9"));
    const StoreCounters after = TaskStore::Counters();
    EXPECT_EQ(after.refreshes - before.refreshes, 0u);
    // The named tasks' files (read again while they are as new as the clock's tick), never the store's.
    EXPECT_LE(after.filesRead - before.filesRead, 6u);

    // A Refresh reads the rest, and then named work goes by what it read.
    store.Refresh();
    EXPECT_EQ(store.Count(), 40); // Modelo and 39 copies; the broken file is left out
    EXPECT_LE(TaskStore::Counters().filesRead - after.filesRead, 41u) << "each file once at the most";
    EXPECT_EQ(store.Find("modelo")->Name(), "Modelo");

    // A folder others may write is refused by named work as by a Refresh.
    fs::permissions(folder, fs::perms::others_write, fs::perm_options::add);
    TaskStore planted(folder);
    EXPECT_EQ(ErrorOf([&] { planted.Find("Modelo"); }), err::PermissionDenied);
    EXPECT_EQ(ErrorOf([&] { planted.NewTask("Otra"); }), err::PermissionDenied);
    EXPECT_EQ(ErrorOf([&] { planted.Remove("Modelo"); }), err::PermissionDenied);
    fs::permissions(folder, fs::perms::others_write, fs::perm_options::remove);
}
