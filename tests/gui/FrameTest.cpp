// The window's frame: menu tree, toolbar, list columns, layout, keys and closing.
#include "WindowFixture.h"

#include "AdminListFile.h"
#include "AdminMenus.h"
#include "AdminToolbar.h"
#include "SelectionMenu.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

namespace brio::test {

namespace {

struct Item {
    std::string text;
    bool visible;
    std::string shortcut;
};

std::vector<Item> items(const QMenu* menu) {
    std::vector<Item> out;
    for (const QAction* a : menu->actions())
        out.push_back({a->isSeparator() ? "-" : a->text().toStdString(), a->isVisible(),
                       a->shortcut().toString(QKeySequence::PortableText).toStdString()});
    return out;
}

bool operator==(const Item& a, const Item& b) {
    return a.text == b.text && a.visible == b.visible && a.shortcut == b.shortcut;
}
void PrintTo(const Item& i, std::ostream* os) {
    *os << '"' << i.text << "\" " << i.visible << ' ' << i.shortcut;
}

} // namespace

using FrameTest = WindowTest;

TEST_F(FrameTest, MenuTreeHasTheCaptionsAccessKeysShortcutsAndHiddenItems) {
    frmAdmin& w = Open();
    std::vector<std::string> bar;
    for (const QAction* a : w.menuBar()->actions())
        bar.push_back(a->text().toStdString());
    EXPECT_EQ(bar, (std::vector<std::string>{"Tareas", "Seleción", "&Ver", "&Salir"}));
    EXPECT_EQ(w.menuBar()->actions().back()->menu(), nullptr); // "&Salir" has no submenu

    AdminMenus& m = w.menus();
    EXPECT_EQ(items(m.mnuTareas), (std::vector<Item>{{"Nueva tarea…", false, ""}, // the system view's
                                                     {"&Crear", false, ""},
                                                     {"&Modificar", true, ""},
                                                     {"Eliminar", false, ""},
                                                     {"Es&tabler Rango Tiempo", true, ""},
                                                     {"-", true, ""},
                                                     {"&Exportar Tareas a Window", true, ""},
                                                     {"&Importar Tareas desde Window", true, ""},
                                                     {"-", true, ""},
                                                     {"&Reperar", true, ""},
                                                     {"-", true, ""},
                                                     {"E&jecutar ahora", true, ""},
                                                     {"&Finalizar tarea", true, ""},
                                                     {"&Historial de ejecuciones", true, ""}}));
    EXPECT_EQ(items(m.mnuSeleccion),
              (std::vector<Item>{{"M&arcar/Desmarcar Todas", true, "Ctrl+E"}, {"-", false, ""}}));
    EXPECT_FALSE(SelectionEntry(0)->isChecked());
    EXPECT_EQ(items(m.mnuVer), (std::vector<Item>{{"&Actualizar ", true, "F5"},
                                                  {"-", true, ""},
                                                  {"Tareas &Brio", true, ""},
                                                  {"Tareas &Windows", true, ""}}));
    EXPECT_TRUE(m.mnuVerTareasBrio->isChecked());
    EXPECT_FALSE(m.mnuVerTareasSistema->isChecked());

    // The context menu is not on the menu bar; its design captions.
    TaskPopupMenu* popup = w.mnuPopup();
    EXPECT_EQ(popup->title(), "Popup");
    EXPECT_EQ(items(popup), (std::vector<Item>{{"&Habilitar", true, ""},
                                               {"&Deshabilitar", true, ""},
                                               {"&Eliminar", true, ""},
                                               {"&Modificar", true, ""},
                                               {"Nueva tarea…", true, ""},
                                               {"E&jecutar ahora", true, ""},
                                               {"&Finalizar tarea", true, ""},
                                               {"Histo&rial de ejecuciones", true, ""},
                                               {"-", true, ""},
                                               {"&Cancelar", true, ""}}));
    EXPECT_EQ(items(popup->mnuPopupHabilitar->menu()),
              (std::vector<Item>{{"(vacio)", true, ""}, {"Todas las Marcadas", true, ""}}));
    EXPECT_EQ(items(popup->mnuPopupEliminar->menu()),
              (std::vector<Item>{{"Solo de Brio", true, ""}, {"De Brio y de Window", true, ""}}));
}

TEST_F(FrameTest, ToolbarButtonsTitleLabelAndColumns) {
    frmAdmin& w = Open();
    AdminToolbar* bar = w.Toolbar1();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(AdminToolbar::Key(bar->actions()[0]), "Exportar");
    EXPECT_EQ(bar->actions()[0]->toolTip(), "Exportar Tareas a Window");
    EXPECT_EQ(AdminToolbar::Key(bar->actions()[1]), "Harbinex");
    EXPECT_EQ(bar->actions()[1]->toolTip(), "Generar Tareas harBinex");
    for (QAction* a : bar->actions()) {
        EXPECT_FALSE(a->icon().isNull());
        EXPECT_EQ(a->icon().pixmap(24, 24).size(), QSize(24, 24));
    }
    EXPECT_TRUE(bar->lblTituloTarea->font().bold());
    EXPECT_EQ(bar->lblTituloTarea->text(), "Tareas Programadas de Brio");
    EXPECT_FALSE(w.windowIcon().isNull());

    const QHeaderView* header = w.lvwTareas()->header();
    const std::vector<std::string> headers{" Tareas programadas en ejecucion ", " Estado", " Rnd ",
                                           " Programación"};
    const std::vector<int> widths{200, 66, 40, 666};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(w.tasks()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
                  headers[c]);
        // " Estado" grows past its design width when its texts need it in the font in use.
        if (c == TaskListModel::ColState)
            EXPECT_GE(header->sectionSize(c), widths[c]);
        else
            EXPECT_EQ(header->sectionSize(c), widths[c]) << c;
    }
}

TEST_F(FrameTest, OpensCentredWithTheDesignClientAreaAndFollowsTheResizeRule) {
    frmAdmin& w = Open();
    QWidget* client = w.centralWidget();
    EXPECT_EQ(client->size(), QSize(670, 482));
    const QRect screen = w.screen()->geometry();
    EXPECT_NEAR(w.frameGeometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(w.frameGeometry().center().y(), screen.center().y(), 2);

    EXPECT_EQ(w.lvwTareas()->geometry(), QRect(3, 37, 670, 482 - 38));
    EXPECT_EQ(w.pctBotones()->geometry(), QRect(0, 481, 670, 1));
    EXPECT_EQ(w.cmdCerrar()->x(), 670 - 80);
    EXPECT_EQ(w.Toolbar1()->width(), 670);

    w.resize(800, 600 + w.menuBar()->height());
    QCoreApplication::processEvents();
    const QSize c = client->size();
    EXPECT_EQ(w.lvwTareas()->geometry(), QRect(3, 37, c.width(), c.height() - 38));
    EXPECT_EQ(w.cmdCerrar()->x(), qRound(c.width() - 80.3));
    EXPECT_EQ(w.pctBotones()->geometry(), QRect(0, c.height() - 1, c.width(), 1));

    // A client area lower than the list's top keeps the list at height zero.
    client->resize(300, 20);
    EXPECT_EQ(w.lvwTareas()->height(), 0);
}

TEST_F(FrameTest, MinimisedWindowKeepsItsListSizeUntilRestored) {
    frmAdmin& w = Open();
    const QRect before = w.lvwTareas()->geometry();
    w.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(w.isMinimized());
    w.centralWidget()->resize(500, 300);
    EXPECT_EQ(w.lvwTareas()->geometry(), before);

    w.setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
    const QSize c = w.centralWidget()->size();
    EXPECT_EQ(w.lvwTareas()->geometry(), QRect(3, 37, c.width(), c.height() - 38));
}

TEST_F(FrameTest, CerrarButtonDoesNothing) {
    WriteList({{.name = "A"}});
    frmAdmin& w = Open();
    const std::string before = ListText();
    w.cmdCerrar()->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ListText(), before);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(FrameTest, ClosingBySalirOrTheCloseBoxFormatsTheListFile) {
    WriteList({{.name = "A"}, {.name = "B"}});
    const std::string raw = ListText();
    {
        frmAdmin& w = Open();
        QSignalSpy unloaded(&w, &frmAdmin::Unloaded);
        w.menus().mnuSalir->trigger();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(unloaded.count(), 1);
    }
    const std::string formatted = ListText();
    EXPECT_NE(formatted, raw);
    EXPECT_EQ(formatted.rfind("\r\n<TAREAS", 0), 0u);
    EXPECT_NE(formatted.find("\r\n\t<TAREA name=\"B\""), std::string::npos);

    WriteText(home_ / AdminListFile::kListFileName, raw);
    frmAdmin& w = Open();
    EXPECT_TRUE(w.close()); // the close box
    EXPECT_EQ(ListText(), formatted);
}

TEST_F(FrameTest, ClosingEndsEvenWhenTheListFileCannotBeFormatted) {
    WriteList({{.name = "A"}});
    frmAdmin& w = Open();
    // A folder where the formatter wants its temporary file makes it fail.
    std::filesystem::create_directory(home_ / (std::string(AdminListFile::kListFileName) + "_"));
    QSignalSpy unloaded(&w, &frmAdmin::Unloaded);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(TakeMessages().empty());
}

} // namespace brio::test
