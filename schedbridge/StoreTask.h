#pragma once

#include "JobFile.h"
#include "SchedBridge.h"
#include "SecretString.h"
#include "StoreFolder.h"

#include <memory>

namespace brio {

// The account the host's logon last accepted for a task of one scheduler object, shared by its tasks
// so that one command giving many tasks one account asks the logon once.
class AcceptedAccount {
public:
    // Whether the logon accepted this very pair before.
    bool AcceptedBefore(const std::string& user, const std::string& password) const;
    // Keeps the pair, the password in a self-wiping buffer, for the scheduler object's life.
    void RememberAccepted(const std::string& user, const std::string& password);

private:
    std::string user_;
    SecretString password_;
};

// One task of the task store. It is a copy: changes stay in it until Save writes its file.
class StoreTask : public SchedTask {
public:
    StoreTask(std::shared_ptr<StoreFolder> store, std::shared_ptr<AcceptedAccount> accepted, std::string name,
              JobData job, SaveMode mode);

    std::string Name() const override { return name_; }
    std::string ApplicationName() const override { return job_.applicationName; }
    void setApplicationName(const std::string& value) override { job_.applicationName = value; }
    std::string Parameters() const override { return job_.parameters; }
    void setParameters(const std::string& value) override { job_.parameters = value; }
    std::string WorkingDirectory() const override { return job_.workingDirectory; }
    void setWorkingDirectory(const std::string& value) override { job_.workingDirectory = value; }
    std::int32_t Flags() const override { return job_.flags; }
    void setFlags(std::int32_t value) override { job_.flags = value; }
    SchedTriggers& Triggers() override { return job_.triggers; }
    const SchedTriggers& Triggers() const override { return job_.triggers; }
    std::string AccountName() const override { return job_.account; }

    void SetAccountInformation(const std::string& user, const std::string& password) override;
    bool EditProperties(QObject* owner) override;
    void Save(int flag = 0) override;

    // Everything the task file keeps.
    const JobData& Job() const noexcept { return job_; }
    // True until the task has been saved once.
    bool IsNew() const noexcept { return mode_ != SaveMode::Rewrite; }

private:
    std::shared_ptr<StoreFolder> store_;
    std::shared_ptr<AcceptedAccount> accepted_;
    std::string name_;
    JobData job_;
    SaveMode mode_;
};

} // namespace brio
