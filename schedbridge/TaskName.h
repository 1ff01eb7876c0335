#pragma once

#include <string>
#include <string_view>

namespace brio {

// The longest task name, in bytes of UTF-8: with ".job" and a temporary suffix it still fits a file name.
constexpr std::size_t kMaxTaskNameBytes = 200;

// Why `name` cannot be a task name (Spanish, for the error's detail); empty when it can. A task name
// is a file name: not empty, valid UTF-8 without control characters, none of \ / : * ? " < > |, not
// "." or "..", no trailing blank or dot, at most kMaxTaskNameBytes bytes.
std::string TaskNameProblem(std::string_view name);

// Throws BrioError 52 with the reason when `name` cannot be a task name.
void CheckTaskName(std::string_view name);

// The Unicode upper case of a name: names with equal keys are the same task.
std::string TaskNameKey(std::string_view name);

} // namespace brio
