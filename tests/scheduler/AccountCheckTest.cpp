// The logon check against a pam_wrapper test service; this program restarts itself under pam_wrapper.
#include "AccountCheck.h"
#include "PamTestEnv.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace brio;
using brio::test::PamServices;
using brio::test::ScopedEnv;

namespace {

class LogonTest : public ::testing::Test {
protected:
    ScopedEnv service_{"BRIOSCHEDULE_PAM_SERVICE", "brioschedule"};
};

TEST_F(LogonTest, AcceptsTheRightPairAndRefusesOthersWithTheReason) {
    EXPECT_TRUE(ValidateLogon("ana", "", "Secreto-1"));
    EXPECT_TRUE(CheckLogon("ana", "", "Secreto-1").detail.empty());

    for (const auto& [user, pwd] : std::vector<std::pair<std::string, std::string>>{
             {"ana", "secreto-1"}, {"ana", "Secreto-1 "}, {"ana", ""}, {"nadie", "Secreto-1"}, {"", ""}}) {
        const Result result = CheckLogon(user, "", pwd);
        EXPECT_EQ(result.number, err::PermissionDenied) << user << "/" << pwd;
        EXPECT_NE(result.detail.find("Usuario o contraseña no válido"), std::string::npos) << result.detail;
        // The refusal tells why, and never repeats the password it was given.
        if (!pwd.empty()) {
            EXPECT_EQ(result.detail.find(pwd), std::string::npos) << result.detail;
        }
    }
}

TEST_F(LogonTest, TheAccountPartRefusesAUserNotAllowedOnTheService) {
    // luis knows his password but the password file allows him on "other" only.
    EXPECT_FALSE(ValidateLogon("luis", "", "otra clave"));
}

TEST_F(LogonTest, ALocalDomainIsTheUserAloneAndAnyOtherPrefixesIt) {
    EXPECT_TRUE(ValidateLogon("ana", ".", "Secreto-1"));
    EXPECT_FALSE(ValidateLogon("ana", "OFICINA", "Secreto-1")); // "OFICINA\ana" is another account
}

TEST(LogonServiceTest, FallsBackToTheHostsOtherServiceWithoutAServiceFile) {
    if (::access("/etc/pam.d/brioschedule", F_OK) == 0 || ::access("/usr/lib/pam.d/brioschedule", F_OK) == 0)
        GTEST_SKIP() << "this host has a brioschedule PAM service";
    ScopedEnv none("BRIOSCHEDULE_PAM_SERVICE", "");
    EXPECT_EQ(LogonServiceName(), "other");
    EXPECT_TRUE(ValidateLogon("luis", "", "otra clave"));
    EXPECT_FALSE(ValidateLogon("ana", "", "Secreto-1"));
}

} // namespace

int main(int argc, char** argv) {
    brio::test::RunUnderPamWrapper(argv);
    // ana may log on to the program's own service, luis only to the host's "other" one.
    const PamServices services({"ana:Secreto-1:brioschedule", "luis:otra clave:other"});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
