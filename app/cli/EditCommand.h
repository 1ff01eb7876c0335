#pragma once

#include "CliArguments.h"
#include "SchedBridge.h"

#include <filesystem>
#include <ostream>

namespace brio::cli {

// edit: a task's JSON (as show --json writes it) in the person's editor (VISUAL, EDITOR, else
// sensible-editor); on save the whole task is checked and stored, or the problems are shown and the
// person is asked whether to edit it again. An unchanged file changes nothing.
int RunEdit(const CliArguments& args, const std::filesystem::path& programFolder,
            const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err);

} // namespace brio::cli
