// Opens the main window on a sample program folder and task store and saves pictures of it:
// lista.png (the list-file view), sistema.png (the system view) and menu.png (the whole screen with the
// context menu open). Usage: brio_screenshot <folder>
#include "MsgBox.h"
#include "SchedTrigger.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"
#include "TaskStore.h"
#include "frmAdmin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

void wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string entry(const std::string& name, const std::string& program, bool disabled,
                  const std::string& extra, const std::string& text) {
    const std::string d = disabled ? "1" : "0";
    return "<TAREA name=\"" + name + "\" applicationName=\"C:\\BRIO\\VELMORAX\\bin\\" + program +
           "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"\" selected=\"0\" disabled=\"" + d +
           "\" text=\"" + text + "\"" + extra + "><CONFIGURACION deleteWhenDone=\"0\" disabled=\"" + d +
           "\" hidden=\"0\"/></TAREA>";
}

void addTask(brio::TaskStore& store, const std::string& name, const std::string& program, int hour,
             bool off) {
    brio::SchedTaskPtr task = store.NewTask(name);
    task->setApplicationName(program);
    task->setFlags(off ? brio::taskflag::disabled : 0);
    brio::SchedTrigger& t = task->Triggers().Add();
    t.setTriggerType(brio::trigger::Daily);
    t.setBeginDay(brio::MakeDate(2026, 12, 8));
    t.setStartTime(brio::MakeDate(2026, 12, 8, hour, 30));
    task->Save();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    QDir().mkpath(out);

    QTemporaryDir temp;
    const std::filesystem::path root = temp.path().toStdString();
    const std::filesystem::path home = root / "programa", drive = root / "c", tasks = root / "tareas";
    ::setenv("BRIOSCHEDULE_DRIVES", ("C:=" + drive.string()).c_str(), 1);
    for (const char* program : {"cierre.exe", "copia.exe", "informes.exe", "harbinex.exe"})
        write(drive / "BRIO" / "VELMORAX" / "bin" / program, "");
    write(home / "TaskConfig.XML",
          "<TAREAS briopath=\"\">" +
              entry("Cierre diario", "cierre.exe", false, " StartTimeRandom=\"15\" Seleccion=\"1\"",
                    "A las 2:00 todos los días, a partir del 08/12/2026") +
              entry("Copia de seguridad", "copia.exe", true, " Seleccion=\"1\"",
                    "A las 3:00 el último vie de cada mes") +
              entry("Informes semanales", "informes.exe", false, " StartTimeRandom=\"5\"",
                    "A las 9:30 cada lun, mié de cada 2 semanas") +
              entry("Harbinex 01 (Central)", "harbinex.exe", false, "", "Al iniciar el sistema") +
              entry("Depuración", "depura.exe", false, "", "Cuando el equipo esté inactivo") + "</TAREAS>");
    write(home / "Seleccion.ini", "0\tCierre diario\r\n3\tFin de mes\r\n");

    brio::TaskStore store(tasks);
    store.Refresh();
    addTask(store, "Cierre diario", "/bin/sh", 2, false);
    addTask(store, "Limpieza temporales", "/usr/bin/find", 4, false);
    addTask(store, "Copia de seguridad", "/bin/tar", 3, true);
    addTask(store, "Programa ausente", "/opt/no-existe/run", 6, false);

    brio::MsgBox::setScripted(true);
    brio::frmAdmin window(home, brio::MakeTaskStoreFactory(tasks));
    window.show();
    wait(600);
    window.mnuSeleccionOP_Click(2); // apply "Cierre diario"
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
    for (const brio::MsgBox::Shown& shown : brio::MsgBox::log())
        std::cerr << "mensaje: " << shown.text.toStdString() << '\n';
    std::cout << (ok ? "capturas en " : "no se pudieron guardar las capturas en ") << out.toStdString()
              << '\n';
    return ok ? 0 : 1;
}
