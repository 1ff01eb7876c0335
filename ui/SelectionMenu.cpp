#include "SelectionMenu.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "Conversions.h"

#include <QAction>
#include <QMenu>

#include <system_error>

namespace brio {

SelectionMenu::SelectionMenu(QMenu* menu) : QObject(menu), menu_(menu) {
    QAction* all = addEntry();
    all->setText(QStringLiteral("M&arcar/Desmarcar Todas"));
    all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    all->setCheckable(false);
    QAction* separator = addEntry();
    separator->setSeparator(true);
    separator->setVisible(false);
}

QAction* SelectionMenu::addEntry() {
    auto* action = new QAction(menu_);
    const int index = Count();
    action->setObjectName(QStringLiteral("mnuSeleccionOP_%1").arg(index));
    action->setCheckable(index >= 2);
    menu_->addAction(action);
    connect(action, &QAction::triggered, this, [this, action, index] {
        // The menu toggles a checkable entry by itself; the mark moves only when a selection is applied.
        if (action->isCheckable())
            action->setChecked(index == current_);
        emit Clicked(index);
    });
    entries_.push_back(action);
    tags_.emplace_back();
    return action;
}

QAction* SelectionMenu::Entry(int index) const {
    return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)] : nullptr;
}

QString SelectionMenu::Tag(int index) const {
    return index >= 0 && index < Count() ? tags_[static_cast<std::size_t>(index)] : QString();
}

std::vector<std::string> SelectionMenu::SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

void SelectionMenu::LoadSelections(const std::filesystem::path& programFolder) {
    try {
        const std::filesystem::path file = programFolder / kFileName;
        std::error_code ec;
        if (std::filesystem::exists(file, ec)) {
            // Anything but a regular file in its place (a FIFO would wait for ever) is refused at once.
            const std::string bytes = ReadWholeFile(file);
            for (const std::string& line : SplitLines(Utf8OrLatin(bytes))) {
                // A blank line (a trailing one, or one left between selections) is no selection.
                if (QString::fromStdString(line).trimmed().isEmpty())
                    continue;
                // The entry exists before its line is read; a faulty line takes it away again below.
                QAction* entry = addEntry();
                const QStringList fields = QString::fromStdString(line).split(QLatin1Char('\t'));
                if (fields.size() < 2) {
                    menu_->removeAction(entry);
                    entries_.pop_back();
                    tags_.pop_back();
                    entry->deleteLater();
                    throw BrioError(err::SubscriptOutOfRange, line);
                }
                entry->setText(fields[1]);
                entry->setChecked(false);
                entry->setVisible(true);
                tags_.back() = QString::number(Val(fields[0].toStdString()), 'g', 15);
            }
        }
        if (Count() > 2)
            entries_[1]->setVisible(true);
    } catch (...) {
        // The saved selections are optional: a faulty file ends the loading without a word.
    }
}

void SelectionMenu::MarkApplied(int index) {
    if (QAction* old = Entry(current_); old && old->isCheckable())
        old->setChecked(false);
    if (QAction* now = Entry(index); now && now->isCheckable())
        now->setChecked(true);
    current_ = static_cast<std::int16_t>(index);
}

int SelectionMenu::FirstCheckedEntry() const {
    for (int i = 2; i < Count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)]->isChecked())
            return i;
    }
    return -1;
}

} // namespace brio
