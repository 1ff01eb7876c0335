// A command over many tasks can be cancelled part way: it stops at the next task, keeps what was done
// and says how far it got.
#include "CommandFixture.h"

#include "AdminListFile.h"
#include "CommandProgress.h"

namespace brio::test {

namespace {

using CommandProgressTest = CommandTest;

TEST_F(CommandProgressTest, CancellingStopsAtTheNextTaskAndKeepsWhatWasDone) {
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "C"}, {.name = "D"}, {.name = "E"}});
    AdminListFile list(home_.path());
    std::vector<std::pair<std::string, std::string>> values;
    for (const char* name : {"A", "B", "C", "D", "E"})
        values.emplace_back(name, "1");

    CommandProgress progress(nullptr, QStringLiteral("Deshabilitando tareas…"), values.size());
    progress.Dialog().setMinimumDuration(0);
    const auto told = progress.Progress()->step;
    progress.Progress()->step = [&](std::size_t done, std::size_t total) {
        if (done == 2)
            progress.Dialog().cancel(); // as the person's click on "Cancelar" does
        return told(done, total);
    };
    EXPECT_FALSE(
        progress.Run([&](NameProgress* p) { list.SetXMLAttrs(values, "disabled", MissingEntry::Skip, p); }));
    EXPECT_EQ(Attr("A", "disabled"), "1");
    EXPECT_EQ(Attr("B", "disabled"), "1");
    for (const char* name : {"C", "D", "E"})
        EXPECT_NE(Attr(name, "disabled"), "1") << name;
    const QList<MsgBox::Shown> shown = TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("se trataron 2 de 5 tareas")))
        << shown[0].text.toStdString();

    // Not cancelled, it runs to its end and says nothing.
    CommandProgress whole(nullptr, QStringLiteral("Habilitando tareas…"), values.size());
    for (auto& [name, value] : values)
        value = "0";
    EXPECT_TRUE(
        whole.Run([&](NameProgress* p) { list.SetXMLAttrs(values, "disabled", MissingEntry::Skip, p); }));
    EXPECT_EQ(Attr("E", "disabled"), "0");
    EXPECT_TRUE(TakeShown().isEmpty());
}

} // namespace

} // namespace brio::test
