// The context menu: when it opens and the captions it carries in each view.
#include "WindowFixture.h"

#include "AdminMenus.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"

#include <QAction>
#include <QApplication>
#include <QTest>

namespace brio::test {

class PopupTest : public WindowTest {
protected:
    // Clicks row `row` (or below the rows when -1) with `button` and tells whether the menu opened.
    bool Click(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {}) {
        TaskListView* list = window().lvwTareas();
        QPoint at(40, list->viewport()->height() - 5);
        if (row >= 0)
            at = list->visualRect(window().tasks()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), button, modifiers, at);
        const bool shown = window().mnuPopup()->isVisible();
        window().mnuPopup()->hide();
        return shown;
    }
    std::string Text(QAction* a) { return a->text().toStdString(); }
};

TEST_F(PopupTest, RightClickInTheListFileViewNamesTheTask) {
    WriteList({{.name = "Cierre diario"}, {.name = "Copia"}});
    Open();
    TaskPopupMenu& p = *window().mnuPopup();
    ASSERT_TRUE(Click(1, Qt::RightButton));
    EXPECT_EQ(window().lvwTareas()->CurrentText(), "Copia"); // the press made the row current
    EXPECT_EQ(Text(p.mnuPopupHabilitarSeleccionada), "Habilitar [Copia]");
    EXPECT_EQ(Text(p.mnuPopupDeshabilitarSeleccionada), "Deshabilitar [Copia]");
    EXPECT_TRUE(p.mnuPopupEliminarBrio->isVisible());
    EXPECT_EQ(Text(p.mnuPopupEliminarBrio), "Eliminar [Copia] de las tareas de BRIO");
    EXPECT_EQ(Text(p.mnuPopupEliminarWindow), "Eliminar [Copia} de WINDOWS y de las tareas de BRIO");
    EXPECT_EQ(Text(p.mnuPopupHabilitarTodas), "Todas las Marcadas");
    EXPECT_EQ(Text(p.mnuPopupModificar), "&Modificar");

    // The row clicked last names the menu; modifiers change nothing.
    ASSERT_TRUE(Click(0, Qt::RightButton, Qt::ShiftModifier));
    EXPECT_EQ(Text(p.mnuPopupHabilitarSeleccionada), "Habilitar [Cierre diario]");
    ASSERT_TRUE(Click(1, Qt::RightButton, Qt::ControlModifier));
    EXPECT_EQ(Text(p.mnuPopupDeshabilitarSeleccionada), "Deshabilitar [Copia]");
}

TEST_F(PopupTest, SystemViewOffersOnlyTheSchedulerDeletion) {
    WriteList({{.name = "Lista"}});
    AddSystemTask("Sistema", "/bin/sh");
    Open();
    TaskPopupMenu& p = *window().mnuPopup();
    window().mnuVerTareasSistema_Click();
    ASSERT_TRUE(Click(0, Qt::RightButton));
    EXPECT_FALSE(p.mnuPopupEliminarBrio->isVisible());
    EXPECT_EQ(Text(p.mnuPopupEliminarBrio), "Solo de Brio"); // hidden, caption unchanged
    EXPECT_EQ(Text(p.mnuPopupEliminarWindow), "Eliminar [Sistema] de WINDOWS");
    EXPECT_EQ(Text(p.mnuPopupHabilitarSeleccionada), "Habilitar [Sistema]");

    window().mnuVerTareasBrio_Click();
    ASSERT_TRUE(Click(0, Qt::RightButton));
    EXPECT_TRUE(p.mnuPopupEliminarBrio->isVisible());
    EXPECT_EQ(Text(p.mnuPopupEliminarBrio), "Eliminar [Lista] de las tareas de BRIO");
}

TEST_F(PopupTest, NoMenuOnAnEmptyListALeftClickOrWithoutACurrentRow) {
    Open();
    EXPECT_FALSE(Click(-1, Qt::RightButton)); // empty list
    EXPECT_FALSE(window().PreparePopup());

    WriteList({{.name = "A"}});
    window().mnuVerActualizar_Click();
    EXPECT_FALSE(Click(0, Qt::LeftButton));
    EXPECT_FALSE(Click(0, Qt::MiddleButton));
    window().lvwTareas()->SetCurrentRow(-1);
    EXPECT_FALSE(Click(-1, Qt::RightButton)); // below the rows, no current row
    EXPECT_TRUE(Click(0, Qt::RightButton));
}

// The Menu key and Shift+F10 open the menu on the current row, and its commands are reached by their keys.
TEST_F(PopupTest, TheKeyboardOpensTheMenuOnTheCurrentRowAndRunsItsCommands) {
    WriteList({{.name = "Cierre diario"}, {.name = "Copia"}});
    Open();
    TaskListView* list = window().lvwTareas();
    TaskPopupMenu& p = *window().mnuPopup();
    list->setFocus();
    list->SetCurrentRow(1);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Menu, Qt::NoModifier},
                                                              {Qt::Key_F10, Qt::ShiftModifier}};
    for (const auto& [key, modifiers] : keys) {
        QTest::keyClick(list, key, modifiers);
        EXPECT_TRUE(p.isVisible()) << key;
        EXPECT_EQ(Text(p.mnuPopupDeshabilitarSeleccionada), "Deshabilitar [Copia]");
        EXPECT_TRUE(list->viewport()->rect().contains(list->viewport()->mapFromGlobal(p.pos())))
            << "the menu opens by the row, not where the mouse happens to be";
        p.hide();
    }
    QTest::keyClick(list, Qt::Key_F10); // F10 alone is the menu bar's key, not the list's
    EXPECT_FALSE(p.isVisible());

    // Menu key, D(eshabilitar), Enter on its first item: the current entry is disabled.
    QTest::keyClick(list, Qt::Key_Menu);
    ASSERT_TRUE(p.isVisible());
    QTest::keyClick(&p, Qt::Key_D);
    QWidget* submenu = QApplication::activePopupWidget();
    ASSERT_NE(submenu, &p);
    ASSERT_NE(submenu, nullptr);
    QTest::keyClick(submenu, Qt::Key_Return);
    EXPECT_EQ(Attr("Copia", "disabled"), "1");
    EXPECT_EQ(Attr("Cierre diario", "disabled"), "0");
    EXPECT_EQ(Cell(1, TaskListModel::ColState), "Deshabilitada");

    // No current row: no menu.
    list->SetCurrentRow(-1);
    QTest::keyClick(list, Qt::Key_Menu);
    EXPECT_FALSE(p.isVisible());
}

} // namespace brio::test
