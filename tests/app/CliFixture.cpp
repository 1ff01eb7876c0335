#include "CliFixture.h"

#include <QProcess>

namespace brio::test {

CliResult CliFixture::run(const std::vector<std::string>& args, const std::string& input,
                          const std::string& outputFile) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"BRIOSCHEDULE_HOME", "BRIOSCHEDULE_TASKS", "BRIOSCHEDULE_DRIVES", "LD_PRELOAD",
                             "PAM_WRAPPER", "PAM_WRAPPER_SERVICE_DIR", "BRIOSCHEDULE_PAM_SERVICE"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("BRIOSCHEDULE_HOME"), QString::fromStdString(home.path().string()));
    environment.insert(QStringLiteral("BRIOSCHEDULE_TASKS"), QString::fromStdString(tasks.path().string()));
    environment.insert(QStringLiteral("BRIOSCHEDULE_DRIVES"),
                       QString::fromStdString("C:=" + c.path().string()));
    for (const auto& [name, value] : env)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));

    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!outputFile.empty())
        process.setStandardOutputFile(QString::fromStdString(outputFile));
    process.start(QStringLiteral(BRIO_CLI_PATH), arguments);
    CliResult result;
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << "brioschedule-cli did not start: " << process.errorString().toStdString();
        return result;
    }
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "brioschedule-cli did not finish";
    }
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

void CliFixture::writeList(const std::string& entries) const {
    WriteText(listFile(), "<TAREAS briopath=\"\">" + entries + "</TAREAS>");
}

void CliFixture::makeProgram(const std::string& relative) const {
    WriteText(c / relative, "");
}

TaskStore CliFixture::store() const {
    TaskStore s(tasks.path());
    s.Refresh();
    return s;
}

void CliFixture::makeTask(const std::string& name, std::int32_t flags) const {
    TaskStore s = store();
    SchedTaskPtr t = s.NewTask(name);
    t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\" + name + ".exe");
    t->setParameters("/tarea " + name);
    t->setWorkingDirectory("C:\\BRIO\\VELMORAX\\bin");
    t->setFlags(flags);
    SchedTrigger& trigger = t->Triggers().Add();
    trigger.setTriggerType(trigger::Daily);
    trigger.setBeginDay(MakeDate(2026, 12, 8));
    trigger.setStartTime(MakeDate(1899, 12, 30, 2, 0));
    t->Save(0);
}

std::string Entry(const std::string& name, const std::string& app, const std::string& attrs, bool hidden) {
    std::string config = "<CONFIGURACION";
    for (const char* flag :
         {"deleteWhenDone", "disabled", "dontStartIfOnBatteries", "hidden", "interactive",
          "killIfGoingOnBatteries", "killOnIdleEnd", "restartOnIdleResume", "runIfConnectedToInternet",
          "runOnlyIfDocked", "runOnlyIfLoggedOn", "startOnlyIfIdle", "systemRequired"})
        config +=
            std::string(" ") + flag + "=\"" + (hidden && std::string(flag) == "hidden" ? "1" : "0") + "\"";
    config += "/>";
    const std::string triggers =
        "<TRIGGERS><TRIGGER triggerType=\"1\" typeDescription=\"DailyTrigger\" BeginDay=\"08/12/2026 "
        "00:00:00\" "
        "StartTime=\"30/12/1899 02:00:00\" Duration=\"0\" EndDay=\"30/12/1899 00:00:00\" Interval=\"0\" "
        "Flags=\"0\" RandomInterval=\"0\" Daily_Interval=\"1\"/></TRIGGERS>";
    return "<TAREA name=\"" + name + "\" applicationName=\"" + app +
           "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"/x\" " + attrs + ">" + config +
           triggers + "</TAREA>";
}

QJsonDocument ParseJson(const std::string& text) {
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return doc;
}

} // namespace brio::test
