#include "AtomicFile.h"
#include "BrioError.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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
