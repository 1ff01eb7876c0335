#pragma once

#include "JobFile.h"
#include "SchedBridge.h"
#include "SecretString.h"

namespace brio {

// A task being made in the window, held here until Save creates it in the scheduler under its name.
class DraftTask : public SchedTask {
public:
    explicit DraftTask(SchedBridgeFactory scheduler);

    std::string Name() const override { return name_; }
    void setName(const std::string& name) { name_ = name; }
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

    // Checks the pair with the host's logon (refused: error 70) and keeps it for Save.
    void SetAccountInformation(const std::string& user, const std::string& password) override;
    // A draft is edited by the dialog that made it, never through the registered editor.
    bool EditProperties(QObject* owner) override;
    // Creates the task in the scheduler: a taken name is error -2147024816, a name that cannot be a task
    // name error 52; the account is set again there, through the same logon check.
    void Save(int flag = 0) override;

private:
    SchedBridgeFactory scheduler_;
    std::string name_;
    JobData job_;
    SecretString password_;
};

} // namespace brio
