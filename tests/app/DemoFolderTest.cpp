// The demo folder of scripts/run: complete on the first run, left exactly as it is on the next.
#include "DemoFolder.h"

#include "SchedTrigger.h"
#include "TaskStore.h"
#include "TempDir.h"
#include "clsAdminTask.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <filesystem>
#include <map>

using namespace brio;
using namespace brio::test;

namespace {

namespace fs = std::filesystem;

// Every file under `root` with its content and modification time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> snapshot(const fs::path& root) {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = {ReadText(e.path()), e.last_write_time()};
        else
            files[fs::relative(e.path(), root).string() + "/"] = {};
    }
    return files;
}

TEST(DemoFolderTest, TheFirstRunMakesAWholeDemoAndTheSecondChangesNothing) {
    TempDir root;
    const DemoFolder demo = DemoFolder::Make(root / "demo");
    const auto first = snapshot(root / "demo");

    clsAdminTask admin(demo.programFolder, MakeTaskStoreFactory(demo.tasks), HostPaths({{'C', demo.drive}}));
    const TareaList entries = admin.getXMLTaskList();
    ASSERT_EQ(entries.size(), 10u);
    int hidden = 0, disabled = 0, random = 0, missing = 0;
    for (const clsTarea& e : entries) {
        hidden += e.hidden();
        disabled += !e.Enabled();
        random += e.StartTimeRandom() != 0;
        missing += (e.State() & 128) != 0; // a program the drive does not hold
    }
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(disabled, 1);
    EXPECT_EQ(random, 1);
    EXPECT_EQ(missing, 0);
    EXPECT_NE(admin.GetXMLAttr("Harbinex", "applicationName"), "");
    const std::string list = ReadText(demo.programFolder / "TaskConfig.XML");
    for (int type = trigger::Once; type <= trigger::AtLogon; ++type)
        EXPECT_NE(list.find("triggerType=\"" + std::to_string(type) + "\""), std::string::npos) << type;
    EXPECT_EQ(ReadText(demo.programFolder / "Seleccion.ini"),
              "0\tCierres e inventario\r\n1\tCopias y limpieza\r\n");
    EXPECT_TRUE(fs::exists(demo.programFolder / "velmorax.db"));

    // The programs are native scripts that really run.
    const fs::path program = *HostPaths({{'C', demo.drive}}).ToHost(entries[0].ApplicationName());
    QProcess run;
    run.start(QString::fromStdString(program.string()), {"/prueba"});
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_TRUE(run.readAllStandardOutput().trimmed().endsWith("Cierre diario /prueba"));

    TaskStore store(demo.tasks);
    store.Refresh();
    EXPECT_EQ(store.Count(), 3);
    EXPECT_FALSE(fs::exists(demo.programFolder / ".demostracion"));

    // A second run, also after the person changed things, changes nothing at all.
    EXPECT_NO_THROW(DemoFolder::Make(root / "demo"));
    EXPECT_EQ(snapshot(root / "demo"), first);
    admin.RemoveBrioTask("Copia de seguridad");
    const auto edited = snapshot(root / "demo");
    DemoFolder::Make(root / "demo");
    EXPECT_EQ(snapshot(root / "demo"), edited);

    // The environment points the program at the demo and nowhere else.
    const auto env = demo.Environment();
    ASSERT_EQ(env.size(), 3u);
    EXPECT_EQ(env[0].second, demo.programFolder.string());
    EXPECT_EQ(env[2].second, "C:=" + demo.drive.string());
}

// The generation works on the demo as it comes: one launcher task per remote warehouse.
TEST(DemoFolderTest, LauncherGenerationWorksOnTheDemo) {
    TempDir root, store;
    const DemoFolder demo = DemoFolder::Make(root / "demo");
    clsAdminTask admin(demo.programFolder, MakeTaskStoreFactory(store.path()),
                       HostPaths({{'C', demo.drive}}));
    admin.GenerarTareasHarbinex();
    TaskStore tasks(store.path());
    tasks.Refresh();
    EXPECT_EQ(tasks.Count(), 4);
    EXPECT_TRUE(fs::exists(demo.drive / "BRIO/VELMORAX/harbinex/hxCentro.bat"));
}

} // namespace
