#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

class QAction;
class QMenu;

namespace brio {

// The menu "Seleción" and its entry array mnuSeleccionOP: index 0 "M&arcar/Desmarcar Todas" (Ctrl+E),
// index 1 a separator shown once saved selections are loaded, 2 and up one per line of Seleccion.ini.
class SelectionMenu : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "Seleccion.ini";

    explicit SelectionMenu(QMenu* menu);

    QMenu* menu() const { return menu_; }
    // mnuSeleccionOP(index); nullptr outside the array.
    QAction* Entry(int index) const;
    int Count() const { return static_cast<int>(entries_.size()); }
    // The entry's tag: the selection bit number written in decimal; empty for indexes 0 and 1.
    QString Tag(int index) const;

    // Adds one entry per line of Seleccion.ini in `programFolder`; blank lines are skipped. Any error ends
    // the loading silently;
    // the entries of the lines before it stay, and the separator then stays hidden.
    void LoadSelections(const std::filesystem::path& programFolder);

    // The index of the entry last applied; 0 until one is.
    std::int16_t intCurrentSelection() const { return current_; }
    // Moves the check mark from the entry last applied to `index`, which becomes the one last applied.
    void MarkApplied(int index);
    // The first entry from index 2 up that carries the check mark, or -1.
    int FirstCheckedEntry() const;

    // The lines of a text as Seleccion.ini is read: a line ends at CR LF, CR or LF.
    static std::vector<std::string> SplitLines(std::string_view text);

signals:
    // An entry was chosen.
    void Clicked(int index);

private:
    QAction* addEntry();

    QMenu* menu_;
    std::vector<QAction*> entries_;
    std::vector<QString> tags_;
    std::int16_t current_ = 0;
};

} // namespace brio
