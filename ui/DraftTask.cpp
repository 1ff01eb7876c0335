#include "DraftTask.h"

#include "AccountCheck.h"
#include "BrioError.h"

namespace brio {

DraftTask::DraftTask(SchedBridgeFactory scheduler) : scheduler_(std::move(scheduler)) {}

void DraftTask::SetAccountInformation(const std::string& user, const std::string& password) {
    const Result logon = CheckLogon(user, std::string(), password);
    if (!logon.ok())
        throw logon.error();
    job_.account = user;
    password_.assign(password);
}

bool DraftTask::EditProperties(QObject* /*owner*/) {
    throw BrioError(err::InvalidCall, "la tarea nueva se edita en su propio diálogo");
}

void DraftTask::Save(int flag) {
    if (!scheduler_)
        throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
    const std::unique_ptr<SchedBridge> bridge = scheduler_();
    const SchedTaskPtr task = bridge->NewTask(name_);
    task->setApplicationName(job_.applicationName);
    task->setParameters(job_.parameters);
    task->setWorkingDirectory(job_.workingDirectory);
    task->setFlags(job_.flags);
    task->Triggers() = job_.triggers;
    if (!job_.account.empty())
        task->SetAccountInformation(job_.account, password_.str());
    task->Save(flag);
    bridge->Flush();
}

} // namespace brio
