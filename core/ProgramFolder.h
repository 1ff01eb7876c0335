#pragma once

#include <filesystem>
#include <string>

namespace brio {

// The data folder of an installed program run by a process that may write there (root).
inline constexpr const char* SystemDataFolder = "/var/lib/brioschedule";

// What decides the program folder, gathered from the process or given by a test.
struct ProgramFolderFacts {
    std::string homeOverride;               // BRIOSCHEDULE_HOME; empty when unset
    std::filesystem::path executableFolder; // the folder of the running executable
    bool executableFolderWritable = true;   // this process may write in it
    bool systemFolderWritable = false;      // this process may make or write SystemDataFolder
    std::string xdgDataHome;                // XDG_DATA_HOME; empty when unset
    std::filesystem::path userHome;         // the user's home folder
};

// Where the list file, Seleccion.ini and SuiteSettings.ini live, and whether the program is installed.
struct ProgramFolderChoice {
    std::filesystem::path folder;
    bool installed = false; // an installed program makes no demo data
};

// A program is installed when its executable's folder is not writable or lies under /usr. An installed
// program uses SystemDataFolder when it may write there, else ${XDG_DATA_HOME:-$HOME/.local/share}/
// brioschedule; a program run from its build folder uses that folder. BRIOSCHEDULE_HOME overrides both.
ProgramFolderChoice ChooseProgramFolder(const ProgramFolderFacts& facts);

// The facts of this process.
ProgramFolderFacts CurrentProgramFolderFacts();

// ChooseProgramFolder of this process.
ProgramFolderChoice CurrentProgramFolder();

// The folder that holds the list file, Seleccion.ini and SuiteSettings.ini: CurrentProgramFolder().folder.
std::filesystem::path ProgramFolder();

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

// True when this process could create or write `folder`: its nearest existing ancestor (or the folder
// itself) is a folder this process may write in.
bool MayWriteFolder(const std::filesystem::path& folder);

// Creates the program folder and any missing parent, each new one private to its owner (mode 0700).
// Throws BrioError when it cannot.
void EnsureProgramFolder(const std::filesystem::path& folder);

} // namespace brio
