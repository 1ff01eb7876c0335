// The account of a stored task is checked with the host's logon (a pam_wrapper test service here), and
// only the user name is ever kept. This program restarts itself under pam_wrapper.
#include "PamTestEnv.h"
#include "StoreTestUtil.h"
#include "TaskStore.h"

#include <gtest/gtest.h>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "Zq7-contraseña-única";

class TaskAccountTest : public ::testing::Test {
protected:
    TempDir dir_;
    ScopedEnv service_{"BRIOSCHEDULE_PAM_SERVICE", "brioschedule"};
};

TEST_F(TaskAccountTest, AnAcceptedAccountKeepsTheUserNameOnlyAndARefusedOneIsError70) {
    TaskStore store(dir_.path());
    store.Refresh();
    SchedTaskPtr task = store.NewTask("Con cuenta");
    task->SetAccountInformation("operador", kPassword);
    EXPECT_EQ(task->AccountName(), "operador");

    std::string description;
    EXPECT_EQ(ErrorOf([&] { task->SetAccountInformation("operador", "otra"); }, &description),
              err::PermissionDenied);
    EXPECT_EQ(description.rfind("Permiso denegado: Usuario o contraseña no válido (", 0), 0u) << description;
    EXPECT_EQ(ErrorOf([&] { task->SetAccountInformation("intruso", kPassword); }), err::PermissionDenied);
    EXPECT_EQ(task->AccountName(), "operador"); // a refusal changes nothing
    task->Save();

    TaskStore again(dir_.path());
    again.Refresh();
    SchedTaskPtr read = again.Item("con cuenta");
    EXPECT_EQ(read->AccountName(), "operador");
    read->SetAccountInformation("operador", kPassword);
    read->Save();

    // Nothing under the store folder holds the password, hidden files included.
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(ReadText(entry.path()).find(kPassword), std::string::npos) << entry.path();
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    brio::test::RunUnderPamWrapper(argv);
    const PamServices services({std::string("operador:") + kPassword + ":brioschedule"});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
