#include "SuiteSettings.h"

#include "BrioError.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using brio::BrioError;
using brio::SuiteSettings;
using brio::test::TempDir;
using brio::test::WriteText;

namespace {

// Loads `content` as SuiteSettings.ini for the data source "Velmorax".
SuiteSettings loaded(const TempDir& dir, const std::string& content) {
    WriteText(dir / "SuiteSettings.ini", content);
    SuiteSettings settings(dir.path());
    settings.setDataSource("Velmorax");
    settings.Load();
    return settings;
}

BrioError loadError(const TempDir& dir, const std::string& content,
                    const std::string& dataSource = "Velmorax") {
    WriteText(dir / "SuiteSettings.ini", content);
    SuiteSettings settings(dir.path());
    settings.setDataSource(dataSource);
    try {
        settings.Load();
    } catch (const BrioError& e) {
        EXPECT_TRUE(settings.ConnectionText().empty());
        EXPECT_EQ(settings.ConnectionTimeout(), 0);
        return e;
    }
    ADD_FAILURE() << "Load did not fail";
    return BrioError(0);
}

} // namespace

TEST(SuiteSettings, ReadsItsOwnSectionOnly) {
    TempDir dir;
    const SuiteSettings settings = loaded(dir, "\xEF\xBB\xBF; configuración\r\n"
                                               "[Contabilidad]\r\n"
                                               "ConnectionText=otra\r\n"
                                               "ConnectionTimeout=99\r\n"
                                               "CommandTimeout=99\r\n"
                                               "\r\n"
                                               "[ velmorax ]\r\n"
                                               "# comentario\r\n"
                                               "  connectiontext = YWJj+/9=  \r\n"
                                               "ConnectionTimeout=0\r\n"
                                               "COMMANDTIMEOUT=32767\r\n"
                                               "[Velmorax]\r\n"
                                               "ConnectionText=segunda\r\n");
    EXPECT_EQ(settings.ConnectionText(), "YWJj+/9=");
    EXPECT_EQ(settings.ConnectionTimeout(), 0);
    EXPECT_EQ(settings.CommandTimeout(), 32767);
}

TEST(SuiteSettings, KeepsQuotedValuesAndEqualSignsInside) {
    TempDir dir;
    const SuiteSettings settings =
        loaded(dir, "[Velmorax]\nConnectionText=\"a=b==\"\nConnectionTimeout=+15\nCommandTimeout= 30 \n");
    EXPECT_EQ(settings.ConnectionText(), "a=b==");
    EXPECT_EQ(settings.ConnectionTimeout(), 15);
    EXPECT_EQ(settings.CommandTimeout(), 30);
}

TEST(SuiteSettings, NamesWhatIsMissing) {
    TempDir dir;
    {
        SuiteSettings settings(dir.path());
        settings.setDataSource("Velmorax");
        try {
            settings.Load();
            FAIL() << "no error for a missing file";
        } catch (const BrioError& e) {
            EXPECT_EQ(e.number(), 53);
            EXPECT_NE(e.description().find("SuiteSettings.ini"), std::string::npos) << e.description();
        }
    }

    const std::string complete = "ConnectionText=c2VjcmV0bw==\nConnectionTimeout=15\nCommandTimeout=30\n";
    BrioError e = loadError(dir, "[Contabilidad]\n" + complete);
    EXPECT_EQ(e.number(), 5);
    EXPECT_NE(e.description().find("[Velmorax]"), std::string::npos) << e.description();

    e = loadError(dir, "[Velmorax]\n" + complete, "");
    EXPECT_EQ(e.number(), 5);
    EXPECT_NE(e.description().find("origen de datos"), std::string::npos) << e.description();

    for (const char* key : {"ConnectionText", "ConnectionTimeout", "CommandTimeout"}) {
        std::string content = "[Velmorax]\n" + complete;
        content.erase(content.find(key), content.find('\n', content.find(key)) - content.find(key) + 1);
        // A key of the same name in a later section does not count.
        e = loadError(dir, content + "[Otra]\n" + complete);
        EXPECT_EQ(e.number(), 5) << key;
        EXPECT_NE(e.description().find(key), std::string::npos) << e.description();
        EXPECT_EQ(e.description().find("c2VjcmV0bw"), std::string::npos);
    }
}

TEST(SuiteSettings, RefusesTimeoutsThatAreNotSixteenBitSeconds) {
    TempDir dir;
    for (const char* value : {"", "abc", "15s", "1.5", "0x10"}) {
        const BrioError e = loadError(dir, std::string("[Velmorax]\nConnectionText=c2VjcmV0bw==\n"
                                                       "ConnectionTimeout=") +
                                               value + "\nCommandTimeout=30\n");
        EXPECT_EQ(e.number(), 13) << value;
        EXPECT_NE(e.description().find("ConnectionTimeout"), std::string::npos) << e.description();
    }
    for (const char* value : {"32768", "-1", "99999999999999999999"}) {
        const BrioError e = loadError(dir, std::string("[Velmorax]\nConnectionText=c2VjcmV0bw==\n"
                                                       "ConnectionTimeout=15\nCommandTimeout=") +
                                               value + "\n");
        EXPECT_EQ(e.number(), 6) << value;
        EXPECT_NE(e.description().find("CommandTimeout"), std::string::npos) << e.description();
        EXPECT_EQ(e.description().find("c2VjcmV0bw"), std::string::npos);
    }
}
