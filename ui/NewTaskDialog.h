#pragma once

#include "AccountPrompt.h"
#include "DraftTask.h"
#include "HostPaths.h"
#include "TaskPropertiesDialog.h"

#include <functional>
#include <optional>

namespace brio {

// The task property dialog on a new task: a name field above the program, and "Examinar…" beside
// "Ejecutar:". Aceptar refuses a name the scheduler would refuse or already has and a program on no drive,
// asks for the account the way export does when "Ejecutar como:" is empty, then checks the rest as the
// property dialog does.
class NewTaskDialog : public TaskPropertiesDialog {
    Q_OBJECT
public:
    // `account` gives the account to run the task as (the window's stored one, asked for when there is
    // none); nothing when the person cancelled.
    NewTaskDialog(DraftTask& task, SchedBridgeFactory scheduler, HostPaths drives,
                  std::function<std::optional<Account>()> account, QWidget* parent = nullptr);

    QLineEdit* txtNombre;
    QPushButton* cmdExaminar;

    void cmdExaminar_Click();
    void cmdAceptarNueva_Click();

private:
    DraftTask& draft_;
    SchedBridgeFactory scheduler_;
    HostPaths drives_;
    std::function<std::optional<Account>()> account_;
};

} // namespace brio
