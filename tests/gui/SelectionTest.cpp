// Check marks in bulk and saved selections: loading Seleccion.ini, applying, saving with Ctrl+G.
#include "WindowFixture.h"

#include "AdminMenus.h"
#include "SelectionMarks.h"
#include "SelectionMenu.h"
#include "TaskListModel.h"
#include "TaskListView.h"

#include <QAction>
#include <QTest>

#include <sys/stat.h>

namespace brio::test {

using SelectionTest = WindowTest;

namespace {
std::vector<ListEntry> named(std::initializer_list<std::pair<const char*, const char*>> nameAndBits) {
    std::vector<ListEntry> entries;
    for (const auto& [name, bits] : nameAndBits) {
        ListEntry e{.name = name};
        if (bits)
            e.seleccion = bits;
        entries.push_back(e);
    }
    return entries;
}
} // namespace

TEST_F(SelectionTest, MarkAllChecksWhenFewerThanHalfAreChecked) {
    struct Case {
        int rows;
        std::vector<int> checked;
        bool expectAll; // all checked after, else none
    };
    const std::vector<Case> cases{
        {1, {}, false},  // 0 is not less than 1 / 2 = 0
        {2, {}, true},   // 0 < 1
        {2, {0}, false}, // 1 is not less than 1
        {3, {1}, false}, // 1 is not less than 3 / 2 = 1
        {3, {}, true},   {4, {0, 3}, false},
    };
    for (const Case& c : cases) {
        std::vector<ListEntry> entries;
        for (int r = 0; r < c.rows; ++r)
            entries.push_back({.name = "T" + std::to_string(r)});
        WriteList(entries);
        frmAdmin& w = Open();
        for (int r : c.checked)
            w.tasks()->SetChecked(r, true);
        SelectionEntry(0)->trigger();
        EXPECT_EQ(w.tasks()->CheckedCount(), c.expectAll ? c.rows : 0) << c.rows << " rows";
        EXPECT_FALSE(SelectionEntry(0)->isChecked());
        EXPECT_EQ(w.menus().mnuSeleccionOP->intCurrentSelection(), 0);
    }
    WriteList({});
    frmAdmin& w = Open();
    SelectionEntry(0)->trigger(); // an empty list: nothing to do
    EXPECT_EQ(w.tasks()->count(), 0);
}

TEST_F(SelectionTest, CtrlEMarksAll) {
    WriteList(named({{"A", nullptr}, {"B", nullptr}}));
    frmAdmin& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(w.lvwTareas(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(SelectionTest, LoadsOneEntryPerLineAndShowsTheSeparator) {
    // Windows-1252 bytes: "Revisión" with 0xF3; the third field is ignored, lines end in CR LF or CR.
    WriteSelections("0\tPrimera\r\n  3xyz\tCierre diario\tignorado\r2\tRevisi\xF3n\r\n");
    Open();
    SelectionMenu& menu = *window().menus().mnuSeleccionOP;
    ASSERT_EQ(menu.Count(), 5);
    EXPECT_TRUE(menu.Entry(1)->isVisible());
    EXPECT_EQ(menu.Entry(2)->text(), "Primera");
    EXPECT_EQ(menu.Entry(3)->text(), "Cierre diario");
    EXPECT_EQ(menu.Tag(3), "3");
    EXPECT_EQ(SelectionMarks::Mask(menu.Tag(3)), 8);
    EXPECT_EQ(menu.Entry(4)->text(), QString::fromUtf8("Revisión"));
    for (int i = 2; i < 5; ++i) {
        EXPECT_TRUE(menu.Entry(i)->isVisible());
        EXPECT_FALSE(menu.Entry(i)->isChecked());
    }
}

TEST_F(SelectionTest, WithoutTheFileOnlyMarkAllIsShown) {
    Open();
    SelectionMenu& menu = *window().menus().mnuSeleccionOP;
    EXPECT_EQ(menu.Count(), 2);
    EXPECT_FALSE(menu.Entry(1)->isVisible());
}

TEST_F(SelectionTest, FaultyLineEndsLoadingSilentlyAndTheSeparatorStaysHidden) {
    WriteSelections("1\tUna\r\nsin tabulador\r\n2\tOtra\r\n");
    Open();
    SelectionMenu& menu = *window().menus().mnuSeleccionOP;
    ASSERT_EQ(menu.Count(), 3);
    EXPECT_EQ(menu.Entry(2)->text(), "Una");
    EXPECT_FALSE(menu.Entry(1)->isVisible());
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SelectionTest, AFifoInPlaceOfTheFileIsNoSelectionAndNoWait) {
    ASSERT_EQ(::mkfifo((home_.path() / "Seleccion.ini").c_str(), 0600), 0);
    Open(); // a blocking read of the FIFO would never return
    EXPECT_EQ(window().menus().mnuSeleccionOP->Count(), 2);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SelectionTest, BlankLinesAreSkipped) {
    WriteSelections("\r\n1\tUna\r\n\r\n \t \r\n2\tOtra\r\n\r\n");
    Open();
    SelectionMenu& menu = *window().menus().mnuSeleccionOP;
    ASSERT_EQ(menu.Count(), 4);
    EXPECT_EQ(menu.Entry(2)->text(), "Una");
    EXPECT_EQ(menu.Entry(3)->text(), "Otra");
    EXPECT_EQ(menu.Tag(3), "2");
    EXPECT_TRUE(menu.Entry(1)->isVisible());
}

TEST_F(SelectionTest, ApplyingChecksRowsWithTheBitAndMovesTheMenuMark) {
    WriteList(named({{"A", "1"}, {"B", "9"}, {"C", nullptr}, {"D", "8"}}));
    WriteSelections("0\tCero\r\n3\tTres\r\n");
    frmAdmin& w = Open();
    w.tasks()->SetChecked(2, true);

    SelectionEntry(2)->trigger();
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(SelectionEntry(2)->isChecked());

    SelectionEntry(3)->trigger();
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"B", "D"}));
    EXPECT_FALSE(SelectionEntry(2)->isChecked());
    EXPECT_TRUE(SelectionEntry(3)->isChecked());
    EXPECT_EQ(w.menus().mnuSeleccionOP->intCurrentSelection(), 3);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SelectionTest, CtrlGSavesTheAppliedSelectionBitForEveryRow) {
    WriteList(named({{"A", "1"}, {"B", "9"}, {"C", nullptr}, {"D", "8"}}));
    WriteSelections("0\tCero\r\n3\tCierre diario\r\n");
    frmAdmin& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    SelectionEntry(2)->trigger();
    SelectionEntry(3)->trigger(); // B and D checked
    w.tasks()->SetChecked(1, false);
    w.tasks()->SetChecked(2, true); // now C and D
    MsgBox::clearLog();

    QTest::keyClick(w.lvwTareas(), Qt::Key_G, Qt::ControlModifier);
    // Bit 3 follows the marks; bit 0 stays as it was; every row is written.
    EXPECT_EQ(Attr("A", "Seleccion"), "1");
    EXPECT_EQ(Attr("B", "Seleccion"), "1");
    EXPECT_EQ(Attr("C", "Seleccion"), "8");
    EXPECT_EQ(Attr("D", "Seleccion"), "8");
    ASSERT_EQ(MsgBox::log().size(), 1);
    const MsgBox::Shown shown = MsgBox::log().front();
    EXPECT_EQ(shown.text, "Se ha salvado la seleccion Cierre diario con exito");
    EXPECT_EQ(shown.title, "Información");
    EXPECT_EQ(shown.icon, MsgIcon::Information);

    // The saved marks come back from the file on the next refill of the list-file view.
    w.tasks()->SetAllChecked(false);
    w.mnuVerActualizar_Click();
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"C", "D"}));
}

TEST_F(SelectionTest, OnlyCtrlGAloneSaves) {
    WriteList(named({{"A", nullptr}}));
    WriteSelections("2\tDos\r\n");
    frmAdmin& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    SelectionEntry(2)->trigger();
    w.tasks()->SetChecked(0, true);
    const std::string before = ListText();
    MsgBox::clearLog();
    QTest::keyClick(w.lvwTareas(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(w.lvwTareas(), Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(w.lvwTareas(), Qt::Key_G, Qt::AltModifier);
    QTest::keyClick(w.lvwTareas(), Qt::Key_G);
    EXPECT_EQ(ListText(), before);
    EXPECT_TRUE(TakeMessages().empty());
    QTest::keyClick(&w, Qt::Key_G, Qt::ControlModifier); // wherever the focus is in the window
    EXPECT_EQ(Attr("A", "Seleccion"), "4");
}

TEST_F(SelectionTest, CtrlGBeforeAnySelectionDoesNothing) {
    WriteList(named({{"A", nullptr}}));
    WriteSelections("2\tDos\r\n");
    frmAdmin& w = Open();
    w.tasks()->SetChecked(0, true);
    const std::string before = ListText();
    w.Form_KeyUp(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(ListText(), before);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SelectionTest, BitFifteenFailsWithTheReportBeforeAnyRowChanges) {
    WriteList(named({{"A", "32767"}, {"B", nullptr}}));
    WriteSelections("1\tUno\r\n15\tQuince\r\n");
    frmAdmin& w = Open();
    SelectionEntry(2)->trigger();
    w.tasks()->SetChecked(1, true);
    MsgBox::clearLog();

    SelectionEntry(3)->trigger();
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"Error 6 (Desbordamiento)"}));
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(SelectionEntry(2)->isChecked());
    EXPECT_FALSE(SelectionEntry(3)->isChecked());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SelectionTest, ValueBeyondSixteenBitsStopsTheWalkKeepingEarlierRows) {
    WriteList(named({{"A", "4"}, {"B", "40000"}, {"C", "4"}}));
    WriteSelections("2\tDos\r\n");
    frmAdmin& w = Open();
    SelectionEntry(2)->trigger();
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"Error 6 (Desbordamiento)"}));
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A"}));
    EXPECT_FALSE(SelectionEntry(2)->isChecked());

    // Saving with that selection applied writes the rows before the faulty value only.
    WriteList(named({{"A", "0"}, {"B", "0"}, {"C", "0"}}));
    w.mnuVerActualizar_Click();
    SelectionEntry(2)->trigger();
    w.tasks()->SetAllChecked(true);
    WriteList(named({{"A", "0"}, {"B", "70000"}, {"C", "0"}}));
    MsgBox::clearLog();
    w.SaveSelection();
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"Error 6 (Desbordamiento)"}));
    EXPECT_EQ(Attr("A", "Seleccion"), "4");
    EXPECT_EQ(Attr("C", "Seleccion"), "0");
}

TEST_F(SelectionTest, RefillOfTheListFileViewReappliesTheCheckedSelection) {
    WriteList({{.name = "A", .selected = "1", .seleccion = "0"}, {.name = "B", .seleccion = "2"}});
    WriteSelections("1\tUno\r\n");
    frmAdmin& w = Open();
    // The first fill comes before the selections are loaded: marks from the records.
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A"}));
    w.mnuVerActualizar_Click();
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"A"}));

    SelectionEntry(2)->trigger();
    w.tasks()->SetAllChecked(false);
    w.mnuVerActualizar_Click(); // unsaved marks are lost: the selection comes back
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"B"}));

    // The system view keeps the marks its records bring (none).
    AddSystemTask("B", "/bin/sh");
    w.mnuVerTareasSistema_Click();
    EXPECT_TRUE(CheckedNames().empty());
}

} // namespace brio::test
