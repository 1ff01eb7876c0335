#pragma once

#include "CliArguments.h"

#include <ostream>

namespace brio::cli {

// The runner's subcommands on the task store's runner: run and end (requests the running runner takes
// at once), log, history (the recorded runs, newest first) and status. Failures throw BrioError.
int RunnerCommand(const CliArguments& args, std::ostream& out, std::ostream& err);

} // namespace brio::cli
