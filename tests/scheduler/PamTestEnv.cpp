#include "PamTestEnv.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace brio::test {

void RunUnderPamWrapper(char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "pam_wrapper") && std::getenv("PAM_WRAPPER"))
        return;
    std::string libraries = BRIO_PAM_WRAPPER_LIBRARY;
    if (preload && *preload)
        libraries += std::string(":") + preload;
    ::setenv("LD_PRELOAD", libraries.c_str(), 1);
    ::setenv("PAM_WRAPPER", "1", 1);
    // Deep binding does not mix with the sanitizers, and their runtime cannot come first when preloading.
    // Older pam_wrapper releases read the switch under uid_wrapper's name.
    ::setenv("PAM_WRAPPER_DISABLE_DEEPBIND", "1", 1);
    ::setenv("UID_WRAPPER_DISABLE_DEEPBIND", "1", 1);
    std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    ::setenv("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":").append("verify_asan_link_order=0").c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("execv");
    std::exit(127);
}

PamServices::PamServices(const std::vector<std::string>& accounts)
    : serviceDir_("PAM_WRAPPER_SERVICE_DIR", dir_.path().string()) {
    std::string passdb;
    for (const std::string& line : accounts)
        passdb += line + "\n";
    const std::filesystem::path passFile = dir_ / "passdb";
    WriteText(passFile, passdb);
    const std::string module = std::string(BRIO_PAM_MATRIX_MODULE) + " passdb=" + passFile.string() + "\n";
    const std::string service = "auth required " + module + "account required " + module;
    WriteText(dir_ / "brioschedule", service);
    WriteText(dir_ / "other", service);
}

} // namespace brio::test
