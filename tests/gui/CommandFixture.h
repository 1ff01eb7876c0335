#pragma once

#include "AccountPrompt.h"
#include "AdminMenus.h"
#include "MsgBox.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskStore.h"
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>

#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace brio::test {

// The accounts the host's logon (a pam_wrapper test service) accepts in the command tests.
inline constexpr const char* kUser = "operador";
inline constexpr const char* kPassword = "Clave-única-1";

// Replaces the test service's accounts ("user:password:brioschedule" lines); the next logon check reads
// them. Defined in the test program's main.
void SetPamAccounts(const std::vector<std::string>& lines);
// The accounts the test program starts with.
std::vector<std::string> DefaultPamAccounts();

// The window with scripted boxes and a scripted account dialog.
class CommandTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        AccountPrompt::setScripted(true);
        SetPamAccounts(DefaultPamAccounts());
    }
    void TearDown() override {
        WindowTest::TearDown();
        AccountPrompt::setScripted(true);
    }

    // Makes the row of that name current (selected); "" clears the current row.
    void Select(const std::string& name) {
        const int row = name.empty() ? -1 : window().tasks()->RowOfKey(QString::fromStdString(name));
        ASSERT_TRUE(name.empty() || row >= 0) << name;
        window().lvwTareas()->SetCurrentRow(row);
    }
    void Check(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            const int row = window().tasks()->RowOfKey(QString::fromStdString(name));
            ASSERT_GE(row, 0) << name;
            window().tasks()->SetChecked(row, true);
        }
    }
    // The export's success message on a store no runner works on, as this user is told it.
    static QString ExportedWithoutRunner() {
        return QStringLiteral(
                   "Las tareas fueron exportadas con exito.\n\nAviso: no hay ningún ejecutor para sus "
                   "tareas: systemctl ") +
               (::geteuid() == 0 ? QString() : QStringLiteral("--user ")) +
               QStringLiteral("start brioschedule-runner");
    }
    // The boxes shown since the last call, then the log is cleared.
    QList<MsgBox::Shown> TakeShown() {
        QList<MsgBox::Shown> shown = MsgBox::log();
        MsgBox::clearLog();
        return shown;
    }
    // A task of the store, read afresh; nullptr when there is none of that name.
    SchedTaskPtr StoreTask(const std::string& name) {
        TaskStore store(store_.path());
        store.Refresh();
        for (int i = 1; i <= store.Count(); ++i) {
            SchedTaskPtr task = store.Item(i);
            if (task->Name() == name)
                return task;
        }
        return nullptr;
    }
    std::vector<std::string> StoreNames() {
        TaskStore store(store_.path());
        store.Refresh();
        std::vector<std::string> names;
        for (int i = 1; i <= store.Count(); ++i)
            names.push_back(store.Item(i)->Name());
        return names;
    }
    // Stores the account in the window through its first command that asks for one (an import of
    // nothing would not ask): the dialog is answered with the test account.
    void StoreAccountByImport(const std::string& systemTask) {
        window().mnuVerTareasSistema_Click();
        Check({systemTask});
        MsgBox::queueAnswer(QMessageBox::Yes);
        AccountPrompt::queueAccount(kUser, kPassword);
        window().menus().mnuTareasImportar->trigger();
        ASSERT_EQ(window().StoredUser(), kUser);
        MsgBox::clearLog();
    }
};

} // namespace brio::test
