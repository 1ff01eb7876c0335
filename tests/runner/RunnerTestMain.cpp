// The runner tests. As root, tasks switch accounts through PAM, so this program restarts itself under
// pam_wrapper with test services; the host's PAM files are never read.
#include "PamTestEnv.h"
#include "RunnerFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv) {
    if (::geteuid() == 0)
        brio::test::RunUnderPamWrapper(argv);
    ::testing::InitGoogleTest(&argc, argv);
    brio::test::TempDir services;
    brio::test::WritePamServices(services.path());
    return RUN_ALL_TESTS();
}
