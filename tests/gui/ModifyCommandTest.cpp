// Modifying the selected task end to end: the window, the account, and the real property dialog.
#include "CommandFixture.h"
#include "ModalDriver.h"

#include "TaskPopupMenu.h"
#include "TaskPropertiesDialog.h"
#include "TriggerEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace brio::test {

namespace {

class ModifyCommandTest : public CommandTest {
protected:
    void Modify() { window().menus().mnuTareasModificar->trigger(); }
};

TEST_F(ModifyCommandTest, InTheSystemViewTheDialogEditsTheSchedulerTask) {
    AddSystemTask("Copia", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("Copia");
    AccountPrompt::queueAccount(kUser, kPassword);
    WhenModal<TaskPropertiesDialog> edit([](TaskPropertiesDialog* d) {
        EXPECT_EQ(d->txtPrograma->text(), "/bin/true");
        d->txtPrograma->selectAll();
        QTest::keyClicks(d->txtPrograma, "/bin/date");
        QTest::mouseClick(d->chkHabilitada, Qt::LeftButton);
        QTest::mouseClick(d->cmdNuevaProgramacion, Qt::LeftButton);
        d->triggerEditor->spnDias->setValue(3);
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
    });
    Modify();
    ASSERT_TRUE(edit.ran());
    SchedTaskPtr task = StoreTask("Copia");
    EXPECT_EQ(task->ApplicationName(), "/bin/date");
    EXPECT_TRUE(task->Flags() & taskflag::disabled);
    ASSERT_EQ(task->Triggers().Count(), 1);
    EXPECT_EQ(task->Triggers().Item(1).Daily_Interval(), 3);
    EXPECT_EQ(Cell(0, TaskListModel::ColSchedule).find("cada 3 días") != std::string::npos, true)
        << Cell(0, TaskListModel::ColSchedule); // reloaded
    EXPECT_TRUE(TakeShown().isEmpty());

    // With the account stored the dialog opens at once; Cancelar changes nothing.
    Select("Copia");
    WhenModal<TaskPropertiesDialog> cancel([](TaskPropertiesDialog* d) {
        d->txtPrograma->setText("/bin/false");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    window().mnuPopup()->mnuPopupModificar->trigger();
    EXPECT_TRUE(cancel.ran());
    EXPECT_EQ(AccountPrompt::shownCount(), 1);
    EXPECT_EQ(StoreTask("Copia")->ApplicationName(), "/bin/date");
}

TEST_F(ModifyCommandTest, InTheListFileViewTheDialogEditsTheEntryThroughATemporaryTask) {
    WriteList(
        {{.name = "Copia", .selected = "1", .startTimeRandom = "15", .seleccion = "3"}, {.name = "Cierre"}});
    Open();
    Select("Copia");
    AccountPrompt::queueAccount(kUser, kPassword);
    WhenModal<TaskPropertiesDialog> edit([](TaskPropertiesDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Propiedades de la tarea Copia");
        EXPECT_TRUE(d->chkHabilitada->isChecked()) << "the entry's own state, not the copy's";
        EXPECT_EQ(d->txtUsuario->text(), kUser); // the temporary task runs as the stored account
        d->txtArgumentos->setText("/noche");
        QTest::mouseClick(d->cmdNuevaProgramacion, Qt::LeftButton);
        TriggerEditor& e = *d->triggerEditor;
        e.cboTipo->setCurrentIndex(e.cboTipo->findData(trigger::Weekly));
        for (QCheckBox* box : e.chkDiasSemana) // the type came with today's weekday
            box->setChecked(false);
        QTest::mouseClick(d->findChild<QCheckBox*>("chkLunes"), Qt::LeftButton);
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
    });
    Modify();
    ASSERT_TRUE(edit.ran());
    EXPECT_EQ(Attr("Copia", "commandLine"), "/noche");
    EXPECT_EQ(Attr("Copia", "disabled"), "0") << "OK with Habilitada untouched keeps the entry enabled";
    EXPECT_EQ(Attr("Copia", "StartTimeRandom"), "15");
    EXPECT_EQ(Attr("Copia", "selected"), "1");
    EXPECT_EQ(Attr("Copia", "Seleccion"), "3");
    EXPECT_NE(ListText().find("Weekly_DaysOfTheWeek=\"2\""), std::string::npos);
    EXPECT_TRUE(StoreNames().empty()); // no temporary task left, and the scheduler is not told
    EXPECT_EQ(Names(), (std::vector<std::string>{"Copia", "Cierre"})); // reloaded, in the list's order
    EXPECT_TRUE(TakeShown().isEmpty());

    // Unticking Habilitada disables the entry; Cancelar after any change leaves it as it was.
    Select("Copia");
    WhenModal<TaskPropertiesDialog> disable([](TaskPropertiesDialog* d) {
        QTest::mouseClick(d->chkHabilitada, Qt::LeftButton);
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
    });
    Modify();
    ASSERT_TRUE(disable.ran());
    EXPECT_EQ(Attr("Copia", "disabled"), "1");
    EXPECT_EQ(Cell(0, TaskListModel::ColState), "Deshabilitada");
    const std::string before = ListText();
    Select("Copia");
    WhenModal<TaskPropertiesDialog> cancel([](TaskPropertiesDialog* d) {
        EXPECT_FALSE(d->chkHabilitada->isChecked());
        d->chkHabilitada->setChecked(true);
        d->txtPrograma->setText("otro.sh");
        QTest::mouseClick(d->cmdCancelar, Qt::LeftButton);
    });
    Modify();
    ASSERT_TRUE(cancel.ran());
    EXPECT_EQ(ListText(), before);
    EXPECT_TRUE(StoreNames().empty());
}

TEST_F(ModifyCommandTest, NoCurrentRowOrACancelledAccountOpensNoDialog) {
    AddSystemTask("Copia", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("");
    WhenModal<TaskPropertiesDialog> never([](TaskPropertiesDialog* d) { d->reject(); });
    Modify();
    EXPECT_EQ(AccountPrompt::shownCount(), 0);
    Select("Copia");
    AccountPrompt::queueCancel();
    Modify();
    EXPECT_EQ(AccountPrompt::shownCount(), 1);
    QTest::qWait(20);
    EXPECT_FALSE(never.ran());
    EXPECT_TRUE(TakeShown().isEmpty());
}

TEST_F(ModifyCommandTest, AFailureIsReportedAndTheViewIsNotReloaded) {
    AddSystemTask("Efímera", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("Efímera");
    ASSERT_TRUE(std::filesystem::remove(store_ / "Efímera.job"));
    AccountPrompt::queueAccount(kUser, kPassword);
    Modify();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("Error 9 ("));
    EXPECT_EQ(Names(), std::vector<std::string>{"Efímera"});
}

} // namespace

} // namespace brio::test
