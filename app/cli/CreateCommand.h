#pragma once

#include "CliArguments.h"
#include "SchedBridge.h"

#include <filesystem>
#include <ostream>

namespace brio::cli {

// create: a new scheduler task from options (the triggers in the words of their schedule text) or from
// the JSON of `show --system --json`; --import also copies it into the list file.
int RunCreate(const CliArguments& args, const std::filesystem::path& programFolder,
              const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err);

} // namespace brio::cli
