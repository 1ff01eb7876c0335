// The random start range typed for the checked list entries.
#include "CommandFixture.h"

namespace brio::test {

namespace {

class RangeCommandTest : public CommandTest {
protected:
    // Types `text` in the input box and returns the boxes shown.
    QList<MsgBox::Shown> Range(const QString& text) {
        MsgBox::queueInput(text);
        window().menus().mnuTareasRangoTiempo->trigger();
        return TakeShown();
    }
};

TEST_F(RangeCommandTest, TheNumberTypedIsReadLikeANumberAndRoundedToEven) {
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "C"}});
    AddSystemTask("A", "/bin/true");
    Open();
    const std::string rndShown = Cell(0, TaskListModel::ColRnd);
    Check({"A", "C"});
    const auto shown = Range("15");
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].kind, MsgBox::Shown::Input);
    EXPECT_EQ(shown[0].text, "Entre la cantidad de minutos que desea variar las tareas seleccionadas.");
    EXPECT_EQ(shown[0].title, MsgBox::AppTitle());
    EXPECT_EQ(shown[1].text, "Operacion realizada con exito.");
    EXPECT_EQ(shown[1].title, "Información");
    EXPECT_EQ(shown[1].icon, MsgIcon::Information);
    EXPECT_EQ(Attr("A", "StartTimeRandom"), "15");
    EXPECT_EQ(Attr("B", "StartTimeRandom"), "");
    EXPECT_EQ(Attr("C", "StartTimeRandom"), "15");
    EXPECT_TRUE(StoreTask("A")->Triggers().items().empty()); // the scheduler is not touched

    const std::pair<const char*, const char*> cases[] = {{"15 min", "15"}, {"abc", "0"},   {"2.5", "2"},
                                                         {"3.5", "4"},     {"-10", "-10"}, {" 7", "7"}};
    for (const auto& [typed, stored] : cases) {
        Range(typed);
        EXPECT_EQ(Attr("A", "StartTimeRandom"), stored) << typed;
    }
    EXPECT_EQ(Cell(0, TaskListModel::ColRnd), rndShown); // the list is not reloaded
}

TEST_F(RangeCommandTest, ANumberBeyond16BitsIsAnOverflowAndNothingIsStored) {
    WriteList({{.name = "A", .startTimeRandom = "5"}});
    Open();
    Check({"A"});
    const auto shown = Range("40000");
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].text.left(17), "Error 6 (Desborda");
    EXPECT_EQ(shown[1].icon, MsgIcon::Critical);
    EXPECT_EQ(Attr("A", "StartTimeRandom"), "5");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RangeCommandTest, NothingCheckedOrACancelledBoxShowsNoMore) {
    WriteList({{.name = "A"}});
    Open();
    window().menus().mnuTareasRangoTiempo->trigger();
    auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Deben seleccionarse las tareas que se desean modificar.");
    EXPECT_EQ(shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(shown[0].title, "Información");

    Check({"A"});
    window().menus().mnuTareasRangoTiempo->trigger(); // cancelled: no queued text
    EXPECT_EQ(TakeShown().size(), 1);                 // the input box only
    EXPECT_EQ(Range("").size(), 1);                   // OK with nothing typed
    EXPECT_EQ(Attr("A", "StartTimeRandom"), "");
}

} // namespace

} // namespace brio::test
