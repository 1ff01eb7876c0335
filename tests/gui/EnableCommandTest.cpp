// Enabling and disabling the selected task or the checked ones, in both views.
#include "CommandFixture.h"

#include "TaskPopupMenu.h"

namespace brio::test {

namespace {

class EnableCommandTest : public CommandTest {
protected:
    TaskPopupMenu& popup() { return *window().mnuPopup(); }
    bool StoreDisabled(const std::string& name) {
        SchedTaskPtr task = StoreTask(name);
        return task && (task->Flags() & taskflag::disabled) != 0;
    }
};

TEST_F(EnableCommandTest, SelectedTaskInTheListFileViewChangesOnlyItsEntryAndReloads) {
    WriteList({{.name = "Copia"}, {.name = "Cierre", .disabled = "1"}});
    AddSystemTask("Copia", "/bin/true");
    Open();
    Select("Copia");
    // A new entry written meanwhile shows only after a reload.
    WriteList({{.name = "Copia"}, {.name = "Cierre", .disabled = "1"}, {.name = "Nueva"}});
    popup().mnuPopupDeshabilitarSeleccionada->trigger();
    EXPECT_EQ(Attr("Copia", "disabled"), "1");
    EXPECT_FALSE(StoreDisabled("Copia")); // the scheduler is not told
    EXPECT_EQ(Names().size(), 3u);

    Select("Cierre");
    popup().mnuPopupHabilitarSeleccionada->trigger();
    EXPECT_EQ(Attr("Cierre", "disabled"), "0"); // "0", never a removed attribute
    EXPECT_NE(ListText().find("name=\"Cierre\""), std::string::npos);
    EXPECT_TRUE(TakeShown().isEmpty()); // no question, no success message
}

TEST_F(EnableCommandTest, SelectedTaskInTheSystemViewChangesOnlyTheSchedulerTask) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Copia", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("Copia");
    popup().mnuPopupDeshabilitarSeleccionada->trigger();
    EXPECT_TRUE(StoreDisabled("Copia"));
    EXPECT_EQ(Attr("Copia", "disabled"), "0");
    Select("Copia");
    popup().mnuPopupHabilitarSeleccionada->trigger();
    EXPECT_FALSE(StoreDisabled("Copia"));
}

TEST_F(EnableCommandTest, SelectedTaskThatFailsIsReportedAndTheViewStaysAsItWas) {
    AddSystemTask("Efímera", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Select("Efímera");
    ASSERT_TRUE(std::filesystem::remove(store_ / "Efímera.job"));
    popup().mnuPopupDeshabilitarSeleccionada->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("Error 9 ("));
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(shown[0].title, MsgBox::AppTitle());
    EXPECT_EQ(Names(), std::vector<std::string>{"Efímera"}); // not reloaded
}

TEST_F(EnableCommandTest, WithoutACurrentRowNothingHappens) {
    WriteList({{.name = "Copia", .disabled = "1"}});
    Open();
    Select("");
    WriteList({{.name = "Copia", .disabled = "1"}, {.name = "Nueva"}});
    popup().mnuPopupHabilitarSeleccionada->trigger();
    EXPECT_EQ(Attr("Copia", "disabled"), "1");
    EXPECT_EQ(Names().size(), 1u); // no reload
    EXPECT_TRUE(TakeShown().isEmpty());
}

TEST_F(EnableCommandTest, CheckedTasksChangeInListOrderAndTheViewReloadsEvenWithNoneChecked) {
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "C"}});
    Open();
    Check({"A", "C"});
    popup().mnuPopupDeshabilitarTodas->trigger();
    EXPECT_EQ(Attr("A", "disabled"), "1");
    EXPECT_EQ(Attr("B", "disabled"), "0");
    EXPECT_EQ(Attr("C", "disabled"), "1");

    window().tasks()->SetAllChecked(false);
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "C"}, {.name = "D"}});
    popup().mnuPopupHabilitarTodas->trigger();
    EXPECT_EQ(Attr("A", "disabled"), "0"); // the new file, untouched: nothing was checked
    EXPECT_EQ(Names().size(), 4u);         // reloaded all the same
    EXPECT_TRUE(TakeShown().isEmpty());
}

TEST_F(EnableCommandTest, AFailureInTheMiddleKeepsEarlierChangesAndStillReloads) {
    AddSystemTask("A", "/bin/true");
    AddSystemTask("B", "/bin/true");
    AddSystemTask("C", "/bin/true");
    Open();
    window().mnuVerTareasSistema_Click();
    Check({"A", "B", "C"});
    ASSERT_TRUE(std::filesystem::remove(store_ / "B.job"));
    popup().mnuPopupDeshabilitarTodas->trigger();
    EXPECT_TRUE(StoreDisabled("A"));
    EXPECT_FALSE(StoreDisabled("C")); // the walk ended at B
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("Error 9 ("));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C"})); // reloaded after the report
}

} // namespace

} // namespace brio::test
