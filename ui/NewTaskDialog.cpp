#include "NewTaskDialog.h"

#include "BrioError.h"
#include "MsgBox.h"
#include "ProgramBrowser.h"
#include "TaskName.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace brio {

NewTaskDialog::NewTaskDialog(DraftTask& task, SchedBridgeFactory scheduler, HostPaths drives,
                             std::function<std::optional<Account>()> account, QWidget* parent)
    : TaskPropertiesDialog(task, parent), draft_(task), scheduler_(std::move(scheduler)),
      drives_(std::move(drives)), account_(std::move(account)) {
    setObjectName(QStringLiteral("NewTaskDialog"));
    setWindowTitle(QStringLiteral("Nueva tarea"));
    auto* form = qobject_cast<QFormLayout*>(txtPrograma->parentWidget()->layout());
    int row = 0;
    QFormLayout::ItemRole role{};
    form->getWidgetPosition(txtPrograma, &row, &role);

    // "Examinar…" beside the program, in the row the program had.
    auto* program = new QWidget(txtPrograma->parentWidget());
    auto* line = new QHBoxLayout(program);
    line->setContentsMargins(0, 0, 0, 0);
    cmdExaminar = new QPushButton(QStringLiteral("Examinar…"), program);
    cmdExaminar->setObjectName(QStringLiteral("cmdExaminar"));
    form->removeWidget(txtPrograma);
    line->addWidget(txtPrograma, 1);
    line->addWidget(cmdExaminar);
    form->setWidget(row, QFormLayout::FieldRole, program);

    txtNombre = new QLineEdit(program->parentWidget());
    txtNombre->setObjectName(QStringLiteral("txtNombre"));
    form->insertRow(0, QStringLiteral("Nombre:"), txtNombre);
    // A task not yet made has no run to tell and cannot be started.
    if (lblUltimaEjecucion)
        form->setRowVisible(lblUltimaEjecucion->parentWidget(), false);

    AddTrigger();
    tabs->setCurrentIndex(0);
    txtNombre->setFocus();
    disconnect(cmdAceptar, &QPushButton::clicked, nullptr, nullptr);
    connect(cmdAceptar, &QPushButton::clicked, this, [this] { cmdAceptarNueva_Click(); });
    connect(cmdExaminar, &QPushButton::clicked, this, [this] { cmdExaminar_Click(); });
}

void NewTaskDialog::cmdExaminar_Click() {
    if (const std::optional<QString> chosen = ProgramBrowser::Choose(this, drives_, txtPrograma->text())) {
        txtPrograma->setText(*chosen);
        // The program's folder is where it starts, unless one was written already.
        if (txtIniciarEn->text().isEmpty())
            txtIniciarEn->setText(chosen->left(chosen->lastIndexOf(QLatin1Char('\\'))));
    }
}

void NewTaskDialog::cmdAceptarNueva_Click() {
    const auto refuse = [this](const QString& text, QWidget* focus) {
        tabs->setCurrentIndex(0);
        MsgBox::show(this, text, QStringLiteral("Error"), MsgIcon::Exclamation, QMessageBox::Ok);
        focus->setFocus();
    };
    const std::string name = txtNombre->text().toStdString();
    if (const std::string problem = TaskNameProblem(name); !problem.empty())
        return refuse(QStringLiteral("El nombre no es válido: ") + QString::fromStdString(problem) +
                          QStringLiteral("."),
                      txtNombre);
    if (scheduler_ && scheduler_()->Find(name))
        return refuse(QStringLiteral("Ya existe una tarea llamada «") + txtNombre->text() +
                          QStringLiteral("»."),
                      txtNombre);
    const QString program = txtPrograma->text().trimmed();
    if (!program.isEmpty() && !drives_.ToHost(program.toStdString()))
        return refuse(QStringLiteral("El programa «") + program +
                          QStringLiteral("» está en una unidad que el mapa de unidades no tiene."),
                      txtPrograma);
    draft_.setName(name);

    // With no user written, the task runs as the account export gives its tasks.
    if (txtUsuario->text().isEmpty()) {
        const std::optional<Account> account = account_ ? account_() : std::nullopt;
        if (!account)
            return;
        try {
            draft_.SetAccountInformation(account->user, account->pwd.str());
        } catch (const BrioError& e) {
            return refuse(QString::fromStdString(e.report()), txtUsuario);
        }
        txtUsuario->setText(QString::fromStdString(account->user));
    }
    cmdAceptar_Click();
}

} // namespace brio
