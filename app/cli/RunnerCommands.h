#pragma once

#include "CliArguments.h"

#include <ostream>
#include <string>

namespace brio::cli {

// The runner's subcommands on the task store's runner: run and end (requests the running runner takes
// at once), log, history (the recorded runs, newest first) and status. Failures throw BrioError.
int RunnerCommand(const CliArguments& args, std::ostream& out, std::ostream& err);

// That no runner works on the task store, with how to start one; empty when one runs.
std::string NoRunnerNote();

} // namespace brio::cli
