#include "KeyFolderCleaner.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using namespace brio;
using brio::test::TempDir;
using brio::test::WriteText;
namespace fs = std::filesystem;

namespace {

// A drive C: in a temporary folder with the profiles folder under it.
class KeyFolderCleanerTest : public ::testing::Test {
protected:
    fs::path rsa(const std::string& profile) const {
        return drive.path() / "Documents and Settings" / profile / "Datos de programa/Microsoft/Crypto/RSA";
    }
    KeyFolderCleaner cleaner(StepChoice answer = StepChoice::Abort) {
        return KeyFolderCleaner(
            HostPaths({{'C', drive.path()}}),
            [this, answer](const BrioError& e) {
                errors.push_back(e.number());
                return answer;
            },
            [this] { ++busy; });
    }

    TempDir drive;
    std::vector<long> errors;
    int busy = 0;
};

} // namespace

TEST_F(KeyFolderCleanerTest, KeyFolderIsTheProfilesRsaStore) {
    EXPECT_EQ(KeyFolderCleaner::KeyFolder("operador"),
              "C:\\Documents and Settings\\operador\\Datos de programa\\Microsoft\\Crypto\\RSA");
    EXPECT_EQ(KeyFolderCleaner::KeyFolder("All Users"),
              "C:\\Documents and Settings\\All Users\\Datos de programa\\Microsoft\\Crypto\\RSA");
}

TEST_F(KeyFolderCleanerTest, RemovesOnlyTheFirstSFolderWithItsFiles) {
    // The profile folder's letter case differs from the user name, as it may on the key store's drive.
    const fs::path key =
        drive.path() / "Documents and Settings/OPERADOR/Datos de programa/Microsoft/Crypto/RSA";
    WriteText(key / "S-1-5-21-1/b", "x");
    WriteText(key / "S-1-5-18/a", "x");
    WriteText(key / "S-1-5-18/readonly.key", "x");
    fs::permissions(key / "S-1-5-18/readonly.key", fs::perms::owner_read);
    WriteText(key / "MachineKeys/k", "x");
    WriteText(key / ".Shidden/k", "x");

    const auto outcome = cleaner().Clear("operador");

    EXPECT_TRUE(outcome.removed);
    EXPECT_FALSE(outcome.aborted);
    EXPECT_EQ(outcome.filesDeleted, 2);
    EXPECT_EQ(outcome.folder, (key / "S-1-5-18").string());
    EXPECT_FALSE(fs::exists(key / "S-1-5-18"));
    EXPECT_TRUE(fs::exists(key / "S-1-5-21-1/b"));
    EXPECT_TRUE(fs::exists(key / "MachineKeys/k"));
    EXPECT_TRUE(fs::exists(key / ".Shidden/k"));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(busy, 1);
}

TEST_F(KeyFolderCleanerTest, LowerCaseSMatchesAndOrderIgnoresLetterCase) {
    WriteText(rsa("All Users") / "sB/x", "x");
    WriteText(rsa("All Users") / "Sa/x", "x");
    const auto outcome = cleaner().Clear("All Users");
    EXPECT_TRUE(outcome.removed);
    EXPECT_FALSE(fs::exists(rsa("All Users") / "Sa"));
    EXPECT_TRUE(fs::exists(rsa("All Users") / "sB"));
}

TEST_F(KeyFolderCleanerTest, NoKeyFolderOrNoSEntryIsNoError) {
    auto outcome = cleaner().Clear("nadie");
    EXPECT_TRUE(outcome.folder.empty());
    WriteText(rsa("operador") / "MachineKeys/k", "x");
    outcome = cleaner().Clear("operador");
    EXPECT_TRUE(outcome.folder.empty());
    EXPECT_FALSE(outcome.removed);
    // A drive without a mapping does not exist either.
    KeyFolderCleaner unmapped(HostPaths({{'D', drive.path()}}),
                              [](const BrioError&) { return StepChoice::Abort; });
    EXPECT_TRUE(unmapped.Clear("operador").folder.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(busy, 0);
}

TEST_F(KeyFolderCleanerTest, HiddenFileOrSubFolderMakesTheRemovalFail) {
    const fs::path folder = rsa("operador") / "S-1-5-18";
    WriteText(folder / ".hidden", "x");
    WriteText(folder / "visible", "x");
    WriteText(folder / "sub/inner", "x");

    const auto aborted = cleaner(StepChoice::Abort).Clear("operador");
    EXPECT_TRUE(aborted.aborted);
    EXPECT_FALSE(aborted.removed);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], err::PathFileAccess);
    EXPECT_FALSE(fs::exists(folder / "visible"));
    EXPECT_TRUE(fs::exists(folder / ".hidden"));
    EXPECT_TRUE(fs::exists(folder / "sub/inner")); // files of sub-folders are not visited

    errors.clear();
    const auto ignored = cleaner(StepChoice::Ignore).Clear("operador");
    EXPECT_FALSE(ignored.aborted);
    EXPECT_FALSE(ignored.removed);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(KeyFolderCleanerTest, RetryRunsTheFailedStepAgain) {
    const fs::path folder = rsa("operador") / "S-1-5-18";
    WriteText(folder / ".hidden", "x");
    int calls = 0;
    KeyFolderCleaner retrying(HostPaths({{'C', drive.path()}}), [&](const BrioError&) {
        ++calls;
        fs::remove(folder / ".hidden"); // the person closes what held the folder, then retries
        return StepChoice::Retry;
    });
    const auto outcome = retrying.Clear("operador");
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(outcome.removed);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(KeyFolderCleanerTest, SymbolicLinksAreNeverFollowedNorRemoved) {
    TempDir outside;
    WriteText(outside / "precious", "x");
    WriteText(outside / "dir/precious", "x");
    const fs::path key = rsa("operador");
    fs::create_directories(key);
    fs::create_directory_symlink(outside / "dir", key / "S-0-link"); // sorts first, but is a link
    WriteText(key / "S-1-5-18/a", "x");
    fs::create_symlink(outside / "precious", key / "S-1-5-18/link");

    const auto outcome = cleaner(StepChoice::Ignore).Clear("operador");

    EXPECT_EQ(outcome.folder, (key / "S-1-5-18").string());
    EXPECT_FALSE(outcome.removed); // the link inside stays, so the folder is not empty
    EXPECT_TRUE(fs::is_symlink(key / "S-1-5-18/link"));
    EXPECT_FALSE(fs::exists(key / "S-1-5-18/a"));
    EXPECT_TRUE(fs::exists(outside / "precious"));
    EXPECT_TRUE(fs::exists(outside / "dir/precious"));
    EXPECT_TRUE(fs::is_symlink(key / "S-0-link"));
    EXPECT_TRUE((fs::status(outside / "precious").permissions() & fs::perms::owner_write) != fs::perms::none);
}

TEST_F(KeyFolderCleanerTest, HostileProfileNamesAreRefusedBeforeAnythingIsTouched) {
    // "../x" would reach C:\x\Datos de programa\... outside the profiles folder.
    const fs::path escape = drive.path() / "x/Datos de programa/Microsoft/Crypto/RSA/S-1";
    WriteText(escape / "f", "x");
    const std::vector<std::string> names{"../x", "..",  ".",   "a/b", "a\\b",  "a:b", "a*", "a?",
                                         "a\"b", "a<b", "a>b", "a|b", "a\x01", "",    "a.", "a "};
    for (const std::string& name : names) {
        try {
            cleaner().Clear(name);
            ADD_FAILURE() << "accepted: " << name;
        } catch (const BrioError& e) {
            EXPECT_EQ(e.number(), err::BadFileName) << name;
            EXPECT_NE(e.description().find("nombre de usuario"), std::string::npos);
        }
    }
    EXPECT_TRUE(fs::exists(escape / "f"));
    EXPECT_EQ(busy, 0);
    EXPECT_NO_THROW(KeyFolderCleaner::CheckProfileName("All Users"));
    EXPECT_NO_THROW(KeyFolderCleaner::CheckProfileName("José.Pérez"));
}

TEST_F(KeyFolderCleanerTest, AFileNamedLikeAKeyFolderIsNotEmptiedAndFailsItsSteps) {
    WriteText(rsa("operador") / "Sfile", "x");
    const auto outcome = cleaner(StepChoice::Ignore).Clear("operador");
    EXPECT_FALSE(outcome.removed);
    EXPECT_EQ(errors.size(), 2u); // making it a normal folder, then removing it
    EXPECT_TRUE(fs::exists(rsa("operador") / "Sfile"));
}
