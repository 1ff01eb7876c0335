// brioschedule-cli next, and the next run times of the system listing.
#include "CliFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <regex>

using namespace brio;
using namespace brio::test;

namespace {

using CliNextTest = CliFixture;

constexpr const char* kApp = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";

TEST_F(CliNextTest, NextStartsOfAListEntryAndOfASchedulerTaskInTheHostZone) {
    env["TZ"] = "Europe/Madrid";
    // Daily at 2:00 from 08/12/2026, with a random range the export would add.
    writeList(Entry("Cierre", kApp, "StartTimeRandom=\"15\""));
    CliResult r = run({"next", "Cierre", "--after", "2026-12-07T12:00", "--count", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "08/12/2026 02:00:00\n09/12/2026 02:00:00\n10/12/2026 02:00:00\n");
    EXPECT_NE(r.err.find("sin ese desplazamiento"), std::string::npos) << r.err;

    // The scheduler task's 2:00 falls in the spring-forward gap of 28/03/2027 and runs at 3:00.
    makeTask("Copia");
    r = run({"next", "--system", "copia", "--after=2027-03-27T02:00:01", "--count=2", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "[\n"
                     "    {\"Start\": \"2027-03-28T03:00:00+02:00\", \"Trigger\": 1, \"KillAt\": null},\n"
                     "    {\"Start\": \"2027-03-29T02:00:00+02:00\", \"Trigger\": 1, \"KillAt\": null}\n"
                     "]\n");
    ParseJson(r.out);

    env["TZ"] = "America/New_York";
    r = run({"next", "--system", "Copia", "--after", "2026-12-08T01:59:59", "--count", "1", "--json"});
    EXPECT_EQ(r.out,
              "[\n    {\"Start\": \"2026-12-08T02:00:00-05:00\", \"Trigger\": 1, \"KillAt\": null}\n]\n");

    // No start: an empty result, the reason on standard error, and success.
    makeTask("Parada", taskflag::disabled);
    r = run({"next", "--system", "Parada", "--json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "[]\n");
    EXPECT_NE(r.err.find("Deshabilitada"), std::string::npos) << r.err;
}

TEST_F(CliNextTest, BadNamesCountsAndDatesAreRefused) {
    writeList(Entry("Cierre", kApp));
    makeTask("Copia");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* err; // the start of standard error
    } cases[] = {
        {{"next"}, 2, "brioschedule-cli: falta el nombre de la tarea"},
        {{"next", "Cierre", "Copia"}, 2, "brioschedule-cli: la orden «next» no admite más de un nombre"},
        {{"next", "Cierre", "--count", "0"}, 2, "brioschedule-cli: número no válido en --count"},
        {{"next", "Cierre", "--count", "10001"}, 2, "brioschedule-cli: número no válido en --count"},
        {{"next", "Cierre", "--count", "-3"}, 2, "brioschedule-cli: número no válido en --count"},
        {{"next", "Cierre", "--count"}, 2, "brioschedule-cli: falta el valor después de --count"},
        {{"next", "Cierre", "--after", "2026-02-30T10:00"},
         2,
         "brioschedule-cli: fecha no válida en --after"},
        {{"next", "Cierre", "--after", "2026-03-01 10:00"},
         2,
         "brioschedule-cli: fecha no válida en --after"},
        {{"next", "Cierre", "--after", "2026-03-01T24:00"},
         2,
         "brioschedule-cli: fecha no válida en --after"},
        {{"list", "--count", "3"}, 2, "brioschedule-cli: la orden «list» no admite la opción --count"},
        {{"next", "Nadie"}, 1, "Error 9 (El subíndice está fuera del intervalo"},
        {{"next", "--system", "Nadie"}, 1, "Error 9 (El subíndice está fuera del intervalo"},
    };
    for (const auto& c : cases) {
        const CliResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << ": " << r.err;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliNextTest, TheSystemListingTellsEachTasksNextRunTime) {
    env["TZ"] = "UTC";
    makeTask("Copia");
    makeTask("Parada", taskflag::disabled);
    CliResult r = run({"list", "--system", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonArray rows = ParseJson(r.out).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject().value("Name").toString(), "Copia");
    // Daily at 2:00: some coming day at 2:00 UTC, never before the begin day.
    const std::string next = rows[0].toObject().value("NextRunTime").toString().toStdString();
    EXPECT_TRUE(std::regex_match(next, std::regex(R"(20\d\d-\d\d-\d\dT02:00:00\+00:00)"))) << next;
    EXPECT_GE(next, "2026-12-08");
    EXPECT_TRUE(rows[1].toObject().value("NextRunTime").isNull());
    EXPECT_TRUE(rows[1].toObject().contains("NextRunTime"));

    r = run({"list", "--system"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Nombre\tMarcada\tEstado\tRnd\tProgramación\tPróxima ejecución\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\t" + next.substr(8, 2) + "/" + next.substr(5, 2) + "/" + next.substr(0, 4) +
                         " 02:00:00\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\tDeshabilitada\t\tA las 2:00 todos los días, a partir del 08/12/2026\t\n"),
              std::string::npos)
        << r.out;
    // The list-file view has no such column.
    writeList(Entry("Cierre", kApp));
    EXPECT_EQ(run({"list"}).out.find("Próxima ejecución"), std::string::npos);
}

} // namespace
