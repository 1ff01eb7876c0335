// Modifying the selected task end to end: the window, the account, and the real property dialog.
#include "CommandFixture.h"
#include "ModalDriver.h"

#include "TaskPopupMenu.h"
#include "TaskPropertiesDialog.h"
#include "TriggerEditor.h"
#include "clsAdminTask.h"

#include <pugixml.hpp>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
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

// Every attribute of an entry, its configuration and its triggers, as "element.attribute=value" lines.
std::vector<std::string> EntryValues(const std::string& listText, const std::string& name) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(listText.c_str()));
    std::vector<std::string> values;
    const pugi::xml_node entry = doc.child("TAREAS").find_child_by_attribute("TAREA", "name", name.c_str());
    int element = 0;
    for (pugi::xml_node node = entry; node; node = node == entry ? node.first_child() : node.next_sibling()) {
        if (std::string_view(node.name()) == "TRIGGERS")
            node = node.first_child();
        if (!node)
            break;
        for (const pugi::xml_attribute a : node.attributes())
            values.push_back(std::to_string(element) + node.name() + "." + a.name() + "=" + a.value());
        ++element;
    }
    std::sort(values.begin(), values.end());
    return values;
}

TEST_F(ModifyCommandTest, AcceptingAnEntryUnchangedLeavesEveryValueAsItWasDespiteItsRandomRange) {
    // Entries made the program's own way: scheduler tasks imported, then given a random range.
    struct Case {
        const char* name;
        std::int32_t type;
    };
    const Case cases[] = {{"Una vez", trigger::Once},
                          {"Diaria", trigger::Daily},
                          {"Semanal", trigger::Weekly},
                          {"Mensual", trigger::MonthlyDate},
                          {"Mensual semana", trigger::MonthlyDOW}};
    NameList names;
    for (const Case& c : cases) {
        AddSystemTask(c.name, "/bin/true");
        TaskStore store(store_.path());
        store.Refresh();
        SchedTaskPtr task = store.Item(c.name);
        for (int hour : {2, 14}) { // two triggers of the type, at 2:00 and 14:00
            SchedTrigger& t = task->Triggers().Add();
            t.setTriggerType(c.type);
            t.setBeginDay(MakeDate(2026, 12, 1));
            t.setStartTime(MakeDate(2026, 12, 1, hour, 0));
            t.setWeekly_DaysOfTheWeek(2);
            t.setMonthlyDate_Day(1);
            t.setMonthlyDate_Months(4095);
            t.setMonthlyDOW_DaysOfTheWeek(2);
            t.setMonthlyDOW_Months(4095);
            t.setMonthlyDOW_Week(5);
        }
        task->Save();
        names.push_back(c.name);
    }
    {
        clsAdminTask admin(home_.path(), MakeTaskStoreFactory(store_.path()));
        WriteText(home_ / AdminListFile::kListFileName, "<TAREAS briopath=\"\"></TAREAS>");
        admin.Import(names);
        admin.XMLRandomTime(names, 15);
        admin.RemoveSystemTasks(names);
    }
    Open();
    AccountPrompt::queueAccount(kUser, kPassword);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = ListText();
        ASSERT_EQ(Attr(c.name, "StartTimeRandom"), "15");
        // Twice: the dialog shows the stored times, and the second showing finds them unchanged too.
        for (int round = 0; round < 2; ++round) {
            Select(c.name);
            QStringList shown;
            WhenModal<TaskPropertiesDialog> accept([&](TaskPropertiesDialog* d) {
                for (int i = 0; i < d->lstProgramaciones->count(); ++i)
                    shown << d->lstProgramaciones->item(i)->text();
                QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
            });
            Modify();
            ASSERT_TRUE(accept.ran());
            ASSERT_EQ(shown.size(), 2);
            EXPECT_TRUE(shown[0].contains("2:00")) << shown[0].toStdString();
            EXPECT_TRUE(shown[1].contains("14:00")) << shown[1].toStdString();
            EXPECT_EQ(EntryValues(ListText(), c.name), EntryValues(before, c.name));
        }
        EXPECT_TRUE(TakeShown().isEmpty());
    }
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
