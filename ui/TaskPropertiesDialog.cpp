#include "TaskPropertiesDialog.h"

#include "AccountPrompt.h"
#include "BrioError.h"
#include "CommandError.h"
#include "MsgBox.h"
#include "NextRunsPreview.h"
#include "RunHistoryView.h"
#include "RunnerLink.h"
#include "TriggerEditor.h"

#include <QCheckBox>
#include <QDate>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace brio {

namespace {

struct FlagCaption {
    std::int32_t bit;
    const char* object;
    const char* text;
};

// Every task flag the dialog edits but hidden (kept as it is) and disabled (the Habilitada box).
constexpr FlagCaption kFlags[] = {
    {taskflag::interactive, "chkInteractiva",
     "Permitir que la tarea se muestre en el escritorio del usuario"},
    {taskflag::deleteWhenDone, "chkEliminarAlTerminar",
     "Eliminar la tarea cuando no le quede ninguna ejecución programada"},
    {taskflag::startOnlyIfIdle, "chkSoloInactivo", "Iniciar la tarea solo si el equipo está inactivo"},
    {taskflag::killOnIdleEnd, "chkDetenerAlSalirInactividad",
     "Detener la tarea si el equipo deja de estar inactivo"},
    {taskflag::restartOnIdleResume, "chkReanudarInactivo",
     "Volver a iniciar la tarea cuando el equipo vuelva a estar inactivo"},
    {taskflag::dontStartIfOnBatteries, "chkNoIniciarBaterias",
     "No iniciar la tarea si el equipo funciona con baterías"},
    {taskflag::killIfGoingOnBatteries, "chkDetenerBaterias",
     "Detener la tarea si el equipo pasa a funcionar con baterías"},
    {taskflag::runOnlyIfDocked, "chkSoloAcoplado", "Ejecutar solo si el equipo está acoplado"},
    {taskflag::runIfConnectedToInternet, "chkSoloInternet", "Ejecutar solo si hay conexión a Internet"},
    {taskflag::systemRequired, "chkActivarEquipo", "Activar el equipo para ejecutar la tarea"},
    {taskflag::runOnlyIfLoggedOn, "chkSoloConSesion", "Ejecutar solo si el usuario ha iniciado sesión"},
};

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A new trigger: every day at 9:00, from `today`.
SchedTrigger newTrigger(const QDate& today) {
    SchedTrigger t;
    t.setTriggerType(trigger::Daily);
    t.setBeginDay(MakeDate(today.year(), today.month(), today.day()));
    t.setStartTime(MakeDate(today.year(), today.month(), today.day(), 9, 0));
    t.setDaily_Interval(1);
    return t;
}

} // namespace

TaskPropertiesDialog::TaskPropertiesDialog(SchedTask& task, QWidget* parent, const TaskStandIn* standIn,
                                           const Clock& clock)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), task_(task),
      clock_(clock), standIn_(standIn != nullptr),
      chosenEnabled_(standIn ? standIn->enabled : (task.Flags() & taskflag::disabled) == 0),
      triggers_(task.Triggers().items()) {
    setObjectName(QStringLiteral("TaskPropertiesDialog"));
    setWindowTitle(QStringLiteral("Propiedades de la tarea ") +
                   fromStd(standIn ? standIn->name : task.Name()));
    setModal(true);

    auto* main = new QVBoxLayout(this);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    // Made first: the task page's last run follows it. A list entry shows the runs of its task in the
    // store, when the runner has recorded any.
    const std::string historyName = standIn ? standIn->name : task.Name();
    const StateFolder state = RunnerStateFolder();
    const std::vector<std::string> recorded = standIn_ ? state.Names() : std::vector<std::string>{};
    if (!standIn_ || std::find(recorded.begin(), recorded.end(), historyName) != recorded.end())
        historyView = new RunHistoryView(state, historyName, this);
    tabs->addTab(buildTaskPage(), QStringLiteral("Tarea"));
    tabs->addTab(buildSchedulePage(), QStringLiteral("Programación"));
    tabs->addTab(buildSettingsPage(), QStringLiteral("Configuración"));
    if (historyView)
        tabs->addTab(historyView, QStringLiteral("Historial"));
    main->addWidget(tabs);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setDefault(true);
    cmdCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    buttons->addWidget(cmdAceptar);
    buttons->addWidget(cmdCancelar);
    main->addLayout(buttons);

    connect(cmdAceptar, &QPushButton::clicked, this, [this] { cmdAceptar_Click(); });
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);

    refreshTriggerList();
    selectTrigger(triggers_.empty() ? -1 : 0);
    connect(chkHabilitada, &QCheckBox::toggled, this, [this] { showNextRuns(); });
    showNextRuns();
    fitToContent();
}

void TaskPropertiesDialog::showNextRuns() {
    const std::int32_t flags =
        chkHabilitada->isChecked() ? task_.Flags() & ~taskflag::disabled : task_.Flags() | taskflag::disabled;
    nextRuns->Show(triggers_, flags);
}

void TaskPropertiesDialog::fitToContent() {
    // Sized once, for the largest trigger type, so that a type change never moves the buttons; on a
    // screen too low for that the trigger part scrolls instead.
    const QSize editor = triggerEditor->LargestSizeHint();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrTrigger);
    const auto relayout = [this] {
        for (QWidget* w = scrTrigger; w && w != this; w = w->parentWidget())
            w->updateGeometry();
        layout()->invalidate();
        layout()->activate();
    };
    scrTrigger->setMinimumSize(editor.width() + bar, editor.height());
    relayout();
    const QSize wanted = sizeHint();
    scrTrigger->setMinimumHeight(std::min(editor.height(), 3 * fontMetrics().height()));
    relayout();
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    // The title bar and frame are the window manager's; their room is kept free as well.
    const int frame = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 8;
    const int room = screen ? screen->availableGeometry().height() - frame : wanted.height();
    setMaximumHeight(std::max(minimumSizeHint().height(), room));
    resize(wanted.width(), std::min(wanted.height(), maximumHeight()));
}

QWidget* TaskPropertiesDialog::buildTaskPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    txtPrograma = new QLineEdit(fromStd(task_.ApplicationName()), page);
    txtPrograma->setObjectName(QStringLiteral("txtPrograma"));
    txtArgumentos = new QLineEdit(fromStd(task_.Parameters()), page);
    txtArgumentos->setObjectName(QStringLiteral("txtArgumentos"));
    txtIniciarEn = new QLineEdit(fromStd(task_.WorkingDirectory()), page);
    txtIniciarEn->setObjectName(QStringLiteral("txtIniciarEn"));
    txtUsuario = new QLineEdit(fromStd(task_.AccountName()), page);
    txtUsuario->setObjectName(QStringLiteral("txtUsuario"));
    chkHabilitada =
        new QCheckBox(QStringLiteral("Habilitada (la tarea se ejecuta a la hora programada)"), page);
    chkHabilitada->setObjectName(QStringLiteral("chkHabilitada"));
    chkHabilitada->setChecked(chosenEnabled_);
    form->addRow(QStringLiteral("Ejecutar:"), txtPrograma);
    form->addRow(QStringLiteral("Argumentos:"), txtArgumentos);
    form->addRow(QStringLiteral("Iniciar en:"), txtIniciarEn);
    form->addRow(QStringLiteral("Ejecutar como:"), txtUsuario);
    form->addRow(chkHabilitada);
    if (!standIn_)
        form->addRow(QStringLiteral("Última ejecución:"), buildRunRow(page));
    return page;
}

QWidget* TaskPropertiesDialog::buildRunRow(QWidget* page) {
    auto* row = new QWidget(page);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    lblUltimaEjecucion = new QLabel(LastRunText(task_.Name()), row);
    lblUltimaEjecucion->setObjectName(QStringLiteral("lblUltimaEjecucion"));
    lblUltimaEjecucion->setWordWrap(true);
    cmdEjecutarAhora = new QPushButton(QStringLiteral("Ejecutar ahora"), row);
    cmdEjecutarAhora->setObjectName(QStringLiteral("cmdEjecutarAhora"));
    layout->addWidget(lblUltimaEjecucion, 1);
    layout->addWidget(cmdEjecutarAhora);
    connect(cmdEjecutarAhora, &QPushButton::clicked, this, [this] { cmdEjecutarAhora_Click(); });
    // The last run follows the runner's records while the dialog is open.
    connect(historyView, &RunHistoryView::Reloaded, lblUltimaEjecucion,
            [this] { lblUltimaEjecucion->setText(LastRunText(task_.Name())); });
    return row;
}

void TaskPropertiesDialog::cmdEjecutarAhora_Click() {
    // The runner takes the request within a second; the busy pointer shows while it is asked.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const RunRequestAnswer answer = AskRunnerToRun(task_.Name());
    QGuiApplication::restoreOverrideCursor();
    if (answer.asked)
        lblUltimaEjecucion->setText(answer.text);
    else
        MsgBox::show(this, answer.text, QStringLiteral("Información"), MsgIcon::Exclamation, QMessageBox::Ok);
}

QWidget* TaskPropertiesDialog::buildSchedulePage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    lstProgramaciones = new QListWidget(page);
    lstProgramaciones->setObjectName(QStringLiteral("lstProgramaciones"));
    lstProgramaciones->setMaximumHeight(90);
    auto* listButtons = new QHBoxLayout;
    cmdNuevaProgramacion = new QPushButton(QStringLiteral("Nueva"), page);
    cmdNuevaProgramacion->setObjectName(QStringLiteral("cmdNuevaProgramacion"));
    cmdEliminarProgramacion = new QPushButton(QStringLiteral("Eliminar"), page);
    cmdEliminarProgramacion->setObjectName(QStringLiteral("cmdEliminarProgramacion"));
    listButtons->addStretch();
    listButtons->addWidget(cmdNuevaProgramacion);
    listButtons->addWidget(cmdEliminarProgramacion);
    lblProgramacion = new QLabel(page);
    lblProgramacion->setObjectName(QStringLiteral("lblProgramacion"));
    lblProgramacion->setWordWrap(true);
    triggerEditor = new TriggerEditor(page, clock_);
    triggerEditor->setObjectName(QStringLiteral("triggerEditor"));
    layout->addWidget(lstProgramaciones);
    layout->addLayout(listButtons);
    layout->addWidget(lblProgramacion);
    scrTrigger = new QScrollArea(page);
    scrTrigger->setObjectName(QStringLiteral("scrTrigger"));
    scrTrigger->setWidgetResizable(true);
    scrTrigger->setFrameShape(QFrame::NoFrame);
    scrTrigger->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrTrigger->setWidget(triggerEditor);
    layout->addWidget(scrTrigger, 1);
    nextRuns = new NextRunsPreview(page, clock_);
    layout->addWidget(nextRuns);

    connect(lstProgramaciones, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row != current_)
            selectTrigger(row);
    });
    connect(cmdNuevaProgramacion, &QPushButton::clicked, this, [this] { AddTrigger(); });
    connect(cmdEliminarProgramacion, &QPushButton::clicked, this, [this] { RemoveTrigger(); });
    connect(triggerEditor, &TriggerEditor::changed, this, [this] { triggerEdited(); });
    return page;
}

QWidget* TaskPropertiesDialog::buildSettingsPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    for (const FlagCaption& f : kFlags) {
        auto* box = new QCheckBox(QString::fromUtf8(f.text), page);
        box->setObjectName(QString::fromLatin1(f.object));
        box->setChecked((task_.Flags() & f.bit) != 0);
        layout->addWidget(box);
        chkFlags.emplace_back(f.bit, box);
    }
    layout->addStretch();
    return page;
}

void TaskPropertiesDialog::refreshTriggerList() {
    const QSignalBlocker block(lstProgramaciones);
    lstProgramaciones->clear();
    for (std::size_t i = 0; i < triggers_.size(); ++i)
        lstProgramaciones->addItem(QStringLiteral("%1. ").arg(i + 1) + fromStd(triggers_[i].Text()));
    if (current_ >= 0)
        lstProgramaciones->setCurrentRow(current_);
    showNextRuns();
}

void TaskPropertiesDialog::selectTrigger(int index) {
    current_ = index;
    const bool any = index >= 0 && index < static_cast<int>(triggers_.size());
    triggerEditor->setEnabled(any);
    cmdEliminarProgramacion->setEnabled(any);
    if (!any) {
        current_ = -1;
        lblProgramacion->setText(QStringLiteral("La tarea no tiene ninguna programación."));
        return;
    }
    triggerEditor->setTrigger(triggers_[static_cast<std::size_t>(index)]);
    lblProgramacion->setText(fromStd(triggers_[static_cast<std::size_t>(index)].Text()));
    const QSignalBlocker block(lstProgramaciones);
    lstProgramaciones->setCurrentRow(index);
}

void TaskPropertiesDialog::triggerEdited() {
    if (current_ < 0)
        return;
    SchedTrigger& t = triggers_[static_cast<std::size_t>(current_)];
    t = triggerEditor->trigger();
    const QString text = fromStd(t.Text());
    lblProgramacion->setText(text);
    if (QListWidgetItem* item = lstProgramaciones->item(current_))
        item->setText(QStringLiteral("%1. ").arg(current_ + 1) + text);
    showNextRuns();
}

void TaskPropertiesDialog::AddTrigger() {
    triggers_.push_back(newTrigger(LocalDay(clock_.Now())));
    current_ = static_cast<int>(triggers_.size()) - 1;
    refreshTriggerList();
    selectTrigger(current_);
}

void TaskPropertiesDialog::RemoveTrigger() {
    if (current_ < 0)
        return;
    triggers_.erase(triggers_.begin() + current_);
    const int next = std::min(current_, static_cast<int>(triggers_.size()) - 1);
    current_ = -1;
    refreshTriggerList();
    selectTrigger(next);
}

void TaskPropertiesDialog::refuse(const QString& text, QWidget* focus) {
    MsgBox::show(this, text, QStringLiteral("Error"), MsgIcon::Exclamation, QMessageBox::Ok);
    if (focus)
        focus->setFocus();
}

void TaskPropertiesDialog::cmdAceptar_Click() {
    // Nothing is written until every value has been accepted.
    for (std::size_t i = 0; i < triggers_.size(); ++i) {
        const QString why = TriggerEditor::Validate(triggers_[i]);
        if (why.isEmpty())
            continue;
        tabs->setCurrentIndex(1);
        selectTrigger(static_cast<int>(i));
        refuse(QStringLiteral("La programación %1 no es válida: ").arg(i + 1) + why, triggerEditor);
        return;
    }

    if (txtPrograma->text().trimmed().isEmpty()) {
        tabs->setCurrentIndex(0);
        refuse(QStringLiteral("Escriba el programa que ejecutará la tarea."), txtPrograma);
        return;
    }

    const QString user = txtUsuario->text();
    if (user != fromStd(task_.AccountName())) {
        if (user.isEmpty()) {
            tabs->setCurrentIndex(0);
            refuse(QStringLiteral("Escriba el usuario con el que se ejecutará la tarea."), txtUsuario);
            return;
        }
        // A new user needs its password, checked by the host's logon.
        const std::optional<Account> account = AccountPrompt::Ask({}, user);
        if (!account)
            return;
        try {
            task_.SetAccountInformation(account->user, account->pwd.str());
        } catch (const BrioError& e) {
            tabs->setCurrentIndex(0);
            MsgBox::show(this, QString::fromStdString(e.report()), QStringLiteral("Error"), MsgIcon::Critical,
                         QMessageBox::Ok);
            txtUsuario->setFocus();
            return;
        }
        txtUsuario->setText(fromStd(account->user));
    }

    task_.setApplicationName(txtPrograma->text().toStdString());
    task_.setParameters(txtArgumentos->text().toStdString());
    task_.setWorkingDirectory(txtIniciarEn->text().toStdString());
    std::int32_t flags = task_.Flags();
    for (const auto& [bit, box] : chkFlags)
        flags = box->isChecked() ? flags | bit : flags & ~bit;
    chosenEnabled_ = chkHabilitada->isChecked();
    if (!standIn_) // a stand-in stays disabled in the scheduler whatever the entry's state
        flags = chosenEnabled_ ? flags & ~taskflag::disabled : flags | taskflag::disabled;
    task_.setFlags(flags);
    task_.Triggers().items() = triggers_;
    accept();
}

bool TaskPropertiesEditor::Edit(SchedTask& task, QObject* owner) {
    QWidget* parent = qobject_cast<QWidget*>(owner);
    TaskPropertiesDialog dialog(task, parent ? parent : window_, nullptr, clock_);
    return dialog.exec() == QDialog::Accepted;
}

bool TaskPropertiesEditor::EditStandIn(SchedTask& task, QObject* owner, TaskStandIn& standIn) {
    QWidget* parent = qobject_cast<QWidget*>(owner);
    TaskPropertiesDialog dialog(task, parent ? parent : window_, &standIn, clock_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    standIn.enabled = dialog.ChosenEnabled();
    return true;
}

} // namespace brio
