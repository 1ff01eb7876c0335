#include "frmAdmin.h"

#include "AdminMenus.h"
#include "AdminToolbar.h"
#include "BusyCursor.h"
#include "CommandError.h"
#include "ListColumns.h"
#include "MsgBox.h"
#include "SelectionMarks.h"
#include "SelectionMenu.h"
#include "SystemMessages.h"
#include "TaskIconCache.h"
#include "TaskListFiller.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"
#include "TaskPropertiesDialog.h"
#include "UiResources.h"
#include "clsAdminTask.h"

#include "Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <iostream>

namespace brio {

namespace {
constexpr int px(int twips) {
    return TwipsToPixels(twips);
}

// Design measures in twips.
constexpr int kClientWidth = 10050;
constexpr int kClientHeight = 7230;
constexpr int kToolbarHeight = 540;
constexpr int kListLeft = 45;
constexpr int kListTop = 555;
constexpr int kBottomHeight = 15;
constexpr int kCerrarLeft = 5970, kCerrarTop = 60, kCerrarWidth = 1095, kCerrarHeight = 345;

const QString kTitleBrio = QStringLiteral("Tareas Programadas de Brio");
const QString kTitleSistema = QStringLiteral("Tareas Programadas del Sistema");
} // namespace

QSize frmAdmin::DesignClientSize() {
    return QSize(px(kClientWidth), px(kClientHeight));
}

frmAdmin::frmAdmin(std::filesystem::path programFolder, SchedBridgeFactory scheduler, QWidget* parent,
                   const Clock& clock)
    : QMainWindow(parent), programFolder_(std::move(programFolder)), scheduler_(std::move(scheduler)),
      clock_(clock) {
    InitUiResources();
    buildControls();
    connectMenus();
    qApp->installEventFilter(this); // the window sees its keys before its controls do
    editor_ = std::make_unique<TaskPropertiesEditor>(this, clock_);
    RegisterTaskEditor(editor_.get());
}

frmAdmin::~frmAdmin() {
    if (RegisteredTaskEditor() == editor_.get())
        RegisterTaskEditor(nullptr);
    if (qApp)
        qApp->removeEventFilter(this);
    // The list and its model draw from the image list, so they go before it.
    delete takeCentralWidget();
    delete model_;
}

void frmAdmin::buildControls() {
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("Tareas Programadas Brio"));
    setWindowIcon(QIcon(QStringLiteral(":/images/brioschedule.png")));
    // The layout is measured for an 8.25 pt font; the family stays the desktop's.
    QFont designFont = font();
    designFont.setPointSizeF(8.25);
    setFont(designFont);

    menus_ = new AdminMenus(menuBar());

    // The client area lays out its controls by the resize rule, not by a layout.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    toolbar_ = new AdminToolbar(client);
    toolbar_->setGeometry(0, 0, px(kClientWidth), px(kToolbarHeight));

    bottom_ = new QWidget(client);
    bottom_->setObjectName(QStringLiteral("pctBotones"));
    bottom_->setGeometry(0, px(kClientHeight - kBottomHeight), px(kClientWidth), px(kBottomHeight));
    close_ = new QPushButton(QStringLiteral("Cerrar"), bottom_);
    close_->setObjectName(QStringLiteral("cmdCerrar"));
    close_->setGeometry(px(kCerrarLeft), px(kCerrarTop), px(kCerrarWidth), px(kCerrarHeight));

    list_ = new TaskListView(client);
    list_->setObjectName(QStringLiteral("lvwTareas"));
    list_->setGeometry(px(kListLeft), px(kListTop), px(9930), px(6255));
    images_ =
        std::make_unique<TaskIconCache>(list_->palette().color(QPalette::Base), HostPaths::FromEnvironment());
    model_ = new TaskListModel(images_.get(), this);
    list_->setTaskModel(model_);
    filler_ = std::make_unique<TaskListFiller>(list_, model_, images_.get(), clock_);
    list_->FitColumnTo(TaskListModel::ColState, TaskListFiller::StateTexts());

    popup_ = new TaskPopupMenu(this);
    buildRunnerParts();

    client->installEventFilter(this);
    const QSize clientSize = DesignClientSize();
    resize(clientSize.width(),
           clientSize.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void frmAdmin::connectMenus() {
    AdminMenus& m = *menus_;
    connect(m.mnuTareasModificar, &QAction::triggered, this, [this] { mnuTareasModificar_Click(); });
    connect(m.mnuTareasRangoTiempo, &QAction::triggered, this, [this] { mnuTareasRangoTiempo_Click(); });
    connect(m.mnuTareasExportar, &QAction::triggered, this, [this] { mnuTareasExportar_Click(); });
    connect(m.mnuTareasImportar, &QAction::triggered, this, [this] { mnuTareasImportar_Click(); });
    connect(m.mnuTareasReparar, &QAction::triggered, this, [this] { mnuTareasReparar_Click(); });
    connect(m.mnuTareasNueva, &QAction::triggered, this, [this] { mnuTareasNueva_Click(); });
    connect(m.mnuSeleccionOP, &SelectionMenu::Clicked, this,
            [this](int index) { mnuSeleccionOP_Click(static_cast<std::int16_t>(index)); });
    connect(m.mnuVerActualizar, &QAction::triggered, this, [this] { mnuVerActualizar_Click(); });
    connect(m.mnuVerTareasBrio, &QAction::triggered, this, [this] { mnuVerTareasBrio_Click(); });
    connect(m.mnuVerTareasSistema, &QAction::triggered, this, [this] { mnuVerTareasSistema_Click(); });
    connect(m.mnuSalir, &QAction::triggered, this, [this] { mnuSalir_Click(); });

    TaskPopupMenu& p = *popup_;
    connect(p.mnuPopupHabilitarSeleccionada, &QAction::triggered, this,
            [this] { mnuPopupHabilitarSeleccionada_Click(); });
    connect(p.mnuPopupHabilitarTodas, &QAction::triggered, this, [this] { mnuPopupHabilitarTodas_Click(); });
    connect(p.mnuPopupDeshabilitarSeleccionada, &QAction::triggered, this,
            [this] { mnuPopupDeshabilitarSeleccionada_Click(); });
    connect(p.mnuPopupDeshabilitarTodas, &QAction::triggered, this,
            [this] { mnuPopupDeshabilitarTodas_Click(); });
    connect(p.mnuPopupEliminarBrio, &QAction::triggered, this, [this] { mnuPopupEliminarBrio_Click(); });
    connect(p.mnuPopupEliminarWindow, &QAction::triggered, this, [this] { mnuPopupEliminarWindow_Click(); });
    connect(p.mnuPopupModificar, &QAction::triggered, this, [this] { mnuPopupModificar_Click(); });
    connect(p.mnuPopupNuevaTarea, &QAction::triggered, this, [this] { mnuTareasNueva_Click(); });
    // mnuPopupCancelar only closes the menu.

    connect(toolbar_, &AdminToolbar::ButtonClick, this, &frmAdmin::Toolbar1_ButtonClick);
    connect(list_, &TaskListView::MouseUp, this, &frmAdmin::lvwTareas_MouseUp);
    connect(list_, &TaskListView::MenuKey, this, &frmAdmin::lvwTareas_MenuKey);
    connect(list_, &TaskListView::OpenRequested, this, [this] { mnuTareasModificar_Click(); });
    connect(list_, &TaskListView::DeleteRequested, this, [this] { lvwTareas_DeleteKey(); });
    // cmdCerrar has no action.
}

std::unique_ptr<clsAdminTask> frmAdmin::NewAdminTask() {
    auto admin = std::make_unique<clsAdminTask>(programFolder_, scheduler_);
    admin->setOwner(this);
    admin->setMessageSink(MsgBox::Sink(this));
    return admin;
}

// Start-up, frame and closing

void frmAdmin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void frmAdmin::Form_Load() {
    CentreOnScreen(this);
    mnuVerTareasBrio_Click();
    LoadSelections(); // after the first fill, which therefore never re-applies a saved selection
}

void frmAdmin::Form_Resize() {
    if (isMinimized())
        return;
    const QWidget* client = centralWidget();
    const int width = client->width();
    const int height = client->height();
    toolbar_->setGeometry(0, 0, width, px(kToolbarHeight));
    bottom_->setGeometry(0, height - px(kBottomHeight), width, px(kBottomHeight));
    // The list's left edge stays put, so its right edge lies beyond the client area, as designed.
    list_->setGeometry(px(kListLeft), px(kListTop), width,
                       std::max(0, height - (px(kListTop) + px(kBottomHeight))));
    close_->move(qRound(width - 1.1 * px(kCerrarWidth)), close_->y());
}

void frmAdmin::Form_KeyUp(int KeyCode, Qt::KeyboardModifiers Shift) {
    if (KeyCode == Qt::Key_G && (Shift & ~Qt::KeypadModifier) == Qt::ControlModifier)
        SaveSelection();
}

bool frmAdmin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && key->key() == Qt::Key_G &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            Form_KeyUp(key->key(), key->modifiers());
            return true;
        }
    } else if (event->type() == QEvent::Resize && watched == centralWidget()) {
        Form_Resize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmAdmin::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Coming back from the minimised state lays the controls out again.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

void frmAdmin::Form_QueryUnload() {
    // Pretty-printing the list file is a courtesy: a failure must never keep the program from ending.
    try {
        NewAdminTask()->FormatXML();
    } catch (const std::exception& e) {
        std::cerr << "brioschedule: " << ExceptionText(e) << '\n';
    } catch (...) {
    }
}

void frmAdmin::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    emit Unloaded();
}

void frmAdmin::mnuSalir_Click() {
    close();
}

// The two views

bool frmAdmin::IsBrioView() const {
    return menus_->mnuVerTareasBrio->isChecked();
}

void frmAdmin::ShowSchedulerWarnings(const std::vector<std::string>& warnings) {
    // Told once: the same unreadable files are not reported again at every refresh.
    if (warnings.empty() || warnings == shownWarnings_)
        return;
    shownWarnings_ = warnings;
    QString text = QStringLiteral("Algunas tareas del programador no se pueden leer y no se muestran:");
    for (const std::string& warning : warnings)
        text += QStringLiteral("\n") + QString::fromStdString(warning);
    MsgBox::show(this, text, QStringLiteral("Información"), MsgIcon::Exclamation, QMessageBox::Ok);
}

void frmAdmin::FillTaskList(const std::uint8_t& view) {
    std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    filler_->Fill(*admin, view);
    columns_->Refilled();
    if (view != 0)
        ShowSchedulerWarnings(admin->SchedulerWarnings());
    if (view == 0) {
        // The saved selection checked in the menu wins over the marks the records brought.
        if (const int entry = menus_->mnuSeleccionOP->FirstCheckedEntry(); entry >= 2)
            mnuSeleccionOP_Click(static_cast<std::int16_t>(entry));
    }
}

// A view switch: title, the items that differ between the views, then the fill, under the error report.
// The states set before a failing step stay.
void frmAdmin::SwitchView(std::uint8_t view) {
    AdminMenus& m = *menus_;
    const bool system = view != 0;
    RunReported(this, [&] {
        setWindowTitle(system ? kTitleSistema : kTitleBrio);
        toolbar_->lblTituloTarea->setText(windowTitle());
        m.mnuTareasImportar->setEnabled(system);
        m.mnuTareasExportar->setEnabled(!system);
        m.mnuVerTareasSistema->setChecked(system);
        m.mnuVerTareasBrio->setChecked(!system);
        m.mnuTareasReparar->setEnabled(system);
        m.mnuTareasNueva->setVisible(system);
        m.mnuTareasRangoTiempo->setEnabled(!system);
        toolbar_->Button(QLatin1String(AdminToolbar::kExportar))->setEnabled(!system);
        m.mnuTareasModificar->setEnabled(true);
        columns_->ShowView(system);
        FillTaskList(view);
    });
}

void frmAdmin::mnuVerTareasSistema_Click() {
    SwitchView(1);
}

void frmAdmin::mnuVerTareasBrio_Click() {
    SwitchView(0);
}

void frmAdmin::mnuVerActualizar_Click() {
    if (menus_->mnuVerTareasSistema->isChecked())
        mnuVerTareasSistema_Click();
    else
        mnuVerTareasBrio_Click();
}

// Marks and saved selections

void frmAdmin::mnuSeleccionOP_Click(std::int16_t Index) {
    SelectionMenu& entries = *menus_->mnuSeleccionOP;
    if (Index == 0) {
        BusyCursor busy;
        ToggleAllMarks();
        return;
    }
    if (Index < 2 || Index >= entries.Count())
        return;
    RunReported(this, [&] {
        BusyCursor busy;
        const std::int16_t mask = SelectionMarks::Mask(entries.Tag(Index));
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        SelectionMarks::Apply(*model_, *admin, mask);
        entries.MarkApplied(Index);
    });
}

void frmAdmin::ToggleAllMarks() {
    SelectionMarks::ToggleAll(*model_);
}

void frmAdmin::SaveSelection() {
    SelectionMenu& entries = *menus_->mnuSeleccionOP;
    const int current = entries.intCurrentSelection();
    if (current < 2)
        return; // no saved selection applied since start-up
    const bool saved = RunReported(this, [&] {
        BusyCursor busy;
        const std::int16_t mask = SelectionMarks::Mask(entries.Tag(current));
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        SelectionMarks::Save(*model_, *admin, mask);
    });
    if (saved)
        MsgBox::show(this,
                     QStringLiteral("Se ha salvado la seleccion ") + entries.Entry(current)->text() +
                         QStringLiteral(" con exito"),
                     QStringLiteral("Información"), MsgIcon::Information, QMessageBox::Ok);
}

void frmAdmin::LoadSelections() {
    menus_->mnuSeleccionOP->LoadSelections(programFolder_);
}

NameList frmAdmin::GetCheckedTaskNames() const {
    return SelectionMarks::CheckedNames(*model_);
}

// Context menu and toolbar

bool frmAdmin::PreparePopup() {
    if (model_->count() == 0 || list_->CurrentRow() < 0)
        return false;
    popup_->Prepare(list_->CurrentText(), IsBrioView());
    UpdateRunItems();
    return true;
}

void frmAdmin::lvwTareas_MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers /*Shift*/, QPoint globalPos) {
    if (Button != Qt::RightButton || !PreparePopup())
        return;
    // The chosen item's command runs once the menu has closed.
    popup_->popup(globalPos);
}

void frmAdmin::lvwTareas_MenuKey() {
    if (!PreparePopup())
        return;
    popup_->popup(list_->CurrentRowMenuPos());
}

void frmAdmin::Toolbar1_ButtonClick(QAction* Button) {
    const QString key = AdminToolbar::Key(Button);
    RunReported(this, [&] {
        if (key == QLatin1String(AdminToolbar::kExportar))
            ExportCheckedTasks();
        else if (key == QLatin1String(AdminToolbar::kHarbinex))
            GenerateLauncherTasks();
    });
}

// Menu items that only lead to a command

void frmAdmin::mnuPopupModificar_Click() {
    mnuTareasModificar_Click();
}

void frmAdmin::mnuTareasImportar_Click() {
    RunReported(this, [&] { ImportCheckedTasks(); });
}

void frmAdmin::mnuTareasExportar_Click() {
    RunReported(this, [&] { ExportCheckedTasks(); });
}

void frmAdmin::mnuTareasReparar_Click() {
    RepairTasks();
}

} // namespace brio
