// Opens the main window on the demo of scripts/run and saves pictures of it:
// lista.png (the list-file view), sistema.png (the system view), menu.png (the whole screen with the
// context menu open) and dialogo.png (the task property dialog). Usage: brio_screenshot <folder>
#include "DemoFolder.h"
#include "MsgBox.h"
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
#include <QScreen>
#include <QTemporaryDir>

#include <cstdlib>
#include <iostream>

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
    for (const brio::MsgBox::Shown& shown : brio::MsgBox::log())
        std::cerr << "mensaje: " << shown.text.toStdString() << '\n';
    std::cout << (ok ? "capturas en " : "no se pudieron guardar las capturas en ") << out.toStdString()
              << '\n';
    return ok ? 0 : 1;
}
