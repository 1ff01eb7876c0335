// The task property dialog on a task of the store: what it shows, what Aceptar writes, and the values it
// refuses.
#include "CommandFixture.h"

#include "TaskPropertiesDialog.h"
#include "TriggerEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>

namespace brio::test {

namespace {

class TaskPropertiesDialogTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        store_.Refresh();
        task_ = store_.NewTask("Copia");
        task_->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\copia.exe");
        task_->setParameters("/todo");
        task_->setWorkingDirectory("C:\\BRIO");
        task_->setFlags(taskflag::hidden | taskflag::runOnlyIfLoggedOn);
        SchedTrigger& t = task_->Triggers().Add();
        t.setTriggerType(trigger::Daily);
        t.setBeginDay(MakeDate(2026, 12, 8));
        t.setStartTime(MakeDate(2026, 12, 8, 2, 0));
        t.setDaily_Interval(1);
        before_ = task_->Triggers();
    }
    // The editor's control of that name.
    template <typename W> W* Control(TaskPropertiesDialog& d, const char* name) {
        W* w = d.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Presses Aceptar and tells whether the dialog accepted; the refusal shown, if any, in `refusal`.
    bool Accept(TaskPropertiesDialog& d, QString* refusal = nullptr) {
        MsgBox::clearLog();
        QTest::mouseClick(d.cmdAceptar, Qt::LeftButton);
        if (refusal)
            *refusal = MsgBox::log().isEmpty() ? QString() : MsgBox::log().back().text;
        return d.result() == QDialog::Accepted;
    }

    TaskStore store_{CommandTest::store_.path()};
    SchedTaskPtr task_;
    SchedTriggers before_;
};

TEST_F(TaskPropertiesDialogTest, ShowsTheTaskAndWritesEveryEditOnAceptar) {
    TaskPropertiesDialog d(*task_);
    EXPECT_EQ(d.txtPrograma->text(), "C:\\BRIO\\VELMORAX\\bin\\copia.exe");
    EXPECT_EQ(d.txtArgumentos->text(), "/todo");
    EXPECT_EQ(d.txtIniciarEn->text(), "C:\\BRIO");
    EXPECT_TRUE(d.chkHabilitada->isChecked());
    EXPECT_EQ(d.chkFlags.size(), 11u); // with Habilitada, the twelve flags other than hidden
    EXPECT_TRUE(Control<QCheckBox>(d, "chkSoloConSesion")->isChecked());
    EXPECT_EQ(d.lblProgramacion->text(), "A las 2:00 todos los días, a partir del 08/12/2026");
    EXPECT_EQ(d.lstProgramaciones->count(), 1);

    d.txtPrograma->setText("C:\\BRIO\\VELMORAX\\bin\\otra.exe");
    d.txtArgumentos->setText("/parcial");
    d.chkHabilitada->setChecked(false);
    Control<QCheckBox>(d, "chkSoloConSesion")->setChecked(false);
    Control<QCheckBox>(d, "chkSoloInactivo")->setChecked(true);
    // The first trigger becomes weekly on Monday and Friday at 7:30, every 2 weeks.
    TriggerEditor& e = *d.triggerEditor;
    e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::Weekly));
    EXPECT_EQ(d.lblProgramacion->text(), "A las 2:00 cada mar de cada semana, a partir del 08/12/2026");
    Control<QCheckBox>(d, "chkMartes")->setChecked(false);
    Control<QCheckBox>(d, "chkLunes")->setChecked(true);
    Control<QCheckBox>(d, "chkViernes")->setChecked(true);
    e.spnSemanas->setValue(2);
    e.tmeHora->setTime(QTime(7, 30));
    EXPECT_EQ(d.lblProgramacion->text(),
              "A las 7:30 cada lun, vie de cada 2 semanas, a partir del 08/12/2026");
    EXPECT_EQ(d.lstProgramaciones->item(0)->text(), "1. " + d.lblProgramacion->text());
    // A second trigger: the last Sunday of January and July.
    QTest::mouseClick(d.cmdNuevaProgramacion, Qt::LeftButton);
    EXPECT_EQ(d.lstProgramaciones->count(), 2);
    e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::MonthlyDOW));
    e.cboSemana->setCurrentIndex(e.cboSemana->findData(5));
    for (QCheckBox* box : e.chkDiasSemana) // the type came with the start day's weekday and every month
        box->setChecked(false);
    for (QCheckBox* box : e.chkMeses)
        box->setChecked(false);
    Control<QCheckBox>(d, "chkDomingo")->setChecked(true);
    Control<QCheckBox>(d, "chkMes1")->setChecked(true);
    Control<QCheckBox>(d, "chkMes7")->setChecked(true);
    e.chkRepetir->setChecked(true);
    e.spnCada->setValue(30);
    e.spnDuracion->setValue(120);
    e.chkFechaFin->setChecked(true);
    e.dteInicio->setDate(QDate(2027, 1, 1));
    e.dteFin->setDate(QDate(2027, 12, 31));

    ASSERT_TRUE(Accept(d));
    EXPECT_EQ(task_->ApplicationName(), "C:\\BRIO\\VELMORAX\\bin\\otra.exe");
    EXPECT_EQ(task_->Parameters(), "/parcial");
    EXPECT_EQ(task_->Flags(), taskflag::hidden | taskflag::disabled | taskflag::startOnlyIfIdle);
    ASSERT_EQ(task_->Triggers().Count(), 2);
    const SchedTrigger& weekly = task_->Triggers().Item(1);
    EXPECT_EQ(weekly.TriggerType(), trigger::Weekly);
    EXPECT_EQ(weekly.Weekly_DaysOfTheWeek(), 2 | 32);
    EXPECT_EQ(weekly.Weekly_Interval(), 2);
    EXPECT_EQ(weekly.StartTime().time(), QTime(7, 30));
    EXPECT_EQ(weekly.Daily_Interval(), 1); // a field the type does not show keeps its value
    const SchedTrigger& monthly = task_->Triggers().Item(2);
    EXPECT_EQ(monthly.Text(),
              "A las 9:00 el último dom de ene, jul, cada 30 minutos durante 2 horas, a partir del "
              "01/01/2027, hasta el 31/12/2027");
    EXPECT_EQ(monthly.Flags(), triggerflag::hasEndDate);
}

TEST_F(TaskPropertiesDialogTest, CancelarChangesNothing) {
    TaskPropertiesDialog d(*task_);
    d.txtPrograma->setText("otra");
    d.chkHabilitada->setChecked(false);
    d.triggerEditor->spnDias->setValue(5);
    QTest::mouseClick(d.cmdEliminarProgramacion, Qt::LeftButton);
    EXPECT_EQ(d.lstProgramaciones->count(), 0);
    EXPECT_FALSE(d.triggerEditor->isEnabled());
    QTest::mouseClick(d.cmdCancelar, Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(task_->ApplicationName(), "C:\\BRIO\\VELMORAX\\bin\\copia.exe");
    EXPECT_EQ(task_->Flags(), taskflag::hidden | taskflag::runOnlyIfLoggedOn);
    EXPECT_EQ(task_->Triggers(), before_);
}

TEST_F(TaskPropertiesDialogTest, ValuesTheTypeCannotHoldAreRefusedAndNeverStored) {
    struct Case {
        const char* what;
        std::function<void(TaskPropertiesDialog&, TriggerEditor&)> edit;
        const char* refusal;
    };
    const Case cases[] = {
        {"every 0 days", [](auto&, TriggerEditor& e) { e.spnDias->setValue(0); }, "cada 1 día o más"},
        {"weekly with no day",
         [this](auto& d, TriggerEditor& e) {
             e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::Weekly));
             Control<QCheckBox>(d, "chkMartes")->setChecked(false);
         },
         "al menos un día de la semana"},
        {"monthly with no day",
         [this](auto& d, TriggerEditor& e) {
             e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::MonthlyDate));
             Control<QCheckBox>(d, "chkDiaMes8")->setChecked(false);
         },
         "al menos un día del mes"},
        {"monthly with no month",
         [](auto&, TriggerEditor& e) {
             e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::MonthlyDate));
             for (QCheckBox* month : e.chkMeses)
                 month->setChecked(false);
         },
         "al menos un mes"},
        {"interval beyond the duration",
         [](auto&, TriggerEditor& e) {
             e.chkRepetir->setChecked(true);
             e.spnCada->setValue(90);
             e.spnDuracion->setValue(60);
         },
         "no puede ser mayor que la duración"},
        {"end before start",
         [](auto&, TriggerEditor& e) {
             e.chkFechaFin->setChecked(true);
             e.dteFin->setDate(QDate(2026, 12, 7));
         },
         "no puede ser anterior a la fecha de inicio"},
        {"no user", [](auto& d, TriggerEditor&) { d.txtUsuario->setText(""); }, "Escriba el usuario"},
        {"no program", [](auto& d, TriggerEditor&) { d.txtPrograma->setText("  "); }, "Escriba el programa"},
    };
    task_->SetAccountInformation(kUser, kPassword);
    for (const Case& c : cases) {
        TaskPropertiesDialog d(*task_);
        d.txtPrograma->setText("cambiado");
        c.edit(d, *d.triggerEditor);
        QString refusal;
        EXPECT_FALSE(Accept(d, &refusal)) << c.what;
        EXPECT_TRUE(refusal.contains(QString::fromUtf8(c.refusal)))
            << c.what << ": " << refusal.toStdString();
        EXPECT_EQ(MsgBox::log().back().title, "Error");
        EXPECT_EQ(task_->ApplicationName(), "C:\\BRIO\\VELMORAX\\bin\\copia.exe") << c.what;
        EXPECT_EQ(task_->Triggers(), before_) << c.what;
    }
}

// Another type starts from the begin day (Tuesday 08/12/2026): never "ningún día" or "(semana 0)".
TEST_F(TaskPropertiesDialogTest, ChoosingATypeFillsSoundDefaultsAndTheDialogKeepsItsSizeWithinTheScreen) {
    struct Case {
        std::int32_t type;
        const char* text;
    };
    const Case cases[] = {
        {trigger::Weekly, "A las 2:00 cada mar de cada semana, a partir del 08/12/2026"},
        {trigger::MonthlyDate, "A las 2:00 el día 8 de cada mes, a partir del 08/12/2026"},
        {trigger::MonthlyDOW, "A las 2:00 el primer mar de cada mes, a partir del 08/12/2026"},
        {trigger::Once, "A las 2:00 el 08/12/2026"},
    };
    // The test screen is low (600 pixels here): the dialog's buttons must stay on it.
    const int available = QGuiApplication::primaryScreen()->availableGeometry().height();
    TaskPropertiesDialog d(*task_);
    d.show();
    d.tabs->setCurrentIndex(1);
    TriggerEditor& e = *d.triggerEditor;
    const QSize daily = d.size();
    EXPECT_LE(d.height(), available);
    for (const Case& c : cases) {
        e.cboTipo->setCurrentIndex(e.cboTipo->findData(c.type));
        QApplication::processEvents();
        EXPECT_EQ(d.lblProgramacion->text(), QString::fromUtf8(c.text)) << c.type;
        EXPECT_TRUE(TriggerEditor::Validate(e.trigger()).isEmpty()) << c.type;
        if (c.type == trigger::MonthlyDOW) {
            EXPECT_EQ(e.cboSemana->currentText(), "primer");
        }
        EXPECT_EQ(d.size(), daily) << c.type;
        EXPECT_LE(d.cmdAceptar->geometry().bottom(), d.height()) << c.type;
        // The editor is never squeezed: what does not fit scrolls.
        EXPECT_GE(e.height(), e.minimumSizeHint().height()) << c.type;
        // An end date never set shows the start date.
        EXPECT_EQ(e.dteFin->date(), QDate(2026, 12, 8));
    }
    e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::Daily));
    EXPECT_EQ(d.size(), daily);
    ASSERT_TRUE(Accept(d));
    EXPECT_EQ(task_->Triggers().Item(1).Daily_Interval(), 1);
}

// The stand-in of a list entry: the entry's name and state are shown, the copy stays disabled.
TEST_F(TaskPropertiesDialogTest, AStandInShowsTheEntryAndStaysDisabled) {
    task_->setFlags(taskflag::disabled);
    for (const bool entryEnabled : {true, false}) {
        const TaskStandIn standIn{"Copia de seguridad", entryEnabled};
        TaskPropertiesDialog d(*task_, nullptr, &standIn);
        EXPECT_EQ(d.windowTitle(), "Propiedades de la tarea Copia de seguridad");
        EXPECT_EQ(d.chkHabilitada->isChecked(), entryEnabled);
        d.chkHabilitada->setChecked(!entryEnabled);
        ASSERT_TRUE(Accept(d));
        EXPECT_EQ(d.ChosenEnabled(), !entryEnabled);
        EXPECT_EQ(task_->Flags(), taskflag::disabled);
    }
}

TEST_F(TaskPropertiesDialogTest, AStoredValueOutsideTheRangeShowsAsItIsAndIsRefused) {
    task_->Triggers().Item(1).setDaily_Interval(-3);
    TaskPropertiesDialog d(*task_);
    EXPECT_EQ(d.triggerEditor->spnDias->value(), -3); // never silently clamped
    QString refusal;
    EXPECT_FALSE(Accept(d, &refusal));
    EXPECT_TRUE(refusal.startsWith("La programación 1 no es válida: "));
}

TEST_F(TaskPropertiesDialogTest, ANewUserAsksForItsPasswordAndIsCheckedOnAceptar) {
    TaskPropertiesDialog d(*task_);
    EXPECT_EQ(d.txtUsuario->text(), "");
    d.txtUsuario->setText("otro");
    // The password prompt cancelled: the dialog stays open, nothing written.
    AccountPrompt::queueCancel();
    EXPECT_FALSE(Accept(d));
    EXPECT_EQ(AccountPrompt::lastInitialUser(), "otro");
    EXPECT_EQ(task_->AccountName(), "");
    // A wrong password is refused by the prompt's own check, then the right one is taken.
    AccountPrompt::queueAccount("otro", "mala");
    AccountPrompt::queueAccount("otro", "Otra-clave-2");
    d.txtPrograma->setText("cambiado");
    EXPECT_TRUE(Accept(d));
    EXPECT_EQ(task_->AccountName(), "otro");
    EXPECT_EQ(task_->ApplicationName(), "cambiado");
}

TEST_F(TaskPropertiesDialogTest, AnUnchangedUserIsNotAskedFor) {
    task_->SetAccountInformation(kUser, kPassword);
    TaskPropertiesDialog d(*task_);
    EXPECT_EQ(d.txtUsuario->text(), kUser);
    EXPECT_TRUE(Accept(d));
    EXPECT_EQ(AccountPrompt::shownCount(), 0);
}

} // namespace

} // namespace brio::test
