// The command line's usage, and what list and show print from the list file and the scheduler.
#include "CliFixture.h"

#include <regex>
#include <set>

#include <QJsonArray>
#include <QJsonObject>

using namespace brio;
using namespace brio::test;

namespace {

using CliReadTest = CliFixture;

constexpr const char* kCierre = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";

TEST_F(CliReadTest, UsageErrorsExitWithTwoAndTouchNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"lista"},
             {"list", "--user", "x"},
             {"list", "Cierre"},
             {"show"},
             {"show", "A", "B"},
             {"delete", "--system", "--both", "A"},
             {"enable"},
             {"range", "15"},
             {"repair"},
             {"export", "--user"},
             {"list", "--json=1"},
         }) {
        const CliResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("Uso: brioschedule-cli"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(
        std::filesystem::exists(home / "velmorax.db")); // nothing ran, not even the first-run defaults

    const CliResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("encode-connection"), std::string::npos);
    const CliResult full = run({"--help"}, {}, "/dev/full"); // output that cannot be written is a failure
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err,
              "Error 75 (Error de acceso a la ruta o el archivo: no se pudo escribir la salida estándar)\n");
    const CliResult version = run({"list", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("brioschedule-cli ", 0), 0u) << version.out;
}

TEST_F(CliReadTest, ListShowsTheWindowsRowsAndAllAddsTheHiddenOnes) {
    makeProgram("BRIO/VELMORAX/bin/cierre.exe");
    writeList(
        Entry("Cierre", kCierre, "selected=\"3\" disabled=\"0\" StartTimeRandom=\"15\" text=\"A las 2:00\"") +
        Entry("Oculta", kCierre, "disabled=\"0\"", true) +
        Entry("Perdida", "C:\\BRIO\\VELMORAX\\bin\\perdido.exe", "disabled=\"1\"") +
        Entry("Apagada", kCierre, "disabled=\"1\""));

    const CliResult plain = run({"list"});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, "Nombre\tMarcada\tEstado\tRnd\tProgramación\n"
                         "Cierre\tSí\t\t15\tA las 2:00\n"
                         "Perdida\tNo\tError\t\t\n" // a missing program wins over the disabled state
                         "Apagada\tNo\tDeshabilitada\t\t\n");

    const CliResult json = run({"list", "--all", "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonArray rows = ParseJson(json.out).array();
    ASSERT_EQ(rows.size(), 4);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["Name"].toString(), "Cierre");
    EXPECT_EQ(first["ApplicationName"].toString(), QString::fromUtf8(kCierre));
    EXPECT_EQ(first["Seleccion"].toInt(), 3);
    EXPECT_EQ(first["StartTimeRandom"].toInt(), 15);
    EXPECT_TRUE(first["Enabled"].toBool());
    EXPECT_EQ(first["Text"].toString(), "A las 2:00");
    EXPECT_EQ(first["State"].toInt(), 0);
    EXPECT_TRUE(rows[1].toObject()["hidden"].toBool());
    EXPECT_EQ(rows[2].toObject()["State"].toInt(), 128);
}

TEST_F(CliReadTest, ListWithoutAListFileIsEmptyAndCreatesNone) {
    const CliResult r = run({"list", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ParseJson(r.out).array().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(listFile()));
}

TEST_F(CliReadTest, CommandsThatOnlyReadWriteNothingInTheProgramFolder) {
    makeProgram("BRIO/VELMORAX/bin/cierre.exe");
    writeList(Entry("Cierre", kCierre));
    const auto contents = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(home.path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> before = contents();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list"}, {"list", "--all", "--json"}, {"show", "Cierre"}, {"next", "Cierre", "--count", "3"}}) {
        const CliResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << testing::PrintToString(args) << r.err;
        EXPECT_EQ(contents(), before) << testing::PrintToString(args);
    }
    EXPECT_EQ(run({"range", "5", "Cierre"}).exitCode, 0); // a command that writes makes the first-run files
    EXPECT_TRUE(std::filesystem::exists(home / "SuiteSettings.ini"));
    EXPECT_TRUE(std::filesystem::exists(home / "velmorax.db"));
}

TEST_F(CliReadTest, ListFailuresReportTheCommandError) {
    makeProgram("BRIO/VELMORAX/bin/cierre.exe");
    // A name met twice ends the list there, as the window's keyed rows do.
    writeList(Entry("A", kCierre, "disabled=\"0\"") + Entry("B", kCierre, "disabled=\"0\"") +
              Entry("A", kCierre, "disabled=\"0\"") + Entry("C", kCierre, "disabled=\"0\""));
    CliResult r = run({"list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Nombre\tMarcada\tEstado\tRnd\tProgramación\nA\tNo\t\t\t\nB\tNo\t\t\t\n");
    EXPECT_NE(r.err.find("Error 35602 (La clave no es única en la colección"), std::string::npos) << r.err;

    WriteText(listFile(), "<TAREAS><TAREA name=\"roto\"");
    r = run({"list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("Error 75 (Error de acceso a la ruta o el archivo", 0), 0u) << r.err;
    EXPECT_EQ(ReadText(listFile()), "<TAREAS><TAREA name=\"roto\""); // never written over
}

TEST_F(CliReadTest, SystemListAndShowGiveEveryStoredField) {
    makeTask("Copia");
    makeTask("Apagada", taskflag::disabled | taskflag::hidden);

    const CliResult list = run({"list", "--system"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    // The last column is the next start: for the daily task, 2:00 of some coming day.
    EXPECT_TRUE(std::regex_match(
        list.out,
        std::regex("Nombre\tMarcada\tEstado\tRnd\tProgramación\tPróxima ejecución\n"
                   "Apagada\tNo\tDeshabilitada\t\tA las 2:00 todos los días, a partir del 08/12/2026\t\n"
                   "Copia\tNo\t\t\tA las 2:00 todos los días, a partir del 08/12/2026\t"
                   "\\d\\d/\\d\\d/2\\d\\d\\d 02:00:00\n")))
        << list.out;

    const CliResult show = run({"show", "--system", "copia", "--json"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    const QJsonObject task = ParseJson(show.out).object();
    EXPECT_EQ(task["Name"].toString(), "Copia");
    EXPECT_EQ(task["CommandLine"].toString(), "/tarea Copia");
    EXPECT_EQ(task["WorkingDirectory"].toString(), "C:\\BRIO\\VELMORAX\\bin");
    EXPECT_EQ(task["Flags"].toInt(), 0);
    EXPECT_EQ(task["AccountName"].toString(), "");
    const QJsonArray triggers = task["TRIGGERS"].toArray();
    ASSERT_EQ(triggers.size(), 1);
    const QJsonObject t = triggers[0].toObject();
    EXPECT_EQ(t["triggerType"].toInt(), 1);
    EXPECT_EQ(t["BeginDay"].toString(), "08/12/2026 00:00:00");
    EXPECT_EQ(t["StartTime"].toString(), "30/12/1899 02:00:00");
    EXPECT_EQ(t["Text"].toString(), "A las 2:00 todos los días, a partir del 08/12/2026");

    const CliResult missing = run({"show", "--system", "Nadie"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("Error 9 (El subíndice está fuera del intervalo", 0), 0u) << missing.err;
}

TEST_F(CliReadTest, ShowOfAnEntryGivesItsAttributesFlagsAndTriggersAsStored) {
    writeList(Entry("Cierre", kCierre, "selected=\"2\" disabled=\"1\" StartTimeRandom=\"abc\" extra=\"x\""));
    const CliResult json = run({"show", "Cierre", "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const QJsonObject entry = ParseJson(json.out).object();
    EXPECT_EQ(entry["Name"].toString(), "Cierre");
    EXPECT_EQ(entry["CommandLine"].toString(), "/x");
    EXPECT_EQ(entry["Seleccion"].toInt(), 2);
    EXPECT_EQ(entry["StartTimeRandom"].toInt(), 0); // read as the list reads it: no leading number is 0
    EXPECT_FALSE(entry["Enabled"].toBool());
    EXPECT_EQ(entry["extra"].toString(), "x");
    EXPECT_FALSE(entry["CONFIGURACION"].toObject()["systemRequired"].toBool());
    EXPECT_EQ(entry["CONFIGURACION"].toObject().size(), 13);
    const QJsonObject trigger = entry["TRIGGERS"].toArray().at(0).toObject();
    EXPECT_EQ(trigger["Daily_Interval"].toInt(), 1);
    EXPECT_EQ(trigger["typeDescription"].toString(), "DailyTrigger");
    EXPECT_EQ(trigger["EndDay"].toString(), "30/12/1899 00:00:00");

    const CliResult plain = run({"show", "Cierre"});
    EXPECT_EQ(plain.out.rfind("Elemento\tCampo\tValor\nTAREA\tName\tCierre\n", 0), 0u) << plain.out;
    EXPECT_NE(plain.out.find("\nTRIGGER 1\tStartTime\t30/12/1899 02:00:00\n"), std::string::npos);

    const CliResult missing = run({"show", "cierre"}); // the list file's names match exactly
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("Error 9 (", 0), 0u) << missing.err;
}

} // namespace

TEST_F(CliReadTest, ControlCharactersOfNamesAreShownEscaped) {
    // ESC ] ... BEL would retitle the terminal; ESC [ 2 J would clear it; U+009B is the one-byte CSI.
    const std::string hostile = "A\x1B]0;x\x07"
                                "B\x1B[2J\xC2\x9B"
                                "C\x7F";
    writeList(Entry("A&#27;]0;x&#7;B&#27;[2J\xC2\x9B"
                    "C&#127;",
                    "C:\\x.exe"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"},
                                                 {"show", hostile},
                                                 {"list", "--json"},
                                                 {"delete", hostile + "X"}}) {
        const CliResult r = run(args);
        for (const std::string& text : {r.out, r.err}) {
            EXPECT_EQ(text.find_first_of("\x1B\x07\x7F"), std::string::npos) << args.front();
            EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << args.front();
        }
        if (args.front() == "list" && args.size() == 1) {
            EXPECT_NE(r.out.find("A\\u001B]0;x\\u0007B\\u001B[2J\\u009BC\\u007F"), std::string::npos)
                << r.out;
        }
        if (args.size() == 2 && args[1] == "--json") { // still JSON, and the same name in it
            EXPECT_EQ(ParseJson(r.out)[0]["Name"].toString().toStdString(), hostile);
        }
    }
}
