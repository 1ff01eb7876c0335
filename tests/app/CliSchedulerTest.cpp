// Import, export, launcher generation and the connection text: the scheduler and the suite's database.
#include "CliFixture.h"
#include "TextDecoder.h"

#include <fstream>

using namespace brio;
using namespace brio::test;

namespace {

using CliSchedulerTest = CliFixture;

constexpr const char* kApp = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";

TEST_F(CliSchedulerTest, ImportStopsAtAnUnknownNameAndKeepsWhatWasDone) {
    makeTask("Copia");
    makeTask("Limpieza");
    const CliResult r = run({"import", "copia", "Nadie", "Limpieza"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("Tareas hechas: «copia»\nTarea con error: «Nadie»\nTareas sin tratar: «Limpieza»\n"),
              std::string::npos)
        << r.err;
    const std::string list = readList();
    EXPECT_NE(list.find("<TAREA name=\"Copia\""), std::string::npos) << list; // the scheduler's own name
    EXPECT_EQ(list.find("Limpieza"), std::string::npos);

    const CliResult again = run({"import", "Limpieza"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "Las tareas fueron importadas con exito.\n");
    EXPECT_NE(readList().find("<TAREA name=\"Limpieza\""), std::string::npos);
}

TEST_F(CliSchedulerTest, ExportWithoutAccountCreatesTasksFromTheEntries) {
    writeList(Entry("Cierre", kApp, "disabled=\"1\""));
    CliResult r = run({"export", "Cierre"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Las tareas fueron exportadas con exito.\n");
    TaskStore s = store();
    ASSERT_EQ(s.Count(), 1);
    const SchedTaskPtr task = s.Item("Cierre");
    EXPECT_EQ(task->ApplicationName(), kApp);
    EXPECT_EQ(task->Parameters(), "/x");
    EXPECT_EQ(task->Triggers().Count(), 1);
    EXPECT_EQ(task->AccountName(), "");

    // A name the scheduler cannot take stops the export there.
    r = run({"export", "Cierre", "a/b", "Cierre"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("Error 52 (Nombre o número de archivo incorrecto", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("Tareas hechas: «Cierre»\nTarea con error: «a/b»\nTareas sin tratar: «Cierre»\n"),
              std::string::npos);
}

TEST_F(CliSchedulerTest, GenerateMakesOneLauncherTaskPerRemoteWarehouse) {
    makeProgram("BRIO/VELMORAX/bin/harbinex.exe");
    writeList(Entry("Harbinex", "C:\\BRIO\\VELMORAX\\bin\\harbinex.exe"));
    const CliResult r = run({"generate"}); // on the demo database the first run makes
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Las tareas fueron generadas con exito\n");
    EXPECT_TRUE(std::filesystem::exists(home / "velmorax.db"));
    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/bin/hxCentro.bat"), "harbinex.exe 12\r\n");
    TaskStore s = store();
    EXPECT_EQ(s.Count(), 4);
    EXPECT_EQ(s.Item("Harbinex 14 (Norte)")->Triggers().Item(1).StartTime(), MakeDate(1900, 1, 1, 2, 5));

    // A warehouse query that fails ends the generation with its report alone, never a success.
    WriteText(home / "SuiteSettings.ini", "[Velmorax]\nConnectionText=roto\n");
    const CliResult broken = run({"generate"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err.rfind("Error ", 0), 0u) << broken.err;
    EXPECT_EQ(broken.err.find('\n'), broken.err.size() - 1) << "one report: " << broken.err;
    EXPECT_TRUE(broken.out.empty()) << broken.out;
}

TEST_F(CliSchedulerTest, EncodeConnectionGivesTheTextTheWarehouseQueryDecodes) {
    const std::string connection = "Driver=SQLite3;Database=/srv/brio/velmorax.db";
    const CliResult r = run({"encode-connection"}, connection + "\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
    const std::string encoded = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(encoded.find(connection), std::string::npos);
    EXPECT_EQ(TextDecoder::DecodeText(encoded, "mesa azul 48 granito"), connection);
    EXPECT_EQ(r.err.find("SQLite3"), std::string::npos);

    EXPECT_EQ(run({"encode-connection"}, "").exitCode, 1);
    EXPECT_EQ(run({"encode-connection"}, "a\nb\n").exitCode, 1);
}

} // namespace
