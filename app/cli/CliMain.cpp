// brioschedule-cli: the administration of the suite's scheduled tasks from a shell or a script, on the
// same program folder and the same scheduler as the window.
#include "BrioError.h"
#include "CliArguments.h"
#include "CliCommands.h"
#include "EmbeddedDefaults.h"
#include "ProgramFolder.h"
#include "TaskStore.h"

#include <iostream>

int main(int argc, char* argv[]) {
    using namespace brio::cli;
    CliArguments args;
    try {
        args = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "brioschedule-cli: " << e.what() << '\n' << UsageLine() << '\n';
        return kUsage;
    }
    if (args.help) {
        std::cout << HelpText();
        return kSuccess;
    }
    if (args.version) {
        std::cout << "brioschedule-cli " << BRIO_VERSION << '\n';
        return kSuccess;
    }

    const std::filesystem::path programFolder = brio::ProgramFolder();
    // The first run makes the demo warehouse database and the suite settings, as the window does.
    try {
        brio::EnsureEmbeddedDefaults(programFolder);
    } catch (const std::exception& e) {
        std::cerr << AsBrioError(e).report() << '\n';
    }
    CliCommands commands(programFolder, brio::MakeTaskStoreFactory(brio::TaskStore::DefaultFolder()),
                         std::cout, std::cerr);
    const int status = commands.Run(args);
    std::cout.flush();
    return status;
}
