#include "WindowFixture.h"

#include "AdminListFile.h"
#include "AdminMenus.h"
#include "SelectionMenu.h"
#include "TaskListModel.h"
#include "TaskStore.h"

#include <QAction>
#include <QSettings>

namespace brio::test {

namespace {
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}
} // namespace

std::string ListEntryXml(const ListEntry& e) {
    std::string xml = "<TAREA name=\"" + escape(e.name) + "\" applicationName=\"" + escape(e.program) +
                      "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"\" selected=\"" +
                      e.selected + "\" disabled=\"" + e.disabled + "\"";
    if (!e.text.empty())
        xml += " text=\"" + escape(e.text) + "\"";
    if (e.startTimeRandom)
        xml += " StartTimeRandom=\"" + *e.startTimeRandom + "\"";
    if (e.seleccion)
        xml += " Seleccion=\"" + *e.seleccion + "\"";
    xml += "><CONFIGURACION deleteWhenDone=\"0\" disabled=\"" + e.disabled + "\" hidden=\"" +
           (e.hidden ? "1" : "0") + "\"/></TAREA>";
    return xml;
}

WindowTest::WindowTest()
    : drives_("BRIOSCHEDULE_DRIVES", "C:=" + drive_.path().string()),
      stateEnv_("BRIOSCHEDULE_STATE", runnerStateDir_.path().string()) {}

void WindowTest::SetUp() {
    MsgBox::setScripted(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((home_ / "settings").string()));
}

void WindowTest::TearDown() {
    window_.reset();
}

std::string WindowTest::Program(const std::string& file) {
    WriteText(drive_.path() / "BRIO" / "VELMORAX" / "bin" / file, "#!/bin/sh\n");
    return "C:\\BRIO\\VELMORAX\\bin\\" + file;
}

void WindowTest::WriteList(const std::vector<ListEntry>& entries) {
    std::string xml = "<TAREAS briopath=\"\">";
    for (ListEntry e : entries) {
        if (e.program.empty())
            e.program = Program("run.exe");
        xml += ListEntryXml(e);
    }
    xml += "</TAREAS>";
    WriteText(home_ / AdminListFile::kListFileName, xml);
}

void WindowTest::WriteSelections(const std::string& bytes) {
    WriteText(home_ / "Seleccion.ini", bytes);
}

void WindowTest::AddSystemTask(const std::string& name, const std::string& program, bool disabled) {
    TaskStore store(store_.path());
    store.Refresh();
    SchedTaskPtr task = store.NewTask(name);
    task->setApplicationName(program);
    task->setFlags(disabled ? taskflag::disabled : 0);
    task->Save();
}

frmAdmin& WindowTest::Open() {
    window_ = std::make_unique<frmAdmin>(home_.path(), MakeTaskStoreFactory(store_.path()));
    window_->show();
    return *window_;
}

std::vector<std::string> WindowTest::Names() const {
    std::vector<std::string> names;
    const TaskListModel& m = *window_->tasks();
    for (int r = 0; r < m.count(); ++r)
        names.push_back(m.row(r).name.toStdString());
    return names;
}

std::vector<std::string> WindowTest::CheckedNames() const {
    return window_->GetCheckedTaskNames();
}

std::string WindowTest::Cell(int row, int column) const {
    const TaskListModel& m = *window_->tasks();
    return m.data(m.index(row, column), Qt::DisplayRole).toString().toStdString();
}

std::string WindowTest::Attr(const std::string& name, const std::string& attr) const {
    AdminListFile list(home_.path());
    return list.GetXMLAttr(name, attr);
}

std::vector<std::string> WindowTest::TakeMessages() {
    std::vector<std::string> texts;
    for (const MsgBox::Shown& s : MsgBox::log())
        texts.push_back(s.text.toStdString());
    MsgBox::clearLog();
    return texts;
}

std::string WindowTest::ListText() const {
    return ReadText(home_ / AdminListFile::kListFileName);
}

QAction* WindowTest::SelectionEntry(int index) const {
    return window_->menus().mnuSeleccionOP->Entry(index);
}

} // namespace brio::test
