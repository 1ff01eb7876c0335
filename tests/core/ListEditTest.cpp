#include "BrioError.h"
#include "ErrorOf.h"
#include "ListDocument.h"
#include "ListEntryIndex.h"
#include "ListFixture.h"

#include <filesystem>
#include <iterator>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brio;
using namespace brio::test;

namespace {

class ListEdit : public ListFixture {
protected:
    void SetUp() override {
        writeList(
            "<TAREAS briopath=\"\">" +
            Entry("Copia", "C:\\a.exe", "disabled=\"0\"", "<CONFIGURACION disabled=\"0\" hidden=\"0\"/>") +
            Entry("Con &quot;comillas&quot;", "C:\\b.exe", "Seleccion=\"5\"") +
            Entry("Copia", "C:\\duplicada.exe", "disabled=\"0\"") + "</TAREAS>");
    }
};

} // namespace

TEST_F(ListEdit, DisabledIsWrittenOnTheEntryAndItsConfiguration) {
    list().SetXMLAttr("Copia", "disabled", "1");
    EXPECT_NE(readList().find("<TAREA name=\"Copia\" applicationName=\"C:\\a.exe\" disabled=\"1\">"
                              "<CONFIGURACION disabled=\"1\""),
              std::string::npos);
    EXPECT_NE(readList().find("C:\\duplicada.exe\" disabled=\"0\""), std::string::npos)
        << "only the first match";
    list().SetXMLAttr("Copia", "Disabled", "1");
    EXPECT_NE(readList().find("Disabled=\"1\"><CONFIGURACION disabled=\"1\" hidden=\"0\"/>"),
              std::string::npos)
        << "another letter case touches only the entry";
}

TEST_F(ListEdit, SetAddsMissingAttributesAndIgnoresUnknownNames) {
    const std::string before = readList();
    list().SetXMLAttr("copia", "Seleccion", "3"); // names match exactly, case included
    EXPECT_EQ(readList(), before);
    list().SetXMLAttr("Copia", "Seleccion", "3");
    EXPECT_EQ(list().GetXMLAttr("Copia", "Seleccion"), "3");
    EXPECT_EQ(list().GetXMLAttr("Copia", "StartTimeRandom"), "");
    EXPECT_EQ(list().GetXMLAttr("Nadie", "Seleccion"), "");
}

TEST_F(ListEdit, NamesWithQuotesAreFoundAndCannotChangeTheQuery) {
    EXPECT_EQ(list().GetXMLAttr("Con \"comillas\"", "Seleccion"), "5");
    for (const char* hostile : {"x\" or \"1\"=\"1", "x'] | //TAREA[@name='Copia", "*", "\") or (\"\"=\""})
        EXPECT_EQ(list().GetXMLAttr(hostile, "applicationName"), "") << hostile;
    list().SetXMLAttr("Con \"comillas\"", "Seleccion", "7");
    EXPECT_EQ(list().GetXMLAttr("Con \"comillas\"", "Seleccion"), "7");
}

TEST_F(ListEdit, BulkReadsAndWritesMatchNameByNameResults) {
    AdminListFile l = list();
    EXPECT_EQ(l.GetXMLAttrs({"Copia", "Nadie", "Con \"comillas\""}, "Seleccion"),
              (std::vector<std::string>{"", "", "5"}));
    l.SetXMLAttrs({{"Copia", "1"}, {"Nadie", "9"}, {"Con \"comillas\"", "4"}}, "disabled");
    EXPECT_EQ(l.GetXMLAttr("Copia", "disabled"), "1");
    EXPECT_EQ(l.GetXMLAttr("Con \"comillas\"", "disabled"), "4");
    EXPECT_NE(readList().find("C:\\duplicada.exe\" disabled=\"0\""), std::string::npos);
}

TEST_F(ListEdit, RandomTimeIsStoredOnEveryNamedEntry) {
    list().XMLRandomTime({"Copia", "Con \"comillas\""}, 15);
    EXPECT_EQ(list().GetXMLAttr("Copia", "StartTimeRandom"), "15");
    EXPECT_EQ(list().GetXMLAttr("Con \"comillas\"", "StartTimeRandom"), "15");
    list().XMLRandomTime({"Copia"}, -10);
    EXPECT_EQ(list().GetXMLAttr("Copia", "StartTimeRandom"), "-10");
    const auto before = stamp();
    list().XMLRandomTime({}, 15);
    EXPECT_EQ(stamp(), before);
}

TEST_F(ListEdit, RemoveTakesTheFirstEntryOfThatNameOnly) {
    const auto before = stamp();
    list().RemoveBrioTask("Nadie");
    EXPECT_EQ(stamp(), before);
    list().RemoveBrioTask("Copia");
    const TareaList left = AdminListFile(home.path(), HostPaths({})).getXMLTaskList();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].Name(), "Con \"comillas\"");
    EXPECT_EQ(left[1].ApplicationName(), "C:\\duplicada.exe");
}

TEST_F(ListEdit, SavesKeepPermissionsAndLeaveNoTemporaryFiles) {
    std::filesystem::permissions(listFile(), std::filesystem::perms(0640));
    list().SetXMLAttr("Copia", "disabled", "1");
    EXPECT_EQ(std::filesystem::status(listFile()).permissions(), std::filesystem::perms(0640));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home.path()))
        files += entry.path().filename() != ".TaskConfig.XML.lock"; // the writers' lock stays
    EXPECT_EQ(files, 1);
}

TEST_F(ListEdit, SavesKeepWhatTheFileHoldsBesidesEntriesAndItsEncoding) {
    struct Case {
        std::string before, after;
    };
    const std::string entry = "<TAREA name=\"A\xF1o\" applicationName=\"x\" disabled=\"0\"/>";
    const Case cases[] = {
        // Declaration and comments stay.
        // (line breaks between them, outside the root, are not kept)
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- copia -->\r\n<TAREAS briopath=\"\"><!-- a -->"
         "<TAREA name=\"Año\" applicationName=\"x\" disabled=\"0\"/></TAREAS>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- copia --><TAREAS briopath=\"\"><!-- a -->"
         "<TAREA name=\"Año\" applicationName=\"x\" disabled=\"1\"/></TAREAS>"},
        // Windows-1252 bytes are read as such and written back unchanged, under a declaration that says so.
        {"<TAREAS briopath=\"\">" + entry + "</TAREAS>",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><TAREAS briopath=\"\"><TAREA name=\"A\xF1o\" "
         "applicationName=\"x\" disabled=\"1\"/></TAREAS>"},
        // Bytes that are not UTF-8 only where a save drops them (after a NUL, or outside the root) leave a
        // UTF-8 list UTF-8, so that it reads the same once saved.
        {"<TAREAS briopath=\"\"><TAREA name=\"Año\" applicationName=\"x\"/></TAREAS>" +
             std::string("\0\xF1", 2),
         "<TAREAS briopath=\"\"><TAREA name=\"Año\" applicationName=\"x\" disabled=\"1\"/></TAREAS>"},
        {"<TAREAS briopath=\"\"><TAREA name=\"Año\" applicationName=\"x\"/></TAREAS>fin \xF1",
         "<TAREAS briopath=\"\"><TAREA name=\"Año\" applicationName=\"x\" disabled=\"1\"/></TAREAS>"},
    };
    for (const Case& c : cases) {
        writeList(c.before);
        AdminListFile l = list();
        ASSERT_EQ(l.getXMLTaskList().at(0).Name(), "Año");
        l.SetXMLAttr("Año", "disabled", "1");
        EXPECT_EQ(readList(), c.after);
        EXPECT_EQ(list().getXMLTaskList().at(0).Name(), "Año") << "read the same once saved";
    }
    // Once the last bytes that are not UTF-8 are gone, the declaration keeps the rest Windows-1252.
    writeList("<TAREAS briopath=\"\">" + entry +
              "<TAREA name=\"X\xC3\xB1\" applicationName=\"x\"/></TAREAS>");
    list().RemoveBrioTask("Año");
    EXPECT_EQ(list().getXMLTaskList().at(0).Name(), "X\xC3\x83\xC2\xB1");
    // UTF-16 stays UTF-16.
    std::string wide = "\xFF\xFE";
    for (char ch : std::string("<TAREAS briopath=\"\"><TAREA name=\"a\" applicationName=\"x\"/></TAREAS>"))
        wide += std::string{ch, '\0'};
    writeList(wide);
    list().SetXMLAttr("a", "disabled", "1");
    const std::string saved = readList();
    EXPECT_EQ(saved.substr(0, 4), std::string("\xFF\xFE<\0", 4));
    EXPECT_EQ(list().GetXMLAttr("a", "disabled"), "1");
}

TEST_F(ListEdit, AReadOnlyListFileIsNotReplaced) {
    std::filesystem::permissions(listFile(), std::filesystem::perms(0444));
    const std::string before = readList();
    const auto attempt = [&] { return ErrorOf([&] { list().SetXMLAttr("Copia", "disabled", "1"); }); };
    if (::geteuid() != 0) {
        EXPECT_EQ(attempt(), err::PermissionDenied);
    } else {
        // Root may write any file: the caller is `nobody`, in a folder it may write to.
        std::filesystem::permissions(home.path(), std::filesystem::perms(0777));
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(2);
            ::_exit(attempt() == err::PermissionDenied ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(readList(), before);
}

TEST_F(ListEdit, MissingListFileIsNeitherReadNorCreated) {
    std::filesystem::remove(listFile());
    AdminListFile l = list();
    l.SetXMLAttr("Copia", "disabled", "1");
    l.RemoveBrioTask("Copia");
    l.XMLRandomTime({"Copia"}, 5);
    EXPECT_EQ(l.GetXMLAttr("Copia", "disabled"), "");
    EXPECT_FALSE(std::filesystem::exists(listFile()));
}

// The index of many names finds what the lookup by name finds (the first entry of that name in document
// order) through removals and appends, duplicated names included, whether it holds every name or only
// the names it was given.
TEST(ListEntryIndex, FindsTheFirstEntryOfANameThroughRemovalsAndAppends) {
    for (const bool onlyNamed : {false, true}) {
        ListDocument doc("/nonexistent/TaskConfig.XML");
        doc.MakeEmpty();
        for (const char* name : {"a", "b", "a", "c", "a", "b"})
            doc.Root().append_child("TAREA").append_attribute("name") = name;
        doc.Root().append_child("TAREA"); // without a name
        ListEntryIndex index = onlyNamed ? ListEntryIndex(doc, std::vector<std::string>{"a", "c", "zz"})
                                         : ListEntryIndex(doc, 10);
        pugi::xml_document scratch;
        pugi::xml_node spare = scratch.append_child("TAREA");
        spare.append_attribute("name") = "c";
        const auto same = [&](const char* step) {
            for (const std::string name : {"a", "b", "c", "zz"})
                EXPECT_EQ(index.Find(name), doc.FindEntry(name)) << step << ": " << name << " " << onlyNamed;
        };
        same("indexed");
        index.Remove(index.Find("a"));
        same("first a removed");
        index.Append(spare);
        same("c appended");
        index.Remove(index.Find("c"));
        same("first c removed");
        index.Remove(index.Find("a"));
        index.Remove(index.Find("b"));
        same("more removed");
        index.Remove(index.Find("a"));
        index.Remove(index.Find("c"));
        same("every a and c removed");
        EXPECT_FALSE(index.Find("a"));
        index.Append(spare);
        same("c appended again");
    }
}
