// The repair through the window: the account, the key folders of two profiles and the account applied
// to every scheduler task.
#include "CommandFixture.h"

namespace brio::test {

namespace {

class RepairCommandTest : public CommandTest {
protected:
    std::filesystem::path Rsa(const std::string& profile) {
        return drive_.path() / "Documents and Settings" / profile / "Datos de programa/Microsoft/Crypto/RSA";
    }
    QList<MsgBox::Shown> Repair() {
        window().menus().mnuTareasReparar->trigger();
        return TakeShown();
    }
    void OpenSystemView() {
        AddSystemTask("A", "/bin/true");
        AddSystemTask("B", "/bin/true");
        Open();
        window().mnuVerTareasSistema_Click();
    }
};

TEST_F(RepairCommandTest, RemovesTheFirstKeyFolderOfBothProfilesThenAppliesTheAccount) {
    WriteText(Rsa(kUser) / "S-1-5-18/key", "x");
    WriteText(Rsa(kUser) / "S-1-5-21-1/key", "x");
    WriteText(Rsa("All Users") / "S-1-5-18/key", "x");
    OpenSystemView();
    AccountPrompt::queueAccount(kUser, kPassword);
    const auto shown = Repair();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Las tareas fueron reparadas con exito.");
    EXPECT_EQ(shown[0].title, MsgBox::AppTitle());
    EXPECT_EQ(shown[0].icon, MsgIcon::Information);
    EXPECT_FALSE(std::filesystem::exists(Rsa(kUser) / "S-1-5-18"));
    EXPECT_TRUE(std::filesystem::exists(Rsa(kUser) / "S-1-5-21-1/key"));
    EXPECT_FALSE(std::filesystem::exists(Rsa("All Users") / "S-1-5-18"));
    EXPECT_EQ(StoreTask("A")->AccountName(), kUser);
    EXPECT_EQ(StoreTask("B")->AccountName(), kUser);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RepairCommandTest, CancellingTheAccountTouchesNothing) {
    WriteText(Rsa(kUser) / "S-1-5-18/key", "x");
    OpenSystemView();
    AccountPrompt::queueCancel();
    EXPECT_TRUE(Repair().isEmpty());
    EXPECT_TRUE(std::filesystem::exists(Rsa(kUser) / "S-1-5-18/key"));
    EXPECT_EQ(StoreTask("A")->AccountName(), "");
}

TEST_F(RepairCommandTest, AHiddenFileMakesTheRemovalFailWithAbortRetryIgnore) {
    WriteText(Rsa(kUser) / "S-1-5-18/.oculto", "x");
    WriteText(Rsa(kUser) / "S-1-5-18/visible", "x");
    OpenSystemView();
    StoreAccountByImport("A");
    MsgBox::queueAnswer(QMessageBox::Retry); // the same step again, failing again
    MsgBox::queueAnswer(QMessageBox::Abort); // then Abort: the repair goes on
    const auto shown = Repair();
    ASSERT_EQ(shown.size(), 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(shown[i].text.startsWith("Error 75 (Error de acceso a la ruta o el archivo: "))
            << shown[i].text.toStdString();
        EXPECT_EQ(shown[i].buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        EXPECT_EQ(shown[i].icon, MsgIcon::Critical);
        EXPECT_EQ(shown[i].title, MsgBox::AppTitle());
    }
    EXPECT_EQ(shown[2].text, "Las tareas fueron reparadas con exito.");
    EXPECT_TRUE(std::filesystem::exists(Rsa(kUser) / "S-1-5-18/.oculto"));
    EXPECT_FALSE(std::filesystem::exists(Rsa(kUser) / "S-1-5-18/visible"));
    EXPECT_EQ(StoreTask("B")->AccountName(), kUser);
}

TEST_F(RepairCommandTest, AUserNameThatCouldLeadElsewhereIsRefusedBeforeAnyFileIsTouched) {
    // "../intruso" would reach C:\Documents and Settings\..\intruso\...
    const std::filesystem::path outside =
        drive_.path() / "intruso/Datos de programa/Microsoft/Crypto/RSA/S-1/f";
    WriteText(outside, "x");
    WriteText(Rsa("All Users") / "S-1-5-18/key", "x");
    OpenSystemView();
    AccountPrompt::queueAccount("../intruso", "Clave-3"); // the host's logon accepts it
    const auto shown = Repair();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(
        shown[0].text.startsWith("Error 52 (Nombre o número de archivo incorrecto: el nombre de usuario"))
        << shown[0].text.toStdString();
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(std::filesystem::exists(outside));
    EXPECT_TRUE(std::filesystem::exists(Rsa("All Users") / "S-1-5-18/key"));
    EXPECT_EQ(StoreTask("A")->AccountName(), ""); // the repair ended there
}

TEST_F(RepairCommandTest, AFailureApplyingTheAccountIsReportedWithoutSuccess) {
    WriteText(Rsa("All Users") / "S-1-5-18/key", "x");
    OpenSystemView();
    StoreAccountByImport("A");
    SetPamAccounts({}); // the host no longer accepts the stored account
    const auto shown = Repair();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("Error 70 (")) << shown[0].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(Rsa("All Users") / "S-1-5-18")); // removed before the failure
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window().StoredUser(), kUser); // only the export clears the account
}

} // namespace

} // namespace brio::test
