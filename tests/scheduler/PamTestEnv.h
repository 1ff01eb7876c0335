#pragma once

#include "TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace brio::test {

// Starts the running test program again under pam_wrapper (LD_PRELOAD must be set before a process
// starts) unless it already runs so. Call it first in main.
void RunUnderPamWrapper(char** argv);

// A PAM service folder for pam_wrapper: the services "brioschedule" and "other", both on pam_matrix with
// one password file of "user:password:service" lines. pam_wrapper reads the service folder once per
// process, so a test program makes one for its whole run, in main.
class PamServices {
public:
    explicit PamServices(const std::vector<std::string>& accounts);

    const std::filesystem::path& folder() const noexcept { return dir_.path(); }

private:
    TempDir dir_;
    ScopedEnv serviceDir_;
};

} // namespace brio::test
