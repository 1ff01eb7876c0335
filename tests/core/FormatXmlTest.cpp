#include "ErrorOf.h"
#include "ListFixture.h"

#include <filesystem>

using namespace brio;
using namespace brio::test;

namespace {
class FormatXml : public ListFixture {};
} // namespace

TEST_F(FormatXml, NewListFileBecomesThreeLines) {
    writeList("<TAREAS briopath=\"\"></TAREAS>");
    list().FormatXML();
    EXPECT_EQ(readList(), "\r\n<TAREAS briopath=\"\">\r\n</TAREAS>\r\n");
}

TEST_F(FormatXml, OneTagPerLineIndentedByTabsAndIdempotent) {
    writeList(
        "<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"><CONFIGURACION hidden=\"0\"/>"
        "<TRIGGERS><TRIGGER triggerType=\"1\"/><TRIGGER triggerType=\"2\"/></TRIGGERS></TAREA></TAREAS>");
    list().FormatXML();
    const std::string expected = "\r\n<TAREAS briopath=\"\">"
                                 "\r\n\t<TAREA name=\"a\" applicationName=\"b\">"
                                 "\r\n\t\t<CONFIGURACION hidden=\"0\"/>"
                                 "\r\n\t\t<TRIGGERS>"
                                 "\r\n\t\t\t<TRIGGER triggerType=\"1\"/>"
                                 "\r\n\t\t\t<TRIGGER triggerType=\"2\"/>"
                                 "\r\n\t\t</TRIGGERS>"
                                 "\r\n\t</TAREA>"
                                 "\r\n</TAREAS>\r\n";
    EXPECT_EQ(readList(), expected);
    list().FormatXML();
    EXPECT_EQ(readList(), expected);
    // The formatted file still reads as the same list.
    EXPECT_EQ(AdminListFile(home.path(), HostPaths({})).getXMLTaskList().size(), 1u);
}

TEST_F(FormatXml, AppendedEntriesAreIndentedContinuingFromTheLevelReached) {
    writeList("\r\n<TAREAS briopath=\"\">\r\n\t<TAREA name=\"a\" applicationName=\"b\"/>"
              "<TAREA name=\"c\" applicationName=\"d\"/></TAREAS>");
    // A file that starts with an empty line is taken as formatted and left alone.
    const std::string before = readList();
    list().FormatXML();
    EXPECT_EQ(readList(), before);
    writeList("<TAREAS briopath=\"\">\r\n\t<TAREA name=\"a\" applicationName=\"b\"/>\r\n"
              "<TAREA name=\"c\" applicationName=\"d\"/></TAREAS>");
    list().FormatXML();
    EXPECT_EQ(readList(), "\r\n<TAREAS briopath=\"\">\r\n\t<TAREA name=\"a\" applicationName=\"b\"/>\r\n"
                          "\r\n\t<TAREA name=\"c\" applicationName=\"d\"/>\r\n</TAREAS>\r\n");
}

TEST_F(FormatXml, EmptyAndMissingFiles) {
    list().FormatXML();
    EXPECT_FALSE(std::filesystem::exists(listFile()));
    writeList("");
    list().FormatXML();
    EXPECT_EQ(readList(), "");
    EXPECT_FALSE(std::filesystem::exists(home / "TaskConfig.XML_"));
}

TEST_F(FormatXml, LinesOfAnyLengthAreKeptWhole) {
    const std::string text(100000, 'y');
    writeList("<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\" text=\"" + text +
              "\"/></TAREAS>");
    list().FormatXML();
    EXPECT_EQ(readList(), "\r\n<TAREAS briopath=\"\">\r\n\t<TAREA name=\"a\" applicationName=\"b\" text=\"" +
                              text + "\"/>\r\n</TAREAS>\r\n");
}

TEST_F(FormatXml, KeepsPermissionsAndRemovesStaleTemporary) {
    writeList("<TAREAS briopath=\"\"></TAREAS>");
    WriteText(home / "TaskConfig.XML_", "restos");
    std::filesystem::permissions(listFile(), std::filesystem::perms(0600));
    list().FormatXML();
    EXPECT_EQ(std::filesystem::status(listFile()).permissions(), std::filesystem::perms(0600));
    EXPECT_FALSE(std::filesystem::exists(home / "TaskConfig.XML_"));
}

TEST(IndentXmlLine, LinesWithTabsPassUnchangedAndTheLevelNeverGoesNegative) {
    AdminListFile l("/nonexistent", HostPaths({}));
    EXPECT_EQ(l.IndentXmlLine("\t<a><b/></a>"), "\t<a><b/></a>");
    EXPECT_EQ(l.IndentXmlLine("</a></b><c/>"), "\r\n</a>\r\n</b>\r\n<c/>");
}

TEST_F(FormatXml, WhatCannotBeFormattedSafelyIsLeftAsItWas) {
    const std::string utf16 = std::string("\xFF\xFE", 2) + [] {
        std::string wide;
        for (char c : std::string("<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"/></TAREAS>"))
            wide += std::string{c, '\0'};
        return wide;
    }();
    const std::string cases[] = {
        "<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"></TAREAS>", // does not parse
        // Bytes that do not parse, but would once line breaks stood before their tags (found by fuzzing).
        ReadText(std::filesystem::path(BRIO_TEST_DATA) / "parses-only-once-formatted.xml"),
        "<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"/></TAREAS></TAREAS>",
        utf16, // the reader takes it, but line breaks of single bytes would break it
        // The reader takes a raw "<" in a value, which a line break would change.
        "<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\" commandLine=\"x <y\"/></TAREAS>",
        "<TAREAS briopath=\"\"><TAREA name='a' applicationName='b\"' commandLine='x\"<y'/></TAREAS>",
    };
    AdminListFile formatter = list();
    for (const std::string& text : cases) {
        writeList(text);
        EXPECT_EQ(ErrorOf([&] { formatter.FormatXML(); }), err::PathFileAccess) << text;
        EXPECT_EQ(readList(), text);
        EXPECT_FALSE(std::filesystem::exists(home / "TaskConfig.XML_"));
    }
    // A raw "<" is named where it stands in the file.
    writeList(cases[5]);
    std::string why;
    ErrorOf([&] { formatter.FormatXML(); }, &why);
    EXPECT_NE(why.find("«<» sin escapar (posición " + std::to_string(cases[5].find("x\"<") + 2) + ")"),
              std::string::npos)
        << why;
}

TEST_F(FormatXml, OutputIsLinearParsesAndSettlesInOneRun) {
    std::string deep = "<TAREAS briopath=\"\">";
    for (int i = 0; i < 2000; ++i)
        deep += "<a>";
    for (int i = 0; i < 2000; ++i)
        deep += "</a>";
    deep += "</TAREAS>";
    const std::string cases[] = {
        deep,
        // The declaration stays first; comments stay.
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- lista --><TAREAS briopath=\"\"><TAREA name=\"a\" "
        "applicationName=\"b\"/></TAREAS>",
        // Quotes and "<" outside values leave them to the formatter: document type, comment, instruction,
        // CDATA.
        "<!DOCTYPE TAREAS [<!ENTITY e \"a<b>\"> <!-- x\"[ -->]><!-- \"<a\" --><TAREAS briopath=\"\"><?pi "
        "a=\"<\"?>"
        "<TAREA name=\"a\" applicationName=\"b\"/><![CDATA[ \"<x ]]></TAREAS>",
        // A long first line without markup before the root.
        std::string(30, ' ') + "<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"/></TAREAS>",
        // Windows-1252 bytes and escaped or plain markup characters in values pass unchanged.
        "<TAREAS briopath=\"\"><TAREA name=\"A\xF1o\" applicationName=\"b\" commandLine=\"x &lt; y/> "
        "z\"/></TAREAS>",
    };
    for (const std::string& text : cases) {
        AdminListFile formatter = list();
        writeList(text);
        formatter.FormatXML();
        const std::string once = readList();
        EXPECT_LT(once.size(), 20 * text.size()) << "indentation must not grow with depth";
        EXPECT_EQ(once.substr(0, 5) == "<?xml", text.substr(0, 5) == "<?xml");
        EXPECT_NO_THROW(AdminListFile(home.path(), HostPaths({})).getXMLTaskList());
        formatter.FormatXML();
        EXPECT_EQ(readList(), once) << "a second run changes nothing";
    }
    EXPECT_NE(readList().find("A\xF1o\" applicationName=\"b\" commandLine=\"x &lt; y/> z\"/>"),
              std::string::npos);
}

TEST_F(FormatXml, AStaleTemporaryIsRemovedAndNeverWrittenThrough) {
    writeList("<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"b\"/></TAREAS>");
    WriteText(home / "otro.txt", "intacto");
    std::filesystem::create_hard_link(home / "otro.txt", home / "TaskConfig.XML_");
    list().FormatXML();
    EXPECT_EQ(ReadText(home / "otro.txt"), "intacto");
    EXPECT_FALSE(std::filesystem::exists(home / "TaskConfig.XML_"));
    EXPECT_EQ(readList().substr(0, 2), "\r\n");
}
