#pragma once

#include "JobFile.h"
#include "SchedBridge.h"

#include <QJsonValue>

#include <pugixml.hpp>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace brio::cli {

// Everything stored for one task: its own fields, its CONFIGURACION flags (list file only) and each
// trigger's fields, every value with the name it is shown under.
struct TaskDetails {
    using Fields = std::vector<std::pair<QString, QJsonValue>>;
    Fields task;
    bool hasConfig = false;
    Fields config;
    std::vector<Fields> triggers;
};

// A list-file entry as stored: its attributes under the record's property names (unknown ones under
// their own), the CONFIGURACION flags as Booleans and each TRIGGER's attributes under their names.
// A value that does not read as its type is shown as the text stored.
TaskDetails EntryDetails(pugi::xml_node entry);

// A scheduler task: program, arguments, folder, flag word, run-as user and every field of every trigger
// with its readable text.
TaskDetails SchedTaskDetails(const SchedTask& task);
// The same for a task's stored fields under `name`.
TaskDetails JobDetails(const std::string& name, const JobData& job);

// One JSON object, or a header and one tab-separated line per field (element, field, value).
void WriteDetails(std::ostream& out, const TaskDetails& details, bool json);

} // namespace brio::cli
