#include "AtomicFile.h"
#include "BrioError.h"
#include "ErrorOf.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brio;
using namespace brio::test;

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporary) {
    TempDir dir;
    WriteText(dir / "f.xml", "viejo");
    WriteFileAtomically(dir / "f.xml", "nuevo");
    EXPECT_EQ(ReadText(dir / "f.xml"), "nuevo");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, AFailingReplaceKeepsTheOldFile) {
    TempDir dir;
    std::filesystem::create_directory(dir / "carpeta"); // renaming a file over a folder fails
    EXPECT_THROW(WriteFileAtomically(dir / "carpeta", "x"), BrioError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "carpeta"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary left";
    try {
        WriteFileAtomically(dir / "no/existe/f.xml", "x");
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::PathNotFound);
    }
}

TEST(AtomicFile, ReadingAMissingFileIsErrorFiftyThree) {
    TempDir dir;
    try {
        ReadWholeFile(dir / "nada");
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
    }
}

namespace {
std::string modeOf(const std::filesystem::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return std::to_string(info.st_mode & 07777) + ":" + std::to_string(info.st_uid) + ":" +
           std::to_string(info.st_gid);
}
} // namespace

TEST(AtomicFile, SavesRespectTheFileTheyReplace) {
    TempDir dir;
    const auto file = dir / "f.xml";
    // Mode (and owner and group) stay as they were.
    WriteText(file, "viejo");
    ::chmod(file.c_str(), 0640);
    const std::string before = modeOf(file);
    WriteFileAtomically(file, "nuevo");
    EXPECT_EQ(modeOf(file), before);

    // A file the caller may not write is refused with error 70 and stays as it was.
    ::chmod(file.c_str(), 0440);
    if (::access(file.c_str(), W_OK) != 0) { // root writes anything
        EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(file, "otro"); }), err::PermissionDenied);
        EXPECT_EQ(ReadText(file), "nuevo");
    }
    ::chmod(file.c_str(), 0640);

    // A symbolic link is saved through: the link stays, its target gets the content.
    std::filesystem::create_directory(dir / "real");
    WriteText(dir / "real/objetivo.xml", "a");
    std::filesystem::create_symlink("real/objetivo.xml", dir / "enlace.xml");
    WriteFileAtomically(dir / "enlace.xml", "b");
    WriteFileAtomically(dir / "enlace.xml", "c", dir / "enlace.xml_");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "enlace.xml"));
    EXPECT_EQ(ReadText(dir / "real/objetivo.xml"), "c");
    // A link that leads nowhere is refused, never replaced by a regular file.
    std::filesystem::create_symlink("real/nada.xml", dir / "roto.xml");
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir / "roto.xml", "x"); }), err::PathFileAccess);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "roto.xml"));
}

TEST(AtomicFile, AFixedTemporaryIsMadeExclusivelyAndNeverWrittenThrough) {
    TempDir dir;
    WriteText(dir / "f.xml", "viejo");
    WriteText(dir / "otro.txt", "intacto");
    // A hard link planted as the temporary: the save fails instead of writing into the other file.
    std::filesystem::create_hard_link(dir / "otro.txt", dir / "f.xml_");
    EXPECT_NE(ErrorOf([&] { WriteFileAtomically(dir / "f.xml", "nuevo", dir / "f.xml_"); }), 0);
    EXPECT_EQ(ReadText(dir / "otro.txt"), "intacto");
    EXPECT_EQ(ReadText(dir / "f.xml"), "viejo");
}

TEST(AtomicFile, AFifoIsRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "TaskConfig.XML").c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(dir / "TaskConfig.XML"); }), err::PathFileAccess);
    EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(dir / "TaskConfig.XML", "x"); }), err::PathFileAccess);
}

TEST(AtomicFile, RootSavesKeepAUsersFileTheirs) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(dir.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    WriteText(dir / "f.xml", "viejo");
    ASSERT_EQ(::chown((dir / "f.xml").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    WriteFileAtomically(dir / "f.xml", "nuevo");
    WriteFileAtomically(dir / "nuevo.xml", "x"); // a new file in the user's folder is the user's too
    struct stat info {};
    for (const char* name : {"f.xml", "nuevo.xml"}) {
        ASSERT_EQ(::stat((dir / name).c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, nobody->pw_uid) << name;
    }
}

// A check sees the whole content in the temporary file before the target is replaced; a failing check
// leaves the target as it was and no temporary behind, by either temporary name and through a link.
TEST(AtomicFile, AFailingCheckBeforeTheReplaceKeepsTheOldFile) {
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    WriteText(dir / "real/objetivo.xml", "viejo");
    std::filesystem::create_symlink("real/objetivo.xml", dir / "enlace.xml");
    WriteText(dir / "f.xml", "viejo");
    const auto countIn = [](const std::filesystem::path& folder) {
        return std::distance(std::filesystem::directory_iterator(folder), {});
    };
    for (const char* name : {"f.xml", "enlace.xml"}) {
        const std::filesystem::path file = dir / name;
        const std::filesystem::path temporary = dir / (std::string(name) + "_");
        for (const bool fixedName : {true, false}) {
            const auto save = [&](bool pass) {
                const SaveCheck check = [&](const std::filesystem::path& written) {
                    EXPECT_EQ(ReadText(written), "nuevo");
                    if (!pass)
                        throw BrioError(err::PathFileAccess, "no");
                };
                const auto produce = [](const ContentSink& sink) {
                    sink("nue");
                    sink("vo");
                };
                if (fixedName)
                    WriteFileAtomicallyFrom(file, produce, temporary, 0666, check);
                else
                    WriteFileAtomicallyFrom(file, produce, 0666, Durability::Now, check);
            };
            EXPECT_EQ(ErrorOf([&] { save(false); }), err::PathFileAccess) << name;
            EXPECT_EQ(ReadText(file), "viejo") << name;
            EXPECT_EQ(countIn(dir.path()), 3) << name << ": no temporary left";
            EXPECT_EQ(countIn(dir / "real"), 1) << name << ": no temporary left";
            save(true);
            EXPECT_EQ(ReadText(file), "nuevo") << name;
            WriteText(file, "viejo");
        }
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "enlace.xml"));
}
