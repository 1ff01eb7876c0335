#pragma once

#include "JobFile.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brio::cli {

// A scheduler task read from the JSON that `show --system --json` writes.
struct TaskJson {
    std::string name; // empty when the JSON has no "Name"
    JobData job;
};

// A place in a JSON document: object keys and 0-based array indexes from the top.
using JsonPath = std::vector<std::variant<std::string, int>>;

// "línea L, columna C" of a byte offset of `text`, the column counted in characters.
std::string placeOf(std::string_view text, std::size_t offset);
// "línea L, columna C: el campo «TRIGGERS[1].Duration» " + what, placed at that field's value in `text`.
std::string FieldProblem(std::string_view text, const JsonPath& path, const std::string& what);

// Reads `text` into `out`. Every field is checked for its type and range; each problem is one Spanish
// line that names the field with its line and column. A trigger may be given by its "Text" alone; a
// "Text" that disagrees with the trigger's fields is a problem, except when editing (`before` is the
// task as it was): then whichever of the two the person changed counts, and the same holds for
// "Enabled" and "hidden" against "Flags". Returns true when there was no problem.
bool ReadTaskJson(std::string_view text, const JobData* before, TaskJson& out,
                  std::vector<std::string>& problems);

// A calendar trigger whose text gave no begin day begins today, as the property dialog's new trigger does.
void BeginTodayWhenUnset(SchedTrigger& t);

// What keeps a task from being stored as it is: a program the drive map cannot place, a trigger the
// schedule engine refuses (with the engine's reason). One Spanish line each.
std::vector<std::string> TaskProblems(const JobData& job);

// The JSON `show --system --json` writes for a task of that name.
std::string TaskJsonText(const std::string& name, const JobData& job);

} // namespace brio::cli
