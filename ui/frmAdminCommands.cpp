// The account the commands ask for, and the reload they share.
#include "AccountPrompt.h"
#include "CommandError.h"
#include "frmAdmin.h"

namespace brio {

void frmAdmin::RequestAccount() {
    if (!storedUser_.empty())
        return; // asked once for the window's life
    if (const std::optional<Account> account = AccountPrompt::Ask(programFolder_)) {
        storedUser_ = account->user;
        storedPwd_ = account->pwd;
    }
}

void frmAdmin::ReloadCurrentView() {
    RunReported(this, [&] { FillTaskList(IsBrioView() ? 0 : 1); });
}

} // namespace brio
