#include "HostPaths.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace brio;
using brio::test::TempDir;
using brio::test::WriteText;

TEST(DriveMap, ParsesItemsAndSkipsMalformedOnes) {
    const auto map = ParseDriveMap("c:=/srv/c;D:=/mnt/d;bogus;E=;F:=");
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at('C'), "/srv/c");
    EXPECT_EQ(map.at('D'), "/mnt/d");
}

TEST(HostPaths, MapsDrivesBackslashesAndLetterCase) {
    TempDir c, d;
    WriteText(c / "BRIO/Velmorax/bin/run.exe", "x");
    const HostPaths paths({{'C', c.path()}, {'D', d.path()}});
    EXPECT_TRUE(paths.Exists("C:\\BRIO\\VELMORAX\\BIN\\RUN.EXE"));
    EXPECT_TRUE(paths.Exists("c:\\brio\\velmorax\\bin\\run.exe"));
    EXPECT_EQ(*paths.ToHost("C:\\brio\\VELMORAX\\bin\\run.exe"), c.path() / "BRIO/Velmorax/bin/run.exe");
    EXPECT_FALSE(paths.Exists("D:\\BRIO\\VELMORAX\\bin\\run.exe"));
    EXPECT_FALSE(paths.Exists("E:\\BRIO\\VELMORAX\\bin\\run.exe")); // E: has no mapping
    EXPECT_FALSE(paths.ToHost("E:\\x").has_value());
    EXPECT_FALSE(paths.Exists(""));
    EXPECT_FALSE(paths.Exists("\\\\server\\share\\x"));
}

TEST(HostPaths, BareDriveExistsWhenMappedAndItsRootExists) {
    TempDir c;
    const HostPaths paths({{'C', c.path()}, {'D', c.path() / "missing"}});
    EXPECT_TRUE(paths.Exists("C:"));
    EXPECT_FALSE(paths.Exists("D:"));
    EXPECT_FALSE(paths.Exists("E:"));
}

TEST(HostPaths, NativeAbsolutePathsAreUsedAsTheyAre) {
    TempDir c;
    WriteText(c / "a.txt", "x");
    const HostPaths paths({});
    EXPECT_TRUE(paths.Exists((c / "a.txt").string()));
}

TEST(HostPaths, EnvironmentDriveMapWins) {
    TempDir c;
    brio::test::ScopedEnv drives("BRIOSCHEDULE_DRIVES", "C:=" + c.path().string());
    EXPECT_EQ(HostPaths::FromEnvironment().drives().at('C'), c.path());
}
