// Opens the main window on the demo of scripts/run and saves pictures of it:
// lista.png (the list-file view), sistema.png (the system view), menu.png (the whole screen with the
// context menu open), dialogo.png (the task property dialog), sin-ejecutor.png and ejecutor.png (the
// system view with its runner columns and status line, without and with the real runner running) and
// historial.png (a task's run history). Usage: brio_screenshot <folder>
#include "DemoFolder.h"
#include "MsgBox.h"
#include "RunHistoryDialog.h"
#include "RunHistoryView.h"
#include "RunnerLink.h"
#include "RunnerStatusLine.h"
#include "RunnerWatch.h"
#include "StateFolder.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"
#include "TaskPropertiesDialog.h"
#include "TaskStore.h"
#include "TriggerEditor.h"
#include "frmAdmin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace {

void wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    QDir().mkpath(out);

    // A fresh demo, as scripts/run makes it, in a folder of its own.
    QTemporaryDir temp;
    const brio::DemoFolder demo = brio::DemoFolder::Make(temp.path().toStdString());
    for (const auto& [name, value] : demo.Environment())
        ::setenv(name.c_str(), value.c_str(), 1);
    const std::filesystem::path home = demo.programFolder, tasks = demo.tasks;

    brio::MsgBox::setScripted(true);
    brio::frmAdmin window(home, brio::MakeTaskStoreFactory(tasks));
    window.show();
    wait(600);
    window.mnuSeleccionOP_Click(2); // apply the first saved selection
    window.lvwTareas()->SetCurrentRow(2);
    wait(300);
    bool ok = window.grab().save(out + "/lista.png");

    window.PreparePopup();
    const QRect row = window.lvwTareas()->visualRect(window.tasks()->index(2, 0));
    window.mnuPopup()->popup(window.lvwTareas()->viewport()->mapToGlobal(row.center()));
    wait(400);
    ok = window.screen()->grabWindow(0).save(out + "/menu.png") && ok;
    window.mnuPopup()->hide();

    window.mnuVerTareasSistema_Click();
    window.lvwTareas()->SetCurrentRow(0);
    wait(400);
    ok = window.grab().save(out + "/sistema.png") && ok;

    // The property dialog of a monthly task, as it fits its content.
    brio::TaskStore store(tasks);
    store.Refresh();
    const brio::SchedTaskPtr task = store.Item(1);
    task->Triggers().Item(1).setTriggerType(brio::trigger::MonthlyDOW);
    brio::TriggerEditor::FillTypeDefaults(task->Triggers().Item(1));
    brio::TaskPropertiesDialog dialog(*task, &window);
    dialog.tabs->setCurrentIndex(1);
    dialog.show();
    wait(400);
    ok = dialog.grab().save(out + "/dialogo.png") && ok;
    dialog.hide();

    // Runs as the runner's state code records them, with their output.
    brio::SetRunnerStoreFolder(tasks);
    brio::StateFolder state(brio::StateFolder::For(tasks));
    state.Open(::geteuid());
    const auto at = [](int day, int hour) {
        return std::chrono::sys_days(std::chrono::year(2026) / 12 / day) + std::chrono::hours(hour);
    };
    const auto log = [&](const std::string& name, const std::string& text) {
        const std::filesystem::path file = state.Folder() / (name + ".log");
        std::ofstream(file) << text;
        return file.string();
    };
    brio::TaskState cierre;
    cierre.Add({at(7, 2),
                at(7, 2) + std::chrono::seconds(74),
                "ok",
                0,
                {},
                "Terminó correctamente",
                log("cierre1", "Cierre del día 06/12/2026\nAsientos: 1.204\nCorrecto.\n")});
    cierre.Add({at(8, 2),
                at(8, 2) + std::chrono::seconds(12),
                "error",
                3,
                {},
                "Terminó con el código 3",
                log("cierre2", "Cierre del día 07/12/2026\nERROR: la base de datos no responde\n")});
    state.Write("Cierre diario", cierre);
    brio::TaskState copia;
    copia.Add({at(6, 3), {}, "missed", {}, {}, "El ejecutor no estaba en marcha", ""});
    state.Write("Copia de seguridad", copia);

    window.mnuVerActualizar_Click();
    window.Runner().CheckNow();
    window.resize(1300, 420);
    wait(400);
    ok = window.grab().save(out + "/sin-ejecutor.png") && ok;

    QProcess runner;
    runner.setProgram(QStringLiteral(BRIO_RUNNER_PATH));
    runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    runner.start();
    for (int i = 0; i < 50 && window.lblEjecutor()->Warning(); ++i) {
        window.Runner().CheckNow();
        wait(100);
    }
    wait(1500); // the runner writes each task's next start
    ok = window.grab().save(out + "/ejecutor.png") && ok;

    brio::RunHistoryDialog history("Cierre diario", &window);
    history.show();
    history.history->tblEjecuciones->setCurrentCell(0, 0);
    wait(400);
    ok = history.grab().save(out + "/historial.png") && ok;
    history.hide();
    runner.terminate();
    runner.waitForFinished(5000);
    for (const brio::MsgBox::Shown& shown : brio::MsgBox::log())
        std::cerr << "mensaje: " << shown.text.toStdString() << '\n';
    std::cout << (ok ? "capturas en " : "no se pudieron guardar las capturas en ") << out.toStdString()
              << '\n';
    return ok ? 0 : 1;
}
