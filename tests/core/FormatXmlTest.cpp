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
