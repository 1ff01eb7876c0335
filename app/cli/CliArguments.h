#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brio::cli {

// A command line that names no valid subcommand or gives it the wrong options or names.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One command line, read but not yet run.
struct CliArguments {
    std::string command;             // the subcommand ("list", "show", ...); empty with --help or --version
    bool help = false;               // --help or -h
    bool version = false;            // --version or -V
    bool system = false;             // --system: the scheduler instead of the list file
    bool both = false;               // --both: delete from the list file and from the scheduler
    bool all = false;                // --all: hidden rows too
    bool json = false;               // --json: one JSON document instead of tab-separated lines
    std::optional<std::string> user; // --user USER
    std::string minutes;             // range: the minutes as typed
    int count = 5;                   // next --count N: how many starts, 1 to 10000
    std::string after;               // next --after yyyy-MM-ddTHH:mm[:ss]: local wall time; empty: now
    int run = 1;                     // log --run N: the Nth run counting back from the last, 1 the last
    std::vector<std::string> names;  // the task names, in the order given
    // create: the new task's fields as given; each optional one left out keeps a new task's value.
    std::optional<std::string> program, arguments, folder, fromJson;
    std::vector<std::string> triggers; // --trigger TEXT, in order
    std::vector<std::string> flags;    // --flag NAME, in order
    bool disabled = false;             // --disabled
    bool replace = false;              // --replace: an existing task of that name is replaced
    bool import = false;               // --import: the new task is also imported into the list file
};

// Reads argv[1..]. Options start with "--" (or are -h, -V); "--" ends them, so names and negative
// minutes may follow. Throws UsageError for anything the subcommand does not take.
CliArguments ParseArguments(const std::vector<std::string>& args);

// Whether the command writes nothing in the program folder, not even the files of a first run.
bool OnlyReads(const CliArguments& args);

// The short usage line and the full help text.
std::string UsageLine();
std::string HelpText();

} // namespace brio::cli
