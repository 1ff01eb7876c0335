// Import, export and launcher generation through the window: the questions, the account and the messages.
#include "CommandFixture.h"

#include "AdminToolbar.h"
#include "EmbeddedDefaults.h"
#include "RunnerControl.h"

#include <QAction>

namespace brio::test {

namespace {

class TransferCommandTest : public CommandTest {
protected:
    void Export() { window().menus().mnuTareasExportar->trigger(); }
    void Import() { window().menus().mnuTareasImportar->trigger(); }
};

TEST_F(TransferCommandTest, NothingCheckedShowsOnlyTheExclamation) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Sistema", "/bin/true");
    Open();
    Export();
    window().Toolbar1()->Button(AdminToolbar::kExportar)->trigger();
    window().mnuVerTareasSistema_Click();
    Import();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].text, "Deben seleccionarse las tareas que se desean exportar.");
    EXPECT_EQ(shown[0].title, "Información");
    EXPECT_EQ(shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(shown[1].text, shown[0].text); // the toolbar button runs the same command
    EXPECT_EQ(shown[2].text, "Deben seleccionarse las tareas que se desean importar.");
    EXPECT_EQ(AccountPrompt::shownCount(), 0);
}

TEST_F(TransferCommandTest, NoOrACancelledAccountEndsSilently) {
    WriteList({{.name = "Copia"}});
    Open();
    Check({"Copia"});
    Export(); // No
    EXPECT_EQ(AccountPrompt::shownCount(), 0);
    AccountPrompt::queueCancel();
    MsgBox::queueAnswer(QMessageBox::Yes);
    Export();
    EXPECT_EQ(AccountPrompt::shownCount(), 1);
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2); // the question twice, no other message
    EXPECT_EQ(shown[1].text, "Las tareas seleccionadas serán exportadas a window. ¿Desea continuar?");
    EXPECT_EQ(shown[1].title, "Confirmación");
    EXPECT_EQ(shown[1].icon, MsgIcon::Question);
    EXPECT_EQ(StoreTask("Copia"), nullptr);
    EXPECT_TRUE(window().StoredUser().empty());
}

TEST_F(TransferCommandTest, ExportAsksForTheAccountOnceAndWritesTheTasksWithIt) {
    WriteList({{.name = "Copia"}, {.name = "Cierre"}, {.name = "Otra"}});
    Open();
    Check({"Copia", "Cierre"});
    // A wrong password first: the refusal is shown and the dialog takes the next attempt.
    AccountPrompt::queueAccount(kUser, "mala");
    AccountPrompt::queueAccount(kUser, kPassword);
    MsgBox::queueAnswer(QMessageBox::Yes);
    Export();
    auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[1].text, "Usuario o contraseña no válido");
    EXPECT_EQ(shown[1].title, "Error");
    EXPECT_EQ(shown[1].icon, MsgIcon::Critical);
    EXPECT_EQ(shown[2].text, ExportedWithoutRunner());
    EXPECT_EQ(shown[2].title, "Información");
    EXPECT_EQ(shown[2].icon, MsgIcon::Information);
    EXPECT_EQ(StoreNames(), (std::vector<std::string>{"Cierre", "Copia"}));
    EXPECT_EQ(StoreTask("Copia")->AccountName(), kUser);

    // The stored account serves the next command without the dialog; with a runner on the store (this
    // test holds its lock) the success message says nothing more.
    StateFolder state(StateFolder::For(store_.path()));
    state.Open(::geteuid());
    RunnerLock runner(state);
    window().tasks()->SetAllChecked(false);
    Check({"Otra"});
    MsgBox::queueAnswer(QMessageBox::Yes);
    Export();
    EXPECT_EQ(AccountPrompt::shownCount(), 1);
    EXPECT_EQ(TakeShown().back().text, "Las tareas fueron exportadas con exito.");
    EXPECT_EQ(StoreTask("Otra")->AccountName(), kUser);
}

TEST_F(TransferCommandTest, ExportRefusedWithError70ClearsTheStoredAccount) {
    WriteList({{.name = "Copia"}});
    AddSystemTask("Sistema", "/bin/true");
    Open();
    StoreAccountByImport("Sistema");
    window().mnuVerTareasBrio_Click();
    Check({"Copia"});
    // The password changes on the host after it was stored.
    SetPamAccounts({std::string(kUser) + ":Nueva-clave:brioschedule"});
    MsgBox::queueAnswer(QMessageBox::Yes);
    Export();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].text.startsWith("Error 70 (Permiso denegado")) << shown[1].text.toStdString();
    EXPECT_EQ(shown[1].icon, MsgIcon::Critical);
    EXPECT_TRUE(window().StoredUser().empty());

    // The next command asks again.
    const int before = AccountPrompt::shownCount();
    AccountPrompt::queueAccount(kUser, "Nueva-clave");
    MsgBox::queueAnswer(QMessageBox::Yes);
    Export();
    EXPECT_EQ(AccountPrompt::shownCount(), before + 1);
    EXPECT_EQ(TakeShown().back().text, ExportedWithoutRunner());
}

TEST_F(TransferCommandTest, ImportCopiesTheCheckedSystemTasksAndKeepsTheAccountAfterAFailure) {
    AddSystemTask("Sistema", "/bin/true");
    AddSystemTask("Otra", "/bin/true");
    Open();
    StoreAccountByImport("Sistema");
    EXPECT_NE(ListText().find("name=\"Sistema\""), std::string::npos);
    EXPECT_EQ(ListText().find("name=\"Otra\""), std::string::npos);

    // A checked task gone from the scheduler fails the import; the account stays stored.
    Check({"Otra"});
    ASSERT_TRUE(std::filesystem::remove(store_ / "Otra.job"));
    MsgBox::queueAnswer(QMessageBox::Yes);
    Import();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].text,
              "Las tareas seleccionadas serán importadas al listado de tareas de Brio. ¿Desea continuar?");
    EXPECT_TRUE(shown[1].text.startsWith("Error 9 ("));
    EXPECT_EQ(window().StoredUser(), kUser);
    EXPECT_EQ(Names().size(), 2u); // the list is not reloaded
}

TEST_F(TransferCommandTest, GenerateAsksThenCreatesOneLauncherPerRemoteWarehouse) {
    EnsureEmbeddedDefaults(home_.path());
    const std::string harbinex = Program("harbinex.exe");
    WriteText(
        home_ / "TaskConfig.XML",
        "<TAREAS briopath=\"\"><TAREA name=\"Harbinex\" applicationName=\"" + harbinex +
            "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"\" selected=\"0\" disabled=\"0\">"
            "<CONFIGURACION deleteWhenDone=\"0\" disabled=\"0\" hidden=\"0\"/><TRIGGERS><TRIGGER "
            "triggerType=\"1\" BeginDay=\"01/01/2024 00:00:00\" StartTime=\"01/01/2024 02:00:00\" "
            "Duration=\"0\" EndDay=\"01/01/2024 00:00:00\" Interval=\"0\" Flags=\"0\" RandomInterval=\"0\" "
            "Daily_Interval=\"1\"/></TRIGGERS></TAREA></TAREAS>");
    Open();
    window().Toolbar1()->Button(AdminToolbar::kHarbinex)->trigger(); // No
    EXPECT_TRUE(StoreNames().empty());
    MsgBox::queueAnswer(QMessageBox::Yes);
    window().Toolbar1()->Button(AdminToolbar::kHarbinex)->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].text, "Se crearan las tareas Harbinex.\r\n¿Desea continuar?");
    EXPECT_EQ(shown[0].title, "Confirmación");
    EXPECT_EQ(shown[2].text, "Las tareas fueron generadas con exito");
    EXPECT_EQ(shown[2].title, MsgBox::AppTitle());
    EXPECT_EQ(shown[2].icon, MsgIcon::Information);
    EXPECT_FALSE(StoreNames().empty());
    for (const std::string& name : StoreNames())
        EXPECT_EQ(name.rfind("Harbinex ", 0), 0u) << name;
    EXPECT_EQ(AccountPrompt::shownCount(), 0);
}

TEST_F(TransferCommandTest, GenerateFailureIsReportedWithoutTheSuccessMessage) {
    // The template entry has no trigger to give the launchers.
    EnsureEmbeddedDefaults(home_.path());
    WriteList({{.name = "Harbinex", .program = Program("harbinex.exe")}});
    Open();
    MsgBox::queueAnswer(QMessageBox::Yes);
    window().Toolbar1()->Button(AdminToolbar::kHarbinex)->trigger();
    const auto shown = TakeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.back().text.startsWith("Error 9 (")) << shown.back().text.toStdString();
    EXPECT_EQ(shown.back().icon, MsgIcon::Critical);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Without a template entry, or with a database that cannot be read, the generation writes nothing (here
// or in the current folder) and ends with its error report alone.
TEST_F(TransferCommandTest, GenerationThatCannotStartWritesNothingAndReportsOnlyTheError) {
    struct Case {
        const char* what;
        std::vector<ListEntry> list;
        std::string settings; // SuiteSettings.ini; empty: the embedded defaults
        const char* error;
    };
    const std::string harbinex = Program("harbinex.exe");
    const Case cases[] = {
        {"no template", {{.name = "Cierre"}}, "", "Error 9 ("},
        {"an unreadable database",
         {{.name = "Harbinex", .program = harbinex}},
         "[Velmorax]\nConnectionText=roto\n",
         "Error "},
    };
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(home_.path());
    for (const Case& c : cases) {
        std::filesystem::remove(home_ / "SuiteSettings.ini");
        if (c.settings.empty())
            EnsureEmbeddedDefaults(home_.path());
        else
            WriteText(home_ / "SuiteSettings.ini", c.settings);
        WriteList(c.list);
        Open();
        MsgBox::queueAnswer(QMessageBox::Yes);
        window().Toolbar1()->Button(AdminToolbar::kHarbinex)->trigger();
        const auto shown = TakeShown();
        ASSERT_EQ(shown.size(), 2) << c.what;
        EXPECT_TRUE(shown[1].text.startsWith(c.error)) << c.what << ": " << shown[1].text.toStdString();
        EXPECT_EQ(shown[1].icon, MsgIcon::Critical);
        EXPECT_TRUE(StoreNames().empty()) << c.what;
        for (const auto& file : std::filesystem::directory_iterator(home_.path()))
            EXPECT_NE(file.path().extension(), ".bat") << c.what;
    }
    std::filesystem::current_path(cwd);
}

} // namespace

} // namespace brio::test
