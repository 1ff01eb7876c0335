// The runner's subcommands on a state folder written by the runner's own state code: log, history and
// status with their header lines, run of a task that is already running, end of one that is not, and
// the export's word on a store no runner works on.
#include "CliFixture.h"

#include "RunLogTail.h"
#include "RunnerControl.h"
#include "StateFolder.h"

#include <fstream>
#include <unistd.h>

namespace brio::test {

namespace {

class CliRunnerTest : public CliFixture {
protected:
    CliRunnerTest() {
        env["BRIOSCHEDULE_STATE"] = stateDir.path().string();
        state.Open(::geteuid());
        makeTask("Copia");
    }
    std::string Log(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path file = stateDir / (name + ".log");
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    static RunRecord Run(std::int64_t start, std::string log) {
        return RunRecord{std::chrono::sys_seconds(std::chrono::seconds(start)),
                         std::chrono::sys_seconds(std::chrono::seconds(start + 5)),
                         "error",
                         3,
                         std::nullopt,
                         "Terminó con el código 3",
                         std::move(log)};
    }

    TempDir stateDir;
    StateFolder state{stateDir.path()};
};

TEST_F(CliRunnerTest, LogPrintsTheOutputOfTheLastRunOrOneCountedBack) {
    const std::string big = std::string(RunLogTail::kDefaultLimit, 'a') + "FIN\n";
    TaskState recorded;
    recorded.Add(Run(1893466800, Log("uno", "uno\n")));
    recorded.Add(Run(1893470400, Log("latin1", "caf\xE9\n")));
    recorded.Add(Run(1893474000, Log("grande", big)));
    recorded.Add(Run(1893477600, (stateDir / "borrado.log").string()));
    recorded.Add(Run(1893481200, ""));
    recorded.running =
        RunningRun{std::chrono::sys_seconds(std::chrono::seconds(1893484800)), 1, Log("va", "va\n")};
    state.Write("Copia", recorded);

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::string err; // what the error output holds
    };
    const Case cases[] = {
        {{"log", "Copia"}, 0, "va\n", ""}, // a run still going is the last
        {{"log", "Copia", "--run", "6"}, 0, "uno\n", ""},
        {{"log", "Copia", "--run=5"}, 0, "caf\xE9\n", ""}, // the bytes as the program wrote them
        {{"log", "Copia", "--run", "4"},
         0,
         big.substr(4),
         "(solo el último MiB de una salida de 1048580 bytes)"},
        {{"log", "Copia", "--run", "3"}, 1, "", "no se puede leer el registro"},
        {{"log", "Copia", "--run", "2"}, 1, "", "no tiene registro de salida"},
        {{"log", "Copia", "--run", "7"}, 1, "", "tiene 6 ejecuciones anotadas"},
        {{"log", "Otra"}, 1, "", "no existe la tarea «Otra»"},
        {{"log", "Copia", "--run", "0"}, 2, "", "número no válido en --run"},
        {{"log", "Copia", "--run", "x"}, 2, "", "número no válido en --run"},
        {{"log"}, 2, "", "falta el nombre de la tarea"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliResult result = run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_TRUE(result.out == c.out) << result.out.substr(0, 100);
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }

    // A state file cut short, and a task with no state at all.
    const std::filesystem::path file = stateDir / "tasks" / "Copia.state";
    const std::string whole = ReadText(file);
    WriteText(file, whole.substr(0, whole.size() / 2));
    CliResult cut = run({"log", "Copia"});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_TRUE(cut.out.empty());
    std::filesystem::remove(file);
    CliResult none = run({"log", "Copia"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no tiene ninguna ejecución anotada"), std::string::npos) << none.err;
}

TEST_F(CliRunnerTest, HistoryAndStatusHaveAHeaderLineAndRunOfARunningTaskSaysSo) {
    TaskState recorded;
    recorded.Add(Run(1893466800, ""));
    state.Write("Copia", recorded);
    const CliResult history = run({"history", "Copia"});
    EXPECT_EQ(history.exitCode, 0);
    EXPECT_EQ(history.out.substr(0, history.out.find('\n')),
              "Inicio\tFin\tResultado\tCódigo o señal\tMotivo\tRegistro");
    EXPECT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 2);
    const CliResult status = run({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_NE(status.out.find(
                  "\nNombre\tResultado\tÚltimo inicio\tPróximo inicio\tEn ejecución\tProblema\nCopia\terror"),
              std::string::npos)
        << status.out;

    const CliResult none = run({"run", "Copia"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(
        none.err.rfind("El ejecutor no está en marcha: la tarea «Copia» no se ha iniciado; inícielo con "
                       "«systemctl start brioschedule-runner»",
                       0),
        0u)
        << none.err;

    const CliResult noRunner = run({"end", "Copia"});
    EXPECT_EQ(noRunner.exitCode, 1);
    EXPECT_EQ(noRunner.err.rfind(
                  "El ejecutor no está en marcha: no se puede pedir que finalice «Copia»; inícielo con ", 0),
              0u)
        << noRunner.err;

    // This test holds the runner's lock, as a running runner does, and the task is recorded as running.
    RunnerLock lock(state);
    const CliResult idle = run({"end", "copia"});
    EXPECT_EQ(idle.exitCode, 1);
    EXPECT_EQ(idle.err, "La tarea «Copia» no está en ejecución: no hay nada que finalizar.\n");
    recorded.running = RunningRun{std::chrono::sys_seconds(std::chrono::seconds(1893470400)), 1, ""};
    state.Write("Copia", recorded);
    const CliResult again = run({"run", "Copia"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("La tarea «Copia» ya está en ejecución desde "), std::string::npos) << again.err;
    EXPECT_TRUE(TakeRequests(state).empty()) << "nothing is asked of the runner";
}

TEST_F(CliRunnerTest, ExportSaysWhenNoRunnerWorksOnTheStore) {
    writeList(Entry("Cierre", "C:\\BRIO\\VELMORAX\\bin\\cierre.exe"));
    const std::string hint =
        std::string("brioschedule-cli: no hay ningún ejecutor para sus tareas: systemctl ") +
        (::geteuid() == 0 ? "" : "--user ") + "start brioschedule-runner\n";
    const CliResult alone = run({"export", "Cierre"});
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_EQ(alone.out, "Las tareas fueron exportadas con exito.\n");
    EXPECT_EQ(alone.err, hint);
    RunnerLock lock(state);
    const CliResult watched = run({"export", "Cierre"});
    EXPECT_EQ(watched.exitCode, 0) << watched.err;
    EXPECT_EQ(watched.err, "");
}

} // namespace

} // namespace brio::test
