#include "BrioError.h"
#include "ErrorOf.h"
#include "ListDocument.h"
#include "ListFixture.h"

#include <filesystem>
#include <iterator>

using namespace brio;
using namespace brio::test;

namespace {
class ListRead : public ListFixture {};
} // namespace

TEST_F(ListRead, MissingFileIsAnEmptyListAndIsNotCreated) {
    EXPECT_TRUE(list().getXMLTaskList().empty());
    EXPECT_FALSE(std::filesystem::exists(listFile()));
}

TEST_F(ListRead, RootWithoutEntriesIsEmpty) {
    writeList("<TAREAS briopath=\"\"></TAREAS>");
    EXPECT_TRUE(list().getXMLTaskList().empty());
    writeList(
        "<OTRA><TAREA name=\"a\" applicationName=\"b\"/></OTRA>"); // a root of another name holds no entries
    EXPECT_TRUE(list().getXMLTaskList().empty());
}

TEST_F(ListRead, RecordsInDocumentOrderWithTolerantAttributes) {
    WriteText(c / "BRIO/VELMORAX/a.exe", "");
    writeList(
        "<TAREAS>\r\n\t" +
        Entry("Uno", "C:\\BRIO\\VELMORAX\\a.exe",
              "selected=\"3\" disabled=\"0\" text=\"A las 2:00\" StartTimeRandom=\"15\"",
              "<CONFIGURACION hidden=\"1\"/>") +
        Entry("Dos", "C:\\BRIO\\VELMORAX\\a.exe", "disabled=\"1\" selected=\"x\" StartTimeRandom=\"40000\"") +
        Entry("Tres", "C:\\BRIO\\VELMORAX\\a.exe", "disabled=\"quizá\"", "<CONFIGURACION hidden=\"no\"/>") +
        "</TAREAS>");
    const auto before = stamp();
    const TareaList tasks = list().getXMLTaskList();
    ASSERT_EQ(tasks.size(), 3u);
    EXPECT_EQ(tasks[0].Name(), "Uno");
    EXPECT_EQ(tasks[0].Seleccion(), 3);
    EXPECT_EQ(tasks[0].StartTimeRandom(), 15);
    EXPECT_TRUE(tasks[0].Enabled());
    EXPECT_TRUE(tasks[0].hidden());
    EXPECT_EQ(tasks[0].Text(), "A las 2:00");
    EXPECT_EQ(tasks[0].State(), 0);
    EXPECT_FALSE(tasks[1].Enabled());
    EXPECT_EQ(tasks[1].Seleccion(), 0);
    EXPECT_EQ(tasks[1].StartTimeRandom(), 0); // does not fit 16 bits: the default stays
    EXPECT_FALSE(tasks[1].hidden());
    EXPECT_FALSE(tasks[2].Enabled()); // neither a number nor True/False
    EXPECT_FALSE(tasks[2].hidden());
    EXPECT_EQ(tasks[2].Text(), "");
    EXPECT_EQ(stamp(), before) << "nothing needed repair, so nothing is saved";
}

TEST_F(ListRead, MovedProgramsAreRepairedToTheDriveFoundOnceAndSavedOnce) {
    WriteText(d / "BRIO/VELMORAX/bin/a.exe", "");
    WriteText(d / "BRIO/VELMORAX/bin/b.exe", "");
    writeList("<TAREAS>" +
              Entry("A", "C:\\BRIO\\VELMORAX\\bin\\a.exe", "workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\"") +
              Entry("B", "X:\\Apps\\brio\\velmorax\\bin\\b.exe") + "</TAREAS>");
    const TareaList tasks = list().getXMLTaskList();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].ApplicationName(), "D:\\BRIO\\VELMORAX\\bin\\a.exe");
    EXPECT_EQ(tasks[1].ApplicationName(), "D:\\brio\\velmorax\\bin\\b.exe");
    EXPECT_EQ(tasks[0].State(), 0);
    EXPECT_EQ(tasks[1].State(), 0);
    const std::string saved = readList();
    EXPECT_NE(saved.find("applicationName=\"D:\\BRIO\\VELMORAX\\bin\\a.exe\" "
                         "workingDirectory=\"D:\\BRIO\\VELMORAX\\bin\""),
              std::string::npos);
    EXPECT_NE(saved.find("workingDirectory=\"D:\\brio\\velmorax\\bin\""), std::string::npos);
    // A second read finds everything in place and writes nothing.
    const auto before = stamp();
    list().getXMLTaskList();
    EXPECT_EQ(stamp(), before);
}

// Reads leave the whitespace between elements out of the document; the repair of a formatted list is
// made on a load that keeps it, so the saved file keeps its line breaks. A document loaded to be read is
// never saved.
TEST_F(ListRead, AFormattedListKeepsItsLayoutWhenRepairedAndAReadOnlyLoadIsNeverSaved) {
    WriteText(d / "BRIO/VELMORAX/bin/a.exe", "");
    const std::string layout = "\r\n<TAREAS>\r\n\t" + Entry("A", "C:\\BRIO\\VELMORAX\\bin\\a.exe") +
                               "\r\n\t" + Entry("B", "D:\\BRIO\\VELMORAX\\bin\\a.exe") + "\r\n</TAREAS>\r\n";
    writeList(layout);
    ListDocument read(listFile());
    ASSERT_TRUE(read.Load(ListDocument::Use::Read));
    EXPECT_STREQ(read.FindEntry("B").attribute("applicationName").value(), "D:\\BRIO\\VELMORAX\\bin\\a.exe");
    EXPECT_EQ(std::distance(read.Root().begin(), read.Root().end()), 2) << "no whitespace nodes";
    EXPECT_NE(ErrorOf([&] { read.Save(); }), 0);
    EXPECT_EQ(readList(), layout);

    const TareaList tasks = list().getXMLTaskList();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].ApplicationName(), "D:\\BRIO\\VELMORAX\\bin\\a.exe");
    EXPECT_NE(readList().find("\"/>\r\n\t<TAREA name=\"B\""), std::string::npos) << "line breaks kept";
}

TEST_F(ListRead, ProgramMissingOnEveryDriveIsMarkedAndKeepsItsPath) {
    const HostPaths onlyD({{'D', d.path()}}); // no drive has the tree, and bare C: is not mapped
    writeList("<TAREAS>" + Entry("A", "C:\\BRIO\\VELMORAX\\bin\\gone.exe", "disabled=\"1\" selected=\"2\"") +
              "</TAREAS>");
    const auto before = stamp();
    const TareaList tasks = AdminListFile(home.path(), onlyD).getXMLTaskList();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].State(), 128);
    EXPECT_EQ(tasks[0].ApplicationName(), "C:\\BRIO\\VELMORAX\\bin\\gone.exe");
    EXPECT_EQ(tasks[0].Seleccion(), 2);
    EXPECT_FALSE(tasks[0].Enabled());
    EXPECT_EQ(stamp(), before);
}

TEST_F(ListRead, MissingProgramOutsideTheTreeIsRewrittenUnchangedAndNotMarked) {
    writeList("<TAREAS>" + Entry("A", "C:\\Otros\\x.exe") + Entry("B", "nada.exe", "workingDirectory=\"W\"") +
              "</TAREAS>");
    const TareaList tasks = list().getXMLTaskList();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].State(), 0);
    EXPECT_EQ(tasks[0].ApplicationName(), "C:\\Otros\\x.exe");
    EXPECT_NE(readList().find("workingDirectory=\"C:\\Otros\""), std::string::npos);
    EXPECT_NE(readList().find("workingDirectory=\"W\""), std::string::npos) << "no folder part: kept";
}

TEST_F(ListRead, EntryWithoutNameOrProgramStopsTheReadAndSavesNothing) {
    writeList("<TAREAS>" + Entry("A", "C:\\BRIO\\VELMORAX\\moved.exe") + "<TAREA name=\"B\"/></TAREAS>");
    WriteText(d / "BRIO/VELMORAX/moved.exe", "");
    const std::string before = readList();
    try {
        list().getXMLTaskList();
        FAIL() << "expected an error";
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::TypeMismatch);
        EXPECT_NE(e.description().find("applicationName"), std::string::npos);
    }
    EXPECT_EQ(readList(), before) << "the repair of the first entry is not saved either";
}

TEST_F(ListRead, UnparsableFilesFailClearlyAndAreNeverTouched) {
    const std::string cases[] = {
        "",                                          // empty
        "<TAREAS briopath=\"\"><TAREA name=\"a\"",   // truncated
        std::string("\x00\x01\xFF\xFE garbage", 12), // binary
        "<TAREAS><TAREA name=\"a\"></TAREAS>",       // mismatched tags
    };
    for (const std::string& bad : cases) {
        writeList(bad);
        for (auto op : {+[](AdminListFile& l) { l.getXMLTaskList(); },
                        +[](AdminListFile& l) { l.SetXMLAttr("a", "disabled", "1"); },
                        +[](AdminListFile& l) { l.RemoveBrioTask("a"); },
                        +[](AdminListFile& l) { l.XMLRandomTime({"a"}, 5); }}) {
            AdminListFile l = list();
            try {
                op(l);
                ADD_FAILURE() << "expected an error for: " << bad;
            } catch (const BrioError& e) {
                EXPECT_EQ(e.number(), err::PathFileAccess);
                EXPECT_NE(e.description().find("TaskConfig.XML"), std::string::npos);
                EXPECT_NE(e.description().find("línea"), std::string::npos);
            }
            EXPECT_EQ(readList(), bad);
        }
    }
}

TEST_F(ListRead, WindowsLatinTextAndHugeAttributesDoNotBreakTheRead) {
    const std::string huge(3 << 20, 'x');
    writeList("<TAREAS>" + Entry("Men\xFA", "C:\\x.exe", "text=\"" + huge + "\"") + "</TAREAS>");
    const HostPaths none({});
    const TareaList tasks = AdminListFile(home.path(), none).getXMLTaskList();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].Text().size(), huge.size());
    EXPECT_EQ(tasks[0].State(), 128);
}

TEST(InstallPaths, RelocateMovesIntoTheTreeInAnyLetterCase) {
    EXPECT_EQ(AdminListFile::RelocateInstallPath("C:", "D:\\Apps\\BRIO\\VELMORAX\\bin\\run.exe"),
              "C:\\BRIO\\VELMORAX\\bin\\run.exe");
    EXPECT_EQ(AdminListFile::RelocateInstallPath("E:", "D:\\brio\\Velmorax\\run.exe"),
              "E:\\brio\\Velmorax\\run.exe");
    EXPECT_EQ(AdminListFile::RelocateInstallPath("C:", "D:\\Otros\\run.exe"), "D:\\Otros\\run.exe");
}

TEST_F(ListRead, FindInstallDriveSearchesCThenDThenE) {
    WriteText(e / "BRIO/VELMORAX/bin/run.exe", "");
    AdminListFile l = list();
    EXPECT_EQ(l.FindInstallDrive("X:\\BRIO\\VELMORAX\\bin\\run.exe"), "E:");
    WriteText(d / "BRIO/VELMORAX/bin/run.exe", "");
    EXPECT_EQ(l.FindInstallDrive("X:\\BRIO\\VELMORAX\\bin\\run.exe"), "D:");
    EXPECT_EQ(l.FindInstallDrive("X:\\BRIO\\VELMORAX\\bin\\otro.exe"), "");
    EXPECT_EQ(l.FindInstallDrive("X:\\fuera\\otro.exe"), "C:") << "bare drive names exist";
    EXPECT_EQ(l.FindInstallDrive("D:\\BRIO\\VELMORAX\\bin\\run.exe"), "D:")
        << "an existing path gives its own drive";
}
