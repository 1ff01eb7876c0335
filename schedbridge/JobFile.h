#pragma once

#include "SchedTrigger.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace brio {

// Everything a task file keeps about one task; the name is the file's own name.
struct JobData {
    std::string applicationName;
    std::string parameters;
    std::string workingDirectory;
    std::int32_t flags = 0;
    std::string account; // the user the task runs as; never a password
    SchedTriggers triggers;

    bool operator==(const JobData&) const = default;
};

// The version of the task file this program writes; it reads this one and older ones.
constexpr int kJobFileVersion = 1;

// The task file's content: a small UTF-8 XML document with every field of the task and its triggers.
std::string WriteJob(const JobData& job);

// Reads a task file's content into `job`. Returns false and says why in `problem` (Spanish: the XML
// error with line and offset, or the field that is wrong); `job` is then left as it was.
bool ReadJob(std::string_view content, JobData& job, std::string& problem);

} // namespace brio
