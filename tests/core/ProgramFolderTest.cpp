#include "ProgramFolder.h"
#include "BrioError.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

TEST(ProgramFolder, ChoiceFollowsWhereTheProgramRunsAndWhoRunsIt) {
    struct Case {
        const char* what;
        ProgramFolderFacts facts;
        fs::path folder;
        bool installed;
    };
    const fs::path build = "/work/brio/build/app";
    const Case cases[] = {
        {"build folder", {"", build, true, true, "", "/home/ana"}, build, false},
        {"build folder, BRIOSCHEDULE_HOME",
         {"/srv/brio", build, true, true, "", "/home/ana"},
         "/srv/brio",
         false},
        {"installed, root", {"", "/usr/bin", true, true, "", "/root"}, SystemDataFolder, true},
        {"installed in /usr/sbin, root",
         {"", "/usr/sbin", true, true, "/x", "/root"},
         SystemDataFolder,
         true},
        {"installed, user",
         {"", "/usr/bin", false, false, "", "/home/ana"},
         "/home/ana/.local/share/brioschedule",
         true},
        {"installed, user with XDG_DATA_HOME",
         {"", "/usr/local/bin", false, false, "/datos/ana", "/home/ana"},
         "/datos/ana/brioschedule",
         true},
        {"installed, relative XDG_DATA_HOME is ignored",
         {"", "/usr/bin", false, false, "datos", "/home/ana"},
         "/home/ana/.local/share/brioschedule",
         true},
        {"installed, BRIOSCHEDULE_HOME",
         {"/srv/brio", "/usr/bin", false, false, "", "/home/ana"},
         "/srv/brio",
         true},
        {"read-only folder outside /usr, user",
         {"", "/opt/brio/bin", false, false, "", "/home/ana"},
         "/home/ana/.local/share/brioschedule",
         true},
        {"/usr in another place of the path",
         {"", "/home/ana/usr/bin", true, false, "", "/home/ana"},
         "/home/ana/usr/bin",
         false},
        {"/usr as a name prefix", {"", "/usrlocal/bin", true, true, "", "/root"}, "/usrlocal/bin", false},
    };
    for (const Case& c : cases) {
        const ProgramFolderChoice choice = ChooseProgramFolder(c.facts);
        EXPECT_EQ(choice.folder, c.folder) << c.what;
        EXPECT_EQ(choice.installed, c.installed) << c.what;
    }
}

TEST(ProgramFolder, FactsComeFromTheEnvironment) {
    TempDir dir;
    ScopedEnv home("BRIOSCHEDULE_HOME", "");
    ScopedEnv data("XDG_DATA_HOME", (dir / "datos").string());
    ScopedEnv user("HOME", (dir / "casa").string());
    const ProgramFolderFacts facts = CurrentProgramFolderFacts();
    EXPECT_EQ(facts.homeOverride, "");
    EXPECT_EQ(facts.xdgDataHome, (dir / "datos").string());
    EXPECT_EQ(facts.userHome, dir / "casa");
    EXPECT_EQ(facts.executableFolder, ExecutableFolder());
    EXPECT_EQ(facts.systemFolderWritable, MayWriteFolder(SystemDataFolder));
    // A build folder we may write in stays the program folder; one we may not (the tests run by another
    // user) counts as installed, so the user's data folder is taken.
    EXPECT_EQ(ProgramFolder(), facts.executableFolderWritable ? ExecutableFolder()
                               : facts.systemFolderWritable   ? fs::path(SystemDataFolder)
                                                              : dir / "datos/brioschedule");

    ScopedEnv own("BRIOSCHEDULE_HOME", (dir / "propia").string());
    EXPECT_EQ(ProgramFolder(), dir / "propia");
}

TEST(ProgramFolder, WritableMeansTheNearestExistingFolderMayBeWritten) {
    TempDir dir;
    WriteText(dir / "archivo", "x");
    EXPECT_TRUE(MayWriteFolder(dir.path()));
    EXPECT_TRUE(MayWriteFolder(dir / "nueva/otra"));
    EXPECT_FALSE(MayWriteFolder(dir / "archivo/debajo")) << "a file is no folder";
    if (::geteuid() != 0) { // root may write anywhere
        fs::create_directory(dir / "cerrada");
        ::chmod((dir / "cerrada").c_str(), 0500);
        EXPECT_FALSE(MayWriteFolder(dir / "cerrada/brioschedule"));
        ::chmod((dir / "cerrada").c_str(), 0700);
    }
}

TEST(ProgramFolder, EnsureMakesMissingFoldersPrivate) {
    TempDir dir;
    const fs::path folder = dir / "share/brioschedule";
    EnsureProgramFolder(folder);
    EnsureProgramFolder(folder); // already there: nothing to do
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 0) << "nothing is made inside";

    WriteText(dir / "archivo", "x");
    try {
        EnsureProgramFolder(dir / "archivo");
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::PathNotFound);
    }
    EXPECT_THROW(EnsureProgramFolder(dir / "archivo/debajo"), BrioError);
}
