#pragma once

#include "SecretString.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

class QWidget;

namespace brio {

// A user name and password the host's logon accepted.
struct Account {
    std::string user;
    SecretString pwd; // wiped when the account goes
};

// The text of a password field in a self-wiping buffer; the conversion's own copy is wiped too.
SecretString SecretText(const QString& text);

// Every showing of the account dialog goes through here. In scripted mode (tests) no dialog is shown:
// each showing takes queued attempts, as if typed and confirmed, and each confirmed attempt still goes
// through the real logon check (a refusal shows its message through MsgBox and takes the next attempt).
class AccountPrompt {
public:
    // Shows a new account dialog, modal and without an owner window. `user` is the initial user name.
    // The accepted account, or nothing when the person cancelled.
    static std::optional<Account> Ask(const std::filesystem::path& programFolder, const QString& user = {});

    // Scripted mode. A showing with no queued attempt left is cancelled.
    static void setScripted(bool on);
    static bool scripted();
    // A user name and password typed, then Aceptar.
    static void queueAccount(const QString& user, const QString& pwd);
    // Cancelar.
    static void queueCancel();
    // How many times the dialog was shown since setScripted, and the initial user name of the last one.
    static int shownCount();
    static QString lastInitialUser();
};

} // namespace brio
