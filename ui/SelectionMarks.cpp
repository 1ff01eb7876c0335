#include "SelectionMarks.h"

#include "AdminListFile.h"
#include "Conversions.h"
#include "TaskListModel.h"

#include <cmath>
#include <utility>

namespace brio::SelectionMarks {

namespace {
std::int16_t selectionValue(const std::string& text) {
    return CInt(Val(text));
}
} // namespace

std::int16_t Mask(const QString& tag) {
    return CInt(std::pow(2.0, Val(tag.toStdString())));
}

NameList RowNames(const TaskListModel& rows) {
    NameList names;
    names.reserve(static_cast<std::size_t>(rows.count()));
    for (int r = 0; r < rows.count(); ++r)
        names.push_back(rows.row(r).name.toStdString());
    return names;
}

NameList CheckedNames(const TaskListModel& rows) {
    NameList names;
    for (int r = 0; r < rows.count(); ++r) {
        if (rows.IsChecked(r))
            names.push_back(rows.row(r).name.toStdString());
    }
    return names;
}

void Apply(TaskListModel& rows, AdminListFile& list, std::int16_t mask) {
    if (rows.count() == 0)
        return;
    const std::vector<std::string> values = list.GetXMLAttrs(RowNames(rows), "Seleccion");
    std::vector<bool> marks;
    marks.reserve(values.size());
    try {
        for (const std::string& text : values)
            marks.push_back((selectionValue(text) & mask) == mask);
    } catch (...) {
        rows.SetChecks(marks); // the rows before the failing one keep their new marks
        throw;
    }
    rows.SetChecks(marks);
}

void Save(const TaskListModel& rows, AdminListFile& list, std::int16_t mask) {
    if (rows.count() == 0)
        return;
    const NameList names = RowNames(rows);
    const std::vector<std::string> values = list.GetXMLAttrs(names, "Seleccion");
    std::vector<std::pair<std::string, std::string>> written;
    written.reserve(names.size());
    try {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::int16_t old = selectionValue(values[i]);
            const std::int16_t now = rows.IsChecked(static_cast<int>(i))
                                         ? static_cast<std::int16_t>(old | mask)
                                         : static_cast<std::int16_t>(old - (old & mask));
            written.emplace_back(names[i], std::to_string(now));
        }
    } catch (...) {
        if (!written.empty())
            list.SetXMLAttrs(written, "Seleccion"); // the rows before the failing one keep their new values
        throw;
    }
    list.SetXMLAttrs(written, "Seleccion");
}

void ToggleAll(TaskListModel& rows) {
    const int half = rows.count() / 2;
    rows.SetAllChecked(rows.CheckedCount() < half);
}

} // namespace brio::SelectionMarks
