#include "StoreTask.h"

#include "AccountCheck.h"
#include "BrioError.h"
#include "StoreFolder.h"

namespace brio {

bool AcceptedAccount::AcceptedBefore(const std::string& user, const std::string& password) const {
    return !user_.empty() && user == user_ && password == password_.str();
}

void AcceptedAccount::RememberAccepted(const std::string& user, const std::string& password) {
    user_ = user;
    password_.assign(password);
}

StoreTask::StoreTask(std::shared_ptr<StoreFolder> store, std::shared_ptr<AcceptedAccount> accepted,
                     std::string name, JobData job, SaveMode mode)
    : store_(std::move(store)), accepted_(std::move(accepted)), name_(std::move(name)), job_(std::move(job)),
      mode_(mode) {}

void StoreTask::SetAccountInformation(const std::string& user, const std::string& password) {
    if (!accepted_->AcceptedBefore(user, password)) {
        const Result logon = CheckLogon(user, std::string(), password);
        if (!logon.ok())
            throw logon.error();
        accepted_->RememberAccepted(user, password);
    }
    job_.account = user; // the password is never written
}

bool StoreTask::EditProperties(QObject* owner) {
    TaskEditor* editor = RegisteredTaskEditor();
    if (!editor)
        throw BrioError(err::InvalidCall, "no hay un editor de propiedades de tareas disponible");
    // The editor works on a copy, so that Cancel (or an editor that fails) leaves this task untouched.
    StoreTask copy(*this);
    if (!editor->Edit(copy, owner))
        return false;
    job_ = copy.job_;
    mode_ = copy.mode_;
    Save(0);
    return true;
}

void StoreTask::Save(int /*flag*/) {
    store_->Save(name_, job_, mode_);
    mode_ = SaveMode::Rewrite;
}

} // namespace brio
