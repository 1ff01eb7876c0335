#pragma once

#include "CliArguments.h"
#include "SchedBridge.h"
#include "clsTarea.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace brio {
class BrioError;
class clsAdminTask;
} // namespace brio

namespace brio::cli {

// Exit statuses of the command line.
enum ExitStatus { kSuccess = 0, kFailed = 1, kUsage = 2 };

// Runs one subcommand the way the window runs the same command: a new administration object on the
// program folder and the scheduler, one operation, the window's messages. Results go to `out`, errors
// and the object's own messages to `err`.
class CliCommands {
public:
    CliCommands(std::filesystem::path programFolder, SchedBridgeFactory scheduler, std::ostream& out,
                std::ostream& err);

    // Runs the parsed command line; returns the exit status.
    int Run(const CliArguments& args);

private:
    std::unique_ptr<clsAdminTask> NewAdminTask() const;

    int List(const CliArguments& args);
    int Show(const CliArguments& args);
    int Import(const CliArguments& args);
    int Export(const CliArguments& args);
    int SetEnabled(const CliArguments& args, bool enabled);
    int Delete(const CliArguments& args);
    int Range(const CliArguments& args);
    int Generate();
    int Format();
    int Repair(const CliArguments& args);
    int EncodeConnection();

    // Reads the password of `user` from standard input and checks the pair with the host's logon; a
    // refusal is reported and gives false. On success the pair is set on `admin`.
    bool RequestAccount(clsAdminTask& admin, const std::string& user);
    // Runs `operation`, one pass over all the names; after a failure says which names were done, which
    // failed and which were not reached, from the progress the operation kept.
    int ForEachName(const NameList& names, const std::function<void(NameProgress*)>& operation);
    int Failed(const BrioError& error);

    std::filesystem::path programFolder_;
    SchedBridgeFactory scheduler_;
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace brio::cli
