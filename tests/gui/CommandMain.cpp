// The command tests: the real window, its account dialog and property dialog, with the host's logon
// checked against a pam_wrapper test service. The program restarts itself under pam_wrapper.
#include "CommandFixture.h"
#include "PamTestEnv.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace brio::test {

namespace {
std::unique_ptr<PamServices> g_services;
}

std::vector<std::string> DefaultPamAccounts() {
    return {std::string(kUser) + ":" + kPassword + ":brioschedule", "otro:Otra-clave-2:brioschedule",
            "../intruso:Clave-3:brioschedule", "dom\\admin:Clave-4:brioschedule"};
}

void SetPamAccounts(const std::vector<std::string>& lines) {
    std::string passdb;
    for (const std::string& line : lines)
        passdb += line + "\n";
    WriteText(g_services->folder() / "passdb", passdb);
}

} // namespace brio::test

int main(int argc, char** argv) {
    brio::test::RunUnderPamWrapper(argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("BRIOSCHEDULE_PAM_SERVICE", "brioschedule");
    brio::test::g_services = std::make_unique<brio::test::PamServices>(brio::test::DefaultPamAccounts());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    brio::MsgBox::setScripted(true); // no test ever waits on a box
    brio::AccountPrompt::setScripted(true);
    const int result = RUN_ALL_TESTS();
    brio::test::g_services.reset();
    return result;
}
