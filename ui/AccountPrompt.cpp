#include "AccountPrompt.h"

#include "MsgBox.h"
#include "clsAdminTask.h"
#include "frmAccount.h"

#include <QLineEdit>
#include <QQueue>

#include <cstring>

namespace brio {

namespace {

struct Attempt {
    bool accept = false;
    QString user;
    QString pwd;
};

struct Script {
    bool on = false;
    QQueue<Attempt> attempts;
    int shown = 0;
    QString lastUser;
};

Script& script() {
    static Script s;
    return s;
}

std::optional<Account> scriptedAsk(const std::filesystem::path& programFolder) {
    Script& s = script();
    while (!s.attempts.isEmpty()) {
        const Attempt attempt = s.attempts.dequeue();
        if (!attempt.accept)
            return std::nullopt;
        Account account{attempt.user.toStdString(), SecretText(attempt.pwd)};
        clsAdminTask admin(programFolder, {});
        admin.setMessageSink(MsgBox::Sink(nullptr));
        if (admin.VerifyAccountInfo(account.user, account.pwd.str(), true))
            return account;
    }
    return std::nullopt;
}

} // namespace

SecretString SecretText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    SecretString secret(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    ::explicit_bzero(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return secret;
}

std::optional<Account> AccountPrompt::Ask(const std::filesystem::path& programFolder, const QString& user) {
    Script& s = script();
    if (s.on) {
        ++s.shown;
        s.lastUser = user;
        return scriptedAsk(programFolder);
    }
    frmAccount dialog(programFolder);
    dialog.txtUser->setText(user);
    if (!user.isEmpty())
        dialog.txtPwd->setFocus();
    dialog.exec();
    if (dialog.strResult != QLatin1String("OK"))
        return std::nullopt;
    Account account{dialog.txtUser->text().toStdString(), SecretText(dialog.txtPwd->text())};
    dialog.txtPwd->clear();
    return account;
}

void AccountPrompt::setScripted(bool on) {
    Script& s = script();
    s.on = on;
    s.attempts.clear();
    s.shown = 0;
    s.lastUser.clear();
}

bool AccountPrompt::scripted() {
    return script().on;
}

void AccountPrompt::queueAccount(const QString& user, const QString& pwd) {
    script().attempts.enqueue({true, user, pwd});
}

void AccountPrompt::queueCancel() {
    script().attempts.enqueue({false, {}, {}});
}

int AccountPrompt::shownCount() {
    return script().shown;
}

QString AccountPrompt::lastInitialUser() {
    return script().lastUser;
}

} // namespace brio
