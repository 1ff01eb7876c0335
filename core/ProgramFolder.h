#pragma once

#include <filesystem>

namespace brio {

// The folder that holds the list file, Seleccion.ini and SuiteSettings.ini: the executable's folder,
// or BRIOSCHEDULE_HOME when it is set.
std::filesystem::path ProgramFolder();

// The folder of the running executable.
std::filesystem::path ExecutableFolder();

} // namespace brio
