// The window and the runner: a system view row's tooltip and the task property dialog tell the last
// recorded run, and "Ejecutar ahora" asks the running runner as brioschedule-cli run does.
#include "CommandFixture.h"

#include "RunnerControl.h"
#include "RunnerLink.h"
#include "RunnerStatus.h"
#include "TaskPropertiesDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <thread>

namespace brio::test {

namespace {

class RunnerLinkTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        SetRunnerStoreFolder(store_.path());
        state_.Open(::geteuid());
        AddSystemTask("Copia", "/bin/sh");
        TaskState recorded;
        recorded.Add(RunRecord{std::chrono::sys_seconds(std::chrono::seconds(1893466800)), std::nullopt,
                               std::string(runresult::error), 3, std::nullopt, "Terminó con el código 3",
                               ""});
        state_.Write("Copia", recorded);
        run_ = recorded.runs.back();
    }
    void TearDown() override {
        SetRunnerStoreFolder(TaskStore::DefaultFolder());
        CommandTest::TearDown();
    }

    TempDir stateDir_;
    ScopedEnv stateEnv_{"BRIOSCHEDULE_STATE", stateDir_.path().string()};
    StateFolder state_{stateDir_.path()};
    RunRecord run_;
};

TEST_F(RunnerLinkTest, TheSystemViewTooltipTellsTheLastRun) {
    frmAdmin& w = Open();
    w.menus().mnuVerTareasSistema->trigger();
    const TaskListModel& model = *w.tasks();
    const QString tip = model.data(model.index(0, TaskListModel::ColName), Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.startsWith("Próxima ejecución: ")) << tip.toStdString();
    EXPECT_TRUE(
        tip.endsWith("\nÚltima ejecución: " + QString::fromStdString(RunText(run_, ScheduleZone::Host()))))
        << tip.toStdString();
    EXPECT_NE(RunText(run_, ScheduleZone::Host()).find("error (Terminó con el código 3)"), std::string::npos);
}

TEST_F(RunnerLinkTest, EjecutarAhoraAsksTheRunningRunnerAndSaysWhenNoneRuns) {
    SchedTaskPtr task = StoreTask("Copia");
    TaskPropertiesDialog dialog(*task);
    ASSERT_NE(dialog.lblUltimaEjecucion, nullptr);
    EXPECT_EQ(dialog.lblUltimaEjecucion->text().toStdString(), RunText(run_, ScheduleZone::Host()));

    TakeShown();
    QTest::mouseClick(dialog.cmdEjecutarAhora, Qt::LeftButton);
    QList<MsgBox::Shown> shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("El ejecutor no está en marcha: la tarea «Copia» no se ha iniciado"))
        << shown[0].text.toStdString();
    EXPECT_FALSE(shown[0].text.contains("Variable de objeto"));

    // A runner of this state folder: this test holds its lock and takes its requests.
    RunnerLock lock(state_);
    std::vector<RunnerRequest> taken;
    std::thread runner([&] {
        for (int i = 0; i < 300 && taken.empty(); ++i) {
            taken = TakeRequests(state_);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    QTest::mouseClick(dialog.cmdEjecutarAhora, Qt::LeftButton);
    runner.join();
    EXPECT_TRUE(TakeShown().isEmpty());
    EXPECT_EQ(taken, (std::vector<RunnerRequest>{{RequestKind::Run, "Copia"}}));
}

} // namespace

} // namespace brio::test
