#pragma once

#include "NextCommand.h"
#include "clsTarea.h"

#include <QJsonObject>

#include <ostream>
#include <string>
#include <string_view>

namespace brio::cli {

// One record as JSON, under the record's property names.
QJsonObject RecordJson(const clsTarea& record);

// The rows of a list view: a header and one tab-separated line per record (name, mark, status, random
// range, schedule; with `withHidden` also whether the row is hidden), or one JSON array of records.
// `nextRuns`, one per record, adds "NextRunTime" to each JSON record and the last column
// "Próxima ejecución" to the lines.
void WriteRecords(std::ostream& out, const TareaList& records, bool json, bool withHidden,
                  const std::vector<NextRun>* nextRuns = nullptr);

// A value fit for one cell of a tab-separated line: tabs and line ends are written "\t", "\n" and
// "\r", so no value can start a cell or a line of its own.
std::string Cell(std::string_view text);

// The status column as the window shows it: "Error" for a missing program, else "Deshabilitada" or empty.
std::string StatusText(const clsTarea& record);

} // namespace brio::cli
