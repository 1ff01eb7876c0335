// Deleting the selected task: the question, the answer, and what goes from the list file and the scheduler.
#include "CommandFixture.h"

#include "TaskPopupMenu.h"

namespace brio::test {

namespace {

class DeleteCommandTest : public CommandTest {
protected:
    TaskPopupMenu& popup() { return *window().mnuPopup(); }
    bool Listed(const std::string& name) {
        return ListText().find("name=\"" + name + "\"") != std::string::npos;
    }
};

TEST_F(DeleteCommandTest, OnlyFromTheListAsksThenRemovesTheEntryAndKeepsTheSchedulerTask) {
    WriteList({{.name = "Copia"}, {.name = "Cierre"}});
    AddSystemTask("Copia", "/bin/true");
    Open();
    Select("Copia");
    popup().mnuPopupEliminarBrio->trigger(); // answered No: the most cautious answer
    auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text,
              "La tarea [Copia] será eliminada del listado de tareas de brio.\r\n¿Desea Continuar?");
    EXPECT_EQ(shown[0].title, "Confirmación");
    EXPECT_EQ(shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(Listed("Copia"));

    MsgBox::queueAnswer(QMessageBox::Yes);
    popup().mnuPopupEliminarBrio->trigger();
    EXPECT_FALSE(Listed("Copia"));
    EXPECT_TRUE(Listed("Cierre"));
    EXPECT_NE(StoreTask("Copia"), nullptr);
    EXPECT_EQ(Names(), std::vector<std::string>{"Cierre"});
    EXPECT_EQ(TakeShown().size(), 1); // the question only
}

TEST_F(DeleteCommandTest, FromWindowsInTheListFileViewRemovesBoth) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Copia", "/bin/true");
    Open();
    Select("Copia");
    MsgBox::queueAnswer(QMessageBox::Yes);
    popup().mnuPopupEliminarWindow->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text,
              "La tarea [Copia] será eliminada de WINDOWS y  del listado de tareas de brio.\r\n"
              "¿Desea Continuar?");
    EXPECT_FALSE(Listed("Copia"));
    EXPECT_EQ(StoreTask("Copia"), nullptr);
    EXPECT_TRUE(Names().empty());
}

TEST_F(DeleteCommandTest, FromWindowsInTheSystemViewKeepsTheListEntry) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Copia", "/bin/true");
    AddSystemTask("Otra", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("Copia");
    popup().mnuPopupEliminarWindow->trigger(); // No
    EXPECT_NE(StoreTask("Copia"), nullptr);
    MsgBox::queueAnswer(QMessageBox::Yes);
    popup().mnuPopupEliminarWindow->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].text, "La tarea [Copia] será eliminada de WINDOWS\r\n¿Desea Continuar?");
    EXPECT_EQ(StoreTask("Copia"), nullptr);
    EXPECT_TRUE(Listed("Copia"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Otra"}); // the system view, reloaded
}

TEST_F(DeleteCommandTest, AnEmptyListOrNoCurrentRowDoesNothing) {
    Open();
    popup().mnuPopupEliminarBrio->trigger();
    popup().mnuPopupEliminarWindow->trigger();
    WriteList({{.name = "Copia"}});
    window().mnuVerActualizar_Click();
    Select("");
    popup().mnuPopupEliminarBrio->trigger();
    popup().mnuPopupEliminarWindow->trigger();
    EXPECT_TRUE(TakeShown().isEmpty());
    EXPECT_TRUE(Listed("Copia"));
}

TEST_F(DeleteCommandTest, FromBothPlacesAnEntryNeverExportedLeavesTheListAndSaysSoWithoutAnError) {
    WriteList({{.name = "Copia"}, {.name = "Cierre"}});
    AddSystemTask("Otra", "/bin/true");
    Open();
    Select("Copia");
    MsgBox::queueAnswer(QMessageBox::Yes);
    popup().mnuPopupEliminarWindow->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].text, "La tarea [Copia] no estaba en las tareas de WINDOWS: se ha eliminado solo del "
                             "listado de tareas de brio.");
    EXPECT_EQ(shown[1].title, "Información");
    EXPECT_EQ(shown[1].icon, MsgIcon::Information);
    EXPECT_FALSE(Listed("Copia"));
    EXPECT_EQ(Names(), std::vector<std::string>{"Cierre"});
    EXPECT_EQ(StoreNames(), std::vector<std::string>{"Otra"});
}

} // namespace

} // namespace brio::test
