// Tasks the runner cannot or must not run: each gets a recorded reason, nothing runs, nothing crashes.
#include "RunnerFixture.h"

#include "ProcessLauncher.h"

#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing::HasSubstr;

namespace brio::test {

using RunnerBadInputTest = RunnerFixture;

TEST_F(RunnerBadInputTest, TasksThatCannotStartRecordWhyAndRunNothing) {
    const fs::path marker = root_ / "ran";
    const std::string touch = "touch '" + marker.string() + "'";
    fs::create_directories(drive_ / "scripts" / "carpeta.sh");
    options_.launch.config.wineCommand = "wine-que-no-existe";
    MakeCore();
    core_->Start();
    struct Case {
        const char* name;
        std::function<void(JobData&)> change;
        const char* reason;
    };
    const Case cases[] = {
        {"Sin programa", [](JobData& job) { job.applicationName.clear(); }, "no tiene programa"},
        {"Falta", [](JobData& job) { job.applicationName = "C:\\scripts\\falta.sh"; },
         "no existe el programa"},
        {"Carpeta", [](JobData& job) { job.applicationName = "C:\\scripts\\carpeta.sh"; }, "es una carpeta"},
        {"Sin permiso", [&](JobData& job) { job.applicationName = Script("quieto.sh", touch, 0644); },
         "no es ejecutable"},
        {"Unidad", [](JobData& job) { job.applicationName = "Q:\\scripts\\x.sh"; }, "no está asignada"},
        {"Wine", [&](JobData& job) { job.applicationName = Script("prog.exe", touch); },
         "no se encuentra Wine"},
        {"Trabajo", [](JobData& job) { job.workingDirectory = "C:\\no\\existe"; }, "carpeta de trabajo"},
        {"Cuenta", [](JobData& job) { job.account = "cuenta-que-no-existe"; },
         Root() ? "no existe en este equipo" : "este ejecutor de usuario solo ejecuta"},
    };
    for (const Case& c : cases) {
        JobData job = ScriptTask(Script("toca.sh", touch));
        c.change(job);
        SaveTask(c.name, job);
        core_->RunNow(c.name);
        WaitForRuns();
        const TaskState state = StateOf(c.name);
        ASSERT_EQ(state.runs.size(), 1u) << c.name;
        EXPECT_EQ(state.runs[0].result, runresult::launchFailed) << c.name;
        EXPECT_THAT(state.runs[0].reason, HasSubstr(c.reason)) << c.name;
    }
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(RunnerBadInputTest, AStoreFullOfUnreadableFilesLeavesTheGoodTaskRunning) {
    WriteText(store_ / "Roto.job", "<job version=\"1\"><program>");
    WriteText(store_ / "Vacio.job", "");
    WriteText(store_ / "Basura.job", std::string(5000, '\x01'));
    fs::create_directories(store_ / "Carpeta.job");
    WriteText(store_ / "Cerrado.job", "x");
    ::chmod((store_ / "Cerrado.job").c_str(), 0);
    for (const char* file : {"Roto.job", "Vacio.job", "Basura.job"})
        ::chmod((store_ / file).c_str(), 0600);
    SaveTask("Buena", ScriptTask(Script("buena.sh", "true")));
    core_->Rescan();
    EXPECT_EQ(core_->TaskCount(), 6u);
    for (const char* name : {"Roto", "Vacio", "Basura", "Carpeta", "Cerrado"}) {
        core_->RunNow(name);
        const TaskState state = StateOf(name);
        EXPECT_THAT(state.problem, HasSubstr("no se ejecuta")) << name;
        EXPECT_TRUE(state.runs.empty()) << name;
    }
    core_->RunNow("Buena");
    WaitForRuns();
    EXPECT_EQ(StateOf("Buena").runs.back().result, runresult::ok);
    // Told once, not again at the next rescan.
    const std::string told = messages_.str();
    core_->Rescan();
    EXPECT_EQ(messages_.str(), told);
}

TEST_F(RunnerBadInputTest, TheSystemRunnerLeavesUntrustedTaskFilesAndFoldersAlone) {
    if (!Root())
        GTEST_SKIP() << "only root owns a trusted store";
    const fs::path marker = root_ / "ran";
    SaveTask("Buena", ScriptTask(Script("toca.sh", "touch '" + marker.string() + "'")));
    fs::copy_file(store_ / "Buena.job", root_ / "fuera.job");
    fs::create_symlink(root_ / "fuera.job", store_ / "Enlace.job");
    fs::copy_file(store_ / "Buena.job", store_ / "Abierta.job");
    ::chmod((store_ / "Abierta.job").c_str(), 0666);
    fs::copy_file(store_ / "Buena.job", store_ / "Ajena.job");
    ASSERT_EQ(::chown((store_ / "Ajena.job").c_str(), 65534, 65534), 0);
    fs::copy_file(store_ / "Buena.job", root_ / "otra.job");
    fs::create_hard_link(root_ / "otra.job", store_ / "Dura.job");
    core_->Rescan();
    const std::pair<const char*, const char*> untrusted[] = {{"Enlace", "enlace simbólico"},
                                                             {"Abierta", "lo pueden modificar otros"},
                                                             {"Ajena", "es del usuario nobody"},
                                                             {"Dura", "enlaces duros"}};
    for (const auto& [name, why] : untrusted) {
        core_->RunNow(name);
        EXPECT_THAT(StateOf(name).problem, HasSubstr(why)) << name;
    }
    WaitForRuns();
    EXPECT_FALSE(fs::exists(marker));

    // A store folder others may enter is not trusted at all.
    ::chmod(store_.c_str(), 0755);
    core_->Rescan();
    EXPECT_EQ(core_->TaskCount(), 0u);
    EXPECT_THAT(messages_.str(), HasSubstr("sus permisos son 0755 y deben ser 0700"));
    core_->RunNow("Buena");
    WaitForRuns();
    EXPECT_FALSE(fs::exists(marker));
    ::chmod(store_.c_str(), 0700);
    core_->Rescan();
    EXPECT_EQ(core_->TaskCount(), 5u);
}

TEST_F(RunnerBadInputTest, AnAccountPamRefusesIsNotRun) {
    if (!Root())
        GTEST_SKIP() << "only the system runner switches accounts";
    ForkLauncher refusing(kPamDeny);
    MakeCore(&refusing);
    core_->Start();
    const fs::path marker = root_ / "ran";
    SaveTask("Negada", ScriptTask(Script("toca.sh", "touch '" + marker.string() + "'")));
    core_->RunNow("Negada");
    WaitForRuns();
    const TaskState state = StateOf("Negada");
    ASSERT_EQ(state.runs.size(), 1u);
    EXPECT_EQ(state.runs[0].result, runresult::launchFailed);
    EXPECT_THAT(state.runs[0].reason, HasSubstr("PAM"));
    EXPECT_THAT(state.runs[0].reason, HasSubstr("nobody"));
    EXPECT_FALSE(fs::exists(marker));
}

} // namespace brio::test
