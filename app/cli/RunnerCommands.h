#pragma once

#include "CliArguments.h"

#include <ostream>

namespace brio::cli {

// The runner's subcommands on the task store's runner: run (a request the running runner takes at
// once), history (the recorded runs, newest first) and status. Failures throw BrioError.
int RunnerCommand(const CliArguments& args, std::ostream& out, std::ostream& err);

} // namespace brio::cli
