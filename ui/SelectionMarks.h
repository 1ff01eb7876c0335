#pragma once

#include "clsTarea.h"

#include <QString>

#include <cstdint>

namespace brio {

class AdminListFile;
class TaskListModel;

// The check marks set in bulk: all at once, or from and into a saved selection. A saved selection is one
// bit of the "Seleccion" attribute of each list entry. The list file is loaded once per call and saved at
// most once; the results are those of reading and writing the attribute row by row.
namespace SelectionMarks {

// The mask of a selection entry: 2 to the power of its tag, as a 16-bit integer; error 6 from bit 15 on.
std::int16_t Mask(const QString& tag);

// Checks exactly the rows whose selection value has every bit of the mask. A failure (a value beyond
// 16 bits) leaves the rows before it set and is passed on.
void Apply(TaskListModel& rows, AdminListFile& list, std::int16_t mask);

// Writes every row's selection value with the mask's bit set when the row is checked, cleared when not.
void Save(const TaskListModel& rows, AdminListFile& list, std::int16_t mask);

// Checks every row when fewer than half of them (rounded down) are checked, else unchecks every row.
void ToggleAll(TaskListModel& rows);

// The names of the checked rows, in list order; empty when none is checked.
NameList CheckedNames(const TaskListModel& rows);

// Every row's name, in list order.
NameList RowNames(const TaskListModel& rows);

} // namespace SelectionMarks

} // namespace brio
