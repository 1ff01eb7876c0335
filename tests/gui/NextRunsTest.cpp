// When tasks run next, where the window tells it: the property dialog's "Próximas ejecuciones", updated
// as the fields change, and the tooltips of the system view's rows.
#include "WindowFixture.h"

#include "AdminMenus.h"
#include "NextRunsPreview.h"
#include "TaskListModel.h"
#include "TaskPropertiesDialog.h"
#include "TaskStore.h"
#include "TriggerEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>

namespace brio::test {

namespace {

// A trigger every day at 8:00 from 01/03/2030: its starts do not depend on today's date.
SchedTrigger dailyFrom2030() {
    SchedTrigger t;
    t.setTriggerType(trigger::Daily);
    t.setBeginDay(MakeDate(2030, 3, 1));
    t.setStartTime(MakeDate(1899, 12, 30, 8, 0));
    t.setDaily_Interval(1);
    return t;
}

} // namespace

using NextRunsTest = WindowTest;

TEST_F(NextRunsTest, ThePropertyDialogShowsTheNextFiveStartsAsTheFieldsChange) {
    TaskStore store(store_.path());
    store.Refresh();
    SchedTaskPtr task = store.NewTask("Copia");
    task->setApplicationName("/bin/sh");
    task->Triggers().Add() = dailyFrom2030();

    TaskPropertiesDialog dialog(*task);
    const QLabel* shown = dialog.nextRuns->lblProximas;
    EXPECT_EQ(dialog.nextRuns->title(), "Próximas ejecuciones");
    EXPECT_EQ(shown->text(), "01/03/2030 08:00:00\n02/03/2030 08:00:00\n03/03/2030 08:00:00\n"
                             "04/03/2030 08:00:00\n05/03/2030 08:00:00");

    dialog.triggerEditor->tmeHora->setTime(QTime(9, 30));
    EXPECT_EQ(shown->text().left(19), "01/03/2030 09:30:00");
    dialog.triggerEditor->spnDias->setValue(2);
    EXPECT_EQ(shown->text(), "01/03/2030 09:30:00\n03/03/2030 09:30:00\n05/03/2030 09:30:00\n"
                             "07/03/2030 09:30:00\n09/03/2030 09:30:00");

    dialog.chkHabilitada->setChecked(false);
    EXPECT_EQ(shown->text(), "Deshabilitada");
    dialog.chkHabilitada->setChecked(true);
    EXPECT_EQ(shown->text().left(19), "01/03/2030 09:30:00");

    QTest::mouseClick(dialog.cmdEliminarProgramacion, Qt::LeftButton);
    EXPECT_EQ(shown->text(), "Sin desencadenadores");
    // Nothing of this reaches the task until Aceptar.
    EXPECT_EQ(task->Triggers().Item(1).StartTime().time(), QTime(8, 0));
}

TEST_F(NextRunsTest, SystemViewRowsTellTheirNextStartInTheirTooltip) {
    {
        TaskStore store(store_.path());
        store.Refresh();
        for (const char* name : {"Copia", "Parada"}) {
            SchedTaskPtr task = store.NewTask(name);
            task->setApplicationName("/bin/sh");
            task->setFlags(std::string(name) == "Parada" ? taskflag::disabled : 0);
            task->Triggers().Add() = dailyFrom2030();
            task->Save();
        }
    }
    AddSystemTask("Vacia", "/bin/sh");
    WriteList({{.name = "Lista"}});
    frmAdmin& w = Open();
    const TaskListModel& model = *w.tasks();
    EXPECT_FALSE(model.data(model.index(0, TaskListModel::ColName), Qt::ToolTipRole).isValid());

    w.menus().mnuVerTareasSistema->trigger();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Copia", "Parada", "Vacia"}));
    const auto tip = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::ToolTipRole).toString().toStdString();
    };
    // No runner runs: the start is what would happen.
    EXPECT_EQ(tip(0, TaskListModel::ColName),
              "Próxima ejecución: 01/03/2030 08:00:00 (no se ejecutará: el ejecutor no está en marcha)");
    EXPECT_EQ(tip(0, TaskListModel::ColSchedule), tip(0, TaskListModel::ColName));
    EXPECT_EQ(tip(1, TaskListModel::ColName), "Próxima ejecución: Deshabilitada");
    EXPECT_EQ(tip(2, TaskListModel::ColName), "Próxima ejecución: Sin desencadenadores");
}

// The dialog counts from the clock it is given: the next starts and a new trigger's begin day.
TEST_F(NextRunsTest, TheDialogReadsTheTimeFromItsClock) {
    struct FixedClock : Clock {
        std::chrono::sys_seconds Now() const override {
            using namespace std::chrono;
            return sys_days{year{2031} / 6 / 15} + hours{12};
        }
    } clock;
    TaskStore store(store_.path());
    store.Refresh();
    SchedTaskPtr task = store.NewTask("Copia");
    task->setApplicationName("/bin/sh");
    task->Triggers().Add() = dailyFrom2030();

    TaskPropertiesDialog dialog(*task, nullptr, nullptr, clock);
    const QString first = dialog.nextRuns->lblProximas->text().section('\n', 0, 0);
    EXPECT_TRUE(first == "15/06/2031 08:00:00" || first == "16/06/2031 08:00:00") << first.toStdString();
    QTest::mouseClick(dialog.cmdNuevaProgramacion, Qt::LeftButton);
    EXPECT_TRUE(dialog.lblProgramacion->text().endsWith("15/06/2031"))
        << dialog.lblProgramacion->text().toStdString();
}

} // namespace brio::test
