// The real account dialog, driven with keys and clicks: layout, Enter, Escape, the close box and a refusal.
#include "CommandFixture.h"
#include "ModalDriver.h"

#include "frmAccount.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace brio::test {

namespace {

// The widget Tab gives the focus to after `w`.
QWidget* NextTabStop(QWidget* w) {
    for (QWidget* next = w->nextInFocusChain(); next != w; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisible() && next->isEnabled())
            return next;
    }
    return w;
}

// Types `text` key by key, letters outside ASCII included.
void Type(QWidget* w, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

class AccountDialogTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        AccountPrompt::setScripted(false); // the real dialog
    }
};

TEST_F(AccountDialogTest, LayoutCaptionsAndTabOrder) {
    frmAccount dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Identificación");
    EXPECT_EQ(dialog.size(), QSize(260, 115));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog.Label1->text(), "Usuario:");
    EXPECT_EQ(dialog.Label2->text(), "Contraseña:");
    EXPECT_EQ(dialog.txtUser->geometry(), QRect(77, 16, 173, 20));
    EXPECT_EQ(dialog.cmdAceptar->geometry(), QRect(118, 85, 64, 22));
    EXPECT_EQ(dialog.txtPwd->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.cmdAceptar->text(), "Aceptar");
    EXPECT_TRUE(dialog.cmdAceptar->isDefault());
    EXPECT_EQ(dialog.cmdCancelar->text(), "Cancelar");
    EXPECT_TRUE(dialog.strResult.isEmpty());
    // Tab moves through the boxes and buttons only, in this order.
    EXPECT_EQ(NextTabStop(dialog.txtUser), dialog.txtPwd);
    EXPECT_EQ(NextTabStop(dialog.txtPwd), dialog.cmdAceptar);
    EXPECT_EQ(NextTabStop(dialog.cmdAceptar), dialog.cmdCancelar);
    EXPECT_EQ(NextTabStop(dialog.cmdCancelar), dialog.txtUser);
    // Centred on the screen.
    const QRect screen = dialog.screen()->geometry();
    EXPECT_NEAR(dialog.frameGeometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(dialog.frameGeometry().center().y(), screen.center().y(), 2);
}

TEST_F(AccountDialogTest, EnterInThePasswordBoxAcceptsAndTheWindowKeepsTheAccount) {
    WriteList({{.name = "Copia"}});
    Open();
    Check({"Copia"});
    WhenModal<frmAccount> typing([](frmAccount* d) {
        EXPECT_TRUE(d->txtUser->text().isEmpty()); // never offered a stored name
        QTest::keyClicks(d->txtUser, kUser);
        Type(d->txtPwd, QString::fromUtf8(kPassword));
        QTest::keyClick(d->txtPwd, Qt::Key_Return);
    });
    MsgBox::queueAnswer(QMessageBox::Yes);
    window().menus().mnuTareasExportar->trigger();
    EXPECT_TRUE(typing.ran());
    EXPECT_EQ(window().StoredUser(), kUser);
    EXPECT_EQ(TakeShown().back().text, ExportedWithoutRunner());
}

TEST_F(AccountDialogTest, EnterInTheUserBoxActsAsAceptar) {
    WhenModal<frmAccount> typing([](frmAccount* d) {
        d->txtUser->setText(kUser);
        d->txtPwd->setText(QString::fromUtf8(kPassword));
        d->txtUser->setFocus();
        QTest::keyClick(d->txtUser, Qt::Key_Enter);
    });
    const auto account = AccountPrompt::Ask({});
    ASSERT_TRUE(account.has_value());
    EXPECT_EQ(account->user, kUser);
    EXPECT_EQ(account->pwd.str(), kPassword);
}

TEST_F(AccountDialogTest, EscapeTheCloseBoxAndCancelarStoreNothing) {
    WhenModal<frmAccount> escape([](frmAccount* d) {
        d->txtUser->setText(kUser);
        d->txtPwd->setText(QString::fromUtf8(kPassword));
        QTest::keyClick(d->txtPwd, Qt::Key_Escape);
    });
    EXPECT_FALSE(AccountPrompt::Ask({}).has_value());
    WhenModal<frmAccount> closeBox([](frmAccount* d) {
        d->txtUser->setText(kUser);
        d->txtPwd->setText(QString::fromUtf8(kPassword));
        d->close();
    });
    EXPECT_FALSE(AccountPrompt::Ask({}).has_value());
    WhenModal<frmAccount> cancel([](frmAccount* d) {
        d->txtUser->setText(kUser);
        d->txtPwd->setText(QString::fromUtf8(kPassword));
        QTest::mouseClick(d->cmdCancelar, Qt::LeftButton);
    });
    EXPECT_FALSE(AccountPrompt::Ask({}).has_value());
    EXPECT_TRUE(escape.ran() && closeBox.ran() && cancel.ran());
    EXPECT_TRUE(TakeShown().isEmpty());
}

TEST_F(AccountDialogTest, ARefusalSelectsTheWholePasswordAndKeepsTheDialogOpen) {
    bool checked = false;
    WhenModal<frmAccount> refused([&](frmAccount* d) {
        QTest::keyClicks(d->txtUser, kUser);
        QTest::keyClicks(d->txtPwd, "equivocada");
        d->cmdAceptar->setFocus();
        QTest::mouseClick(d->cmdAceptar, Qt::LeftButton);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->strResult, "");
        EXPECT_EQ(d->focusWidget(), d->txtPwd);
        EXPECT_EQ(d->txtPwd->selectionStart(), 0);
        EXPECT_EQ(d->txtPwd->selectedText(), "equivocada");
        const auto shown = TakeShown();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "Usuario o contraseña no válido");
        EXPECT_EQ(shown[0].title, "Error");
        EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
        // Typing replaces the selected password; the second try is accepted.
        Type(d->txtPwd, QString::fromUtf8(kPassword));
        QTest::keyClick(d->txtPwd, Qt::Key_Return);
        checked = true;
    });
    const auto account = AccountPrompt::Ask({});
    EXPECT_TRUE(checked);
    ASSERT_TRUE(account.has_value());
    EXPECT_EQ(account->pwd.str(), kPassword);
}

} // namespace

} // namespace brio::test
