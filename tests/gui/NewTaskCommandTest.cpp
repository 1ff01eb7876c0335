// "Nueva tarea…" of the system view: the property dialog on a new task, the account as export asks for
// it, and the task stored in the scheduler.
#include "CommandFixture.h"

#include "ModalDriver.h"
#include "NewTaskDialog.h"
#include "ProgramBrowser.h"
#include "TaskPopupMenu.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace brio::test {

namespace {

class NewTaskCommandTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ProgramBrowser::setScripted(true);
    }
    void TearDown() override {
        ProgramBrowser::setScripted(false);
        CommandTest::TearDown();
    }
};

TEST_F(NewTaskCommandTest, OnlyTheSystemViewOffersItAndTheHiddenCrearStaysInert) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Cierre", Program("cierre.exe"));
    Open();
    AdminMenus& m = window().menus();
    EXPECT_FALSE(m.mnuTareasNueva->isVisible());
    EXPECT_EQ(m.mnuTareasNueva->text(), "Nueva tarea…");
    m.mnuVerTareasSistema->trigger();
    EXPECT_TRUE(m.mnuTareasNueva->isVisible());
    Select("Cierre");
    ASSERT_TRUE(window().PreparePopup());
    EXPECT_TRUE(window().mnuPopup()->mnuPopupNuevaTarea->isVisible());

    EXPECT_FALSE(m.mnuTareasCrear->isVisible());
    m.mnuTareasCrear->trigger();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(StoreNames(), (std::vector<std::string>{"Cierre"}));
    m.mnuVerTareasBrio->trigger();
    Select("Copia");
    ASSERT_TRUE(window().PreparePopup());
    EXPECT_FALSE(window().mnuPopup()->mnuPopupNuevaTarea->isVisible());
}

TEST_F(NewTaskCommandTest, AceptarRefusesBadNamesAsksForTheAccountAndStoresTheTask) {
    AddSystemTask("Cierre", Program("cierre.exe"));
    const std::string program = Program("nueva.exe");
    Open();
    window().menus().mnuVerTareasSistema->trigger();
    ProgramBrowser::queueChoice(drive_ / "BRIO/VELMORAX/bin/nueva.exe");
    AccountPrompt::queueAccount(kUser, kPassword);

    QStringList refusals;
    const auto press = [&](NewTaskDialog* d) {
        MsgBox::clearLog();
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
        refusals << (MsgBox::log().isEmpty() ? QString() : MsgBox::log().back().text);
    };
    WhenModal<NewTaskDialog> driver([&](NewTaskDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Nueva tarea");
        QTest::mouseClick(d->cmdExaminar, Qt::LeftButton);
        EXPECT_EQ(d->txtPrograma->text().toStdString(), program);
        EXPECT_EQ(d->txtIniciarEn->text(), "C:\\BRIO\\VELMORAX\\bin");
        d->txtNombre->setText(QStringLiteral("a/b"));
        press(d);
        d->txtNombre->setText(QStringLiteral("CIERRE"));
        press(d);
        d->txtNombre->setText(QStringLiteral("Nueva"));
        d->txtPrograma->setText(QStringLiteral("Q:\\nueva.exe"));
        press(d);
        d->txtPrograma->setText(QString::fromStdString(program));
        press(d);
    });
    window().menus().mnuTareasNueva->trigger();
    ASSERT_TRUE(driver.ran());
    ASSERT_EQ(refusals.size(), 4);
    EXPECT_TRUE(refusals[0].startsWith("El nombre no es válido: ")) << refusals[0].toStdString();
    EXPECT_EQ(refusals[1], "Ya existe una tarea llamada «CIERRE».");
    EXPECT_EQ(refusals[2],
              "El programa «Q:\\nueva.exe» está en una unidad que el mapa de unidades no tiene.");
    EXPECT_EQ(refusals[3], "");
    EXPECT_EQ(AccountPrompt::shownCount(), 1);

    EXPECT_EQ(StoreNames(), (std::vector<std::string>{"Cierre", "Nueva"}));
    const SchedTaskPtr task = StoreTask("Nueva");
    EXPECT_EQ(task->ApplicationName(), program);
    EXPECT_EQ(task->AccountName(), kUser);
    ASSERT_EQ(task->Triggers().Count(), 1);
    EXPECT_EQ(task->Triggers().Item(1).TriggerType(), trigger::Daily);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Cierre", "Nueva"}));

    // The stored account serves the next new task without asking again.
    WhenModal<NewTaskDialog> again([&](NewTaskDialog* d) {
        d->txtNombre->setText(QStringLiteral("Otra"));
        d->txtPrograma->setText(QString::fromStdString(program));
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
    });
    window().menus().mnuTareasNueva->trigger();
    EXPECT_EQ(AccountPrompt::shownCount(), 1); // asked once for the window's life, as export does
    EXPECT_EQ(StoreTask("Otra")->AccountName(), kUser);
}

} // namespace

} // namespace brio::test
