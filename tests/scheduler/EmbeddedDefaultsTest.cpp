#include "EmbeddedDefaults.h"

#include "BrioError.h"
#include "SuiteSettings.h"
#include "TempDir.h"
#include "TextDecoder.h"
#include "WarehouseFixture.h"
#include "clsDataAlmacen.h"

#include <gtest/gtest.h>

#include <algorithm>

using brio::test::MessageLog;
using brio::test::ReadText;
using brio::test::TempDir;
using Expected = std::vector<std::pair<int, std::string>>;

TEST(EmbeddedDefaults, FirstRunGivesAWorkingDemoDatabase) {
    TempDir dir;
    brio::EnsureEmbeddedDefaults(dir.path());
    ASSERT_TRUE(std::filesystem::exists(dir / "velmorax.db"));

    brio::SuiteSettings settings(dir.path());
    settings.setDataSource("Velmorax");
    settings.Load();
    EXPECT_GT(settings.ConnectionTimeout(), 0);
    EXPECT_GT(settings.CommandTimeout(), 0);
    // Only the encoded form is stored.
    EXPECT_EQ(ReadText(dir / "SuiteSettings.ini").find("velmorax.db"), std::string::npos);
    const std::string connection =
        brio::TextDecoder::DecodeText(settings.ConnectionText(), "mesa azul 48 granito");
    EXPECT_NE(connection.find((dir / "velmorax.db").string()), std::string::npos);

    MessageLog log;
    const auto almacenes = brio::clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path());
    EXPECT_TRUE(log.shown.empty()) << log.shown.front().text;
    EXPECT_EQ(brio::test::Rows(almacenes),
              (Expected{{12, "Centro"}, {14, "Norte"}, {23, "Puerto"}, {31, "Sur"}}));
}

TEST(EmbeddedDefaults, NeverReplacesWhatIsThere) {
    TempDir dir;
    brio::test::WriteText(dir / "SuiteSettings.ini", "[Velmorax]\nmío\n");
    brio::EnsureEmbeddedDefaults(dir.path());
    EXPECT_EQ(ReadText(dir / "SuiteSettings.ini"), "[Velmorax]\nmío\n");
    const std::string database = ReadText(dir / "velmorax.db");
    EXPECT_FALSE(database.empty());

    std::filesystem::remove(dir / "SuiteSettings.ini");
    brio::test::WriteText(dir / "velmorax.db", "no es una base de datos");
    // What a run killed while making them left behind.
    brio::test::WriteText(dir / ".SuiteSettings.ini.k1LLed", "[Velm");
    brio::test::WriteText(dir / ".velmorax.db.Xy12z9", "SQLite format");
    brio::EnsureEmbeddedDefaults(dir.path());
    EXPECT_EQ(ReadText(dir / "velmorax.db"), "no es una base de datos");
    EXPECT_FALSE(ReadText(dir / "SuiteSettings.ini").empty());

    // A second run changes nothing, and no temporary file is left behind (only the writers' lock).
    const std::string settings = ReadText(dir / "SuiteSettings.ini");
    brio::EnsureEmbeddedDefaults(dir.path());
    EXPECT_EQ(ReadText(dir / "SuiteSettings.ini"), settings);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".TaskConfig.XML.lock", "SuiteSettings.ini", "velmorax.db"}));
}

TEST(EmbeddedDefaults, WorksInAFolderWithUnusualCharacters) {
    TempDir dir;
    const auto folder = dir / "Velmorax {demo} año, 2ª";
    std::filesystem::create_directories(folder);
    brio::EnsureEmbeddedDefaults(folder);

    MessageLog log;
    const auto almacenes = brio::clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), folder);
    EXPECT_TRUE(log.shown.empty()) << log.shown.front().text;
    EXPECT_EQ(almacenes.size(), 4u);
}

TEST(EmbeddedDefaults, RefusesAFolderTheDriverCannotName) {
    // The SQLite driver would read the path only up to the ";" and open another file.
    TempDir dir;
    const auto folder = dir / "a;b";
    std::filesystem::create_directories(folder);
    try {
        brio::EnsureEmbeddedDefaults(folder);
        FAIL() << "no error";
    } catch (const brio::BrioError& e) {
        EXPECT_EQ(e.number(), 52);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}
