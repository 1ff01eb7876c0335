// Enable, disable, delete, range and format: one operation of the administration object per name,
// stopping at the first failing name.
#include "CliFixture.h"

using namespace brio;
using namespace brio::test;

namespace {

using CliEditTest = CliFixture;

constexpr const char* kApp = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";

std::int32_t FlagsOf(TaskStore s, const std::string& name) {
    return s.Item(name)->Flags();
}

TEST_F(CliEditTest, EnableAndDisableWriteTheListFileOrTheScheduler) {
    writeList(Entry("A", kApp, "disabled=\"0\"") + Entry("B", kApp, "disabled=\"0\""));
    makeTask("A");

    CliResult r = run({"disable", "A", "B"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const std::string list = readList();
    EXPECT_NE(list.find("<TAREA name=\"A\" applicationName=\"C:\\BRIO\\VELMORAX\\bin\\cierre.exe\" "
                        "workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"/x\" disabled=\"1\">"
                        "<CONFIGURACION deleteWhenDone=\"0\" disabled=\"1\""),
              std::string::npos)
        << list;
    EXPECT_EQ(FlagsOf(store(), "A") & taskflag::disabled, 0); // the list view's command leaves the scheduler

    r = run({"enable", "B"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(
        readList().find("name=\"B\" applicationName=\"C:\\BRIO\\VELMORAX\\bin\\cierre.exe\" "
                        "workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"/x\" disabled=\"0\""),
        std::string::npos);

    makeTask("C");
    r = run({"disable", "--system", "a", "Nadie", "C"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(
        r.err,
        "Error 9 (El subíndice está fuera del intervalo: no existe la tarea «Nadie» en el programador)\n"
        "Tareas hechas: «a»\nTarea con error: «Nadie»\nTareas sin tratar: «C»\n");
    EXPECT_EQ(FlagsOf(store(), "A"), taskflag::disabled);
    EXPECT_EQ(FlagsOf(store(), "C"), 0);
    EXPECT_EQ(run({"enable", "--system", "A"}).exitCode, 0);
    EXPECT_EQ(FlagsOf(store(), "A"), 0);
}

TEST_F(CliEditTest, DeleteFromTheListTheSchedulerOrBoth) {
    writeList(Entry("A", kApp) + Entry("B", kApp) + Entry("C", kApp));
    makeTask("A");
    makeTask("B");

    EXPECT_EQ(run({"delete", "A"}).exitCode, 0);
    EXPECT_EQ(readList().find("name=\"A\""), std::string::npos);
    EXPECT_EQ(store().Count(), 2); // the scheduler keeps its task

    EXPECT_EQ(run({"delete", "--system", "a"}).exitCode, 0);
    EXPECT_EQ(store().Count(), 1);

    const CliResult r = run({"delete", "--both", "B"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readList().find("name=\"B\""), std::string::npos);
    EXPECT_EQ(store().Count(), 0);
    EXPECT_NE(readList().find("name=\"C\""), std::string::npos);
}

TEST_F(CliEditTest, DeleteBothOfAnEntryWithoutTaskRemovesTheEntryAndFails) {
    writeList(Entry("A", kApp) + Entry("B", kApp));
    const CliResult r = run({"delete", "--both", "A", "B"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("Error 9 (", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("Tareas hechas: ninguna\nTarea con error: «A»\nTareas sin tratar: «B»\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readList().find("name=\"A\""), std::string::npos);
    EXPECT_NE(readList().find("name=\"B\""), std::string::npos);
}

TEST_F(CliEditTest, AnEntryTheListDoesNotHoldIsErrorNineAndNothingIsWritten) {
    writeList(Entry("A", kApp) + Entry("B", kApp));
    makeTask("Fantasma");
    const std::vector<std::vector<std::string>> commands{
        {"enable", "A", "Fantasma", "B"}, {"disable", "Fantasma"},          {"delete", "Fantasma"},
        {"delete", "--both", "Fantasma"}, {"range", "15", "A", "Fantasma"},
    };
    for (const std::vector<std::string>& args : commands) {
        const CliResult r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(
            r.err.rfind("Error 9 (El subíndice está fuera del intervalo: la tarea «Fantasma» no está en "
                        "el listado)\n",
                        0),
            0u)
            << r.err;
        EXPECT_EQ(readList().find("Fantasma"), std::string::npos);
        EXPECT_EQ(store().Count(), 1) << "the scheduler task of that name stays";
    }
    EXPECT_EQ(readList().find("StartTimeRandom"), std::string::npos) << "range writes no name at all";
}

TEST_F(CliEditTest, RangeReadsTheMinutesAsTheInputBoxDoes) {
    writeList(Entry("A", kApp) + Entry("B", kApp));
    const std::vector<std::pair<std::string, std::string>> cases{
        {"15 min", "15"}, {"abc", "0"}, {"2.5", "2"}, {"3.5", "4"}, {"-10", "-10"}};
    for (const auto& [typed, stored] : cases) {
        const CliResult r = run({"range", typed, "A", "B"});
        EXPECT_EQ(r.exitCode, 0) << typed << ": " << r.err;
        EXPECT_EQ(r.out, "Operacion realizada con exito.\n");
        const std::string list = readList();
        EXPECT_NE(list.find("StartTimeRandom=\"" + stored + "\"><CONFIGURACION"), std::string::npos) << typed;
        EXPECT_NE(list.rfind("StartTimeRandom=\"" + stored + "\"><CONFIGURACION"),
                  list.find("StartTimeRandom=\"" + stored + "\"><CONFIGURACION"))
            << typed << ": both entries";
    }
    const std::string before = readList();
    const CliResult overflow = run({"range", "40000", "A"});
    EXPECT_EQ(overflow.exitCode, 1);
    EXPECT_EQ(overflow.err, "Error 6 (Desbordamiento)\n");
    EXPECT_EQ(readList(), before);
}

TEST_F(CliEditTest, FormatPutsOneTagOnEachLine) {
    writeList(Entry("A", kApp));
    const CliResult r = run({"format"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string list = readList();
    EXPECT_NE(list.find("\n\t<TAREA name=\"A\""), std::string::npos) << list;
    EXPECT_NE(list.find("\n\t\t<CONFIGURACION "), std::string::npos) << list;
    EXPECT_NE(list.find("\n\t\t\t<TRIGGER "), std::string::npos) << list;
    EXPECT_EQ(run({"list"}).out.find("A\tNo"),
              std::string(("Nombre\tMarcada\tEstado\tRnd\tProgramación\n")).size());
}

} // namespace
