// brioschedule-cli: the administration of the suite's scheduled tasks from a shell or a script, on the
// same program folder and the same scheduler as the window.
#include "BrioError.h"
#include "CliArguments.h"
#include "CliCommands.h"
#include "ControlEscaper.h"
#include "EmbeddedDefaults.h"
#include "ProgramFolder.h"
#include "SystemMessages.h"
#include "TaskStore.h"

#include <iostream>

namespace {

// Output that could not be written is a failure, never a success.
int Finish(int status) {
    if (!std::cout.flush()) {
        std::cerr
            << brio::BrioError(brio::err::PathFileAccess, "no se pudo escribir la salida estándar").report()
            << '\n';
        return brio::cli::kFailed;
    }
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace brio::cli;
    const EscapedStandardStreams escaped; // names never reach the terminal as control sequences
    CliArguments args;
    try {
        args = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "brioschedule-cli: " << e.what() << '\n' << UsageLine() << '\n';
        return kUsage;
    }
    if (args.help) {
        std::cout << HelpText();
        return Finish(kSuccess);
    }
    if (args.version) {
        std::cout << "brioschedule-cli " << BRIO_VERSION << '\n';
        return Finish(kSuccess);
    }

    const brio::ProgramFolderChoice where = brio::CurrentProgramFolder();
    const std::filesystem::path& programFolder = where.folder;
    // The same first-run files as the window: demo data in the build folder, an empty folder when installed;
    // a command that only reads leaves a missing file missing.
    if (!OnlyReads(args)) {
        try {
            if (where.installed)
                brio::EnsureProgramFolder(programFolder);
            else
                brio::EnsureEmbeddedDefaults(programFolder);
        } catch (const std::exception& e) {
            std::cerr << brio::AsBrioError(e).report() << '\n';
        }
    }
    CliCommands commands(programFolder, brio::MakeTaskStoreFactory(brio::TaskStore::DefaultFolder()),
                         std::cout, std::cerr);
    return Finish(commands.Run(args));
}
