#include "ProgramFolder.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace brio {

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

fs::path ProgramFolder() {
    if (const char* home = std::getenv("BRIOSCHEDULE_HOME"); home && *home)
        return fs::path(home);
    return ExecutableFolder();
}

} // namespace brio
