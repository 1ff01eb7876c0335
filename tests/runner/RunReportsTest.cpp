// What the runner reports of its runs besides its state folder: journal entries, mail through a
// sendmail of the test's own and the metrics file, driven through the core on real processes.
#include "RunnerFixture.h"

#include "Conversions.h"
#include "FailureMail.h"
#include "MetricsFile.h"
#include "RunJournal.h"
#include "RunnerConfig.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <map>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

namespace brio::test {

namespace {

std::map<std::string, std::string> fieldMap(const std::vector<std::string>& fields) {
    std::map<std::string, std::string> out;
    for (const std::string& field : fields)
        out[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
    return out;
}

// The names of a message's headers, in order (a folded line continues the header before).
std::vector<std::string> headerNames(const std::string& message) {
    std::vector<std::string> names;
    std::istringstream in(message.substr(0, message.find("\n\n")));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.front() != ' ')
            names.push_back(line.substr(0, line.find(':')));
    return names;
}

// The fields of one datagram of the journal's native protocol: "NAME=value" lines, or a name, a line
// break, a 64-bit little-endian length and the value, for values with line breaks.
std::map<std::string, std::string> journalDatagram(const std::string& data) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t end = data.find('\n', at);
        const std::string line = data.substr(at, end - at);
        if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
            at = end + 1;
            continue;
        }
        std::uint64_t size = 0;
        for (int i = 7; i >= 0; --i)
            size = size << 8 | static_cast<unsigned char>(data[end + 1 + i]);
        fields[line] = data.substr(end + 9, size);
        at = end + 9 + size + 1;
    }
    return fields;
}

// Runs a command through the shell; its exit status.
int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class RunReportsTest : public RunnerFixture {
protected:
    // A new core whose reports are `parts`.
    RunReports& Report(std::vector<std::unique_ptr<RunReporter>> parts) {
        auto reports = std::make_shared<RunReports>(TaskUser());
        for (auto& part : parts)
            reports->Add(std::move(part));
        options_.reporter = reports;
        MakeCore();
        core_->Start();
        return *reports;
    }
    // Saves and runs now each task (name, shell script), then waits for the runs to end.
    void RunTasks(const std::vector<std::pair<std::string, std::string>>& tasks) {
        for (const auto& [name, body] : tasks) {
            SaveTask(name, ScriptTask(Script(name + ".sh", body)));
            core_->RunNow(name);
        }
        WaitForRuns();
    }
    // A sendmail that keeps its arguments and message in numbered files of `mail_`, after `delay`.
    std::string FakeSendmail(const std::string& before = "") {
        fs::create_directory(mail_);
        const fs::path script = root_ / "sendmail";
        const std::string to = mail_.string();
        WriteText(script, "#!/bin/sh\n" + before + "\nn=$(ls " + to +
                              " | grep -c '^args')\nprintf '%s\\n' \"$@\" > " + to + "/args.$n\ncat > " + to +
                              "/mail.$n\n");
        ::chmod(script.c_str(), 0755);
        return script.string() + " -t -oi";
    }
    std::vector<std::string> Mails() const {
        std::vector<std::string> mails;
        for (int n = 0; fs::exists(mail_ / ("mail." + std::to_string(n))); ++n)
            mails.push_back(ReadText(mail_ / ("mail." + std::to_string(n))));
        return mails;
    }

    fs::path mail_ = root_ / "mail";
};

TEST_F(RunReportsTest, JournalEntriesCarryTheRunsFields) {
    std::vector<std::vector<std::string>> entries;
    std::vector<std::unique_ptr<RunReporter>> parts;
    parts.push_back(
        std::make_unique<RunJournal>([&](const std::vector<std::string>& f) { entries.push_back(f); }));
    Report(std::move(parts));
    RunTasks({{"Cierre diario", "echo hecho"}, {"Copia", "echo fallo >&2; exit 3"}});

    struct Case {
        std::string task, result, priority, exit, id;
    };
    const Case cases[] = {
        {"Cierre diario", "ok", "6", "0", "11f475c4d7a24cd2a9b8a9e52861dd25"},
        {"Copia", "error", "3", "3", "86b3dd880bdf42bca7c0e411049e084e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.task);
        std::vector<std::map<std::string, std::string>> mine;
        for (const auto& entry : entries)
            if (fieldMap(entry)["BRIOSCHEDULE_TASK"] == c.task)
                mine.push_back(fieldMap(entry));
        ASSERT_EQ(mine.size(), 2u) << "one entry at the start, one at the end";
        EXPECT_EQ(mine[0]["MESSAGE_ID"], "c682f2abf74d481eb6b62b134513f4a3");
        EXPECT_EQ(mine[0].count("BRIOSCHEDULE_RESULT"), 0u);
        const auto& end = mine[1];
        EXPECT_EQ(end.at("MESSAGE_ID"), c.id);
        EXPECT_EQ(end.at("PRIORITY"), c.priority);
        EXPECT_EQ(end.at("BRIOSCHEDULE_RESULT"), c.result);
        EXPECT_EQ(end.at("BRIOSCHEDULE_EXIT_STATUS"), c.exit);
        EXPECT_EQ(end.at("BRIOSCHEDULE_ACCOUNT"), TaskUser());
        EXPECT_EQ(end.at("BRIOSCHEDULE_LOG"), StateOf(c.task).runs.back().log);
        EXPECT_EQ(end.count("BRIOSCHEDULE_SIGNAL"), 0u);
        EXPECT_THAT(end.at("MESSAGE"), HasSubstr("«" + c.task + "»"));
    }
}

TEST(RunReportsConfig, TheShippedFileDocumentsTheDefaults) {
    // Every commented setting of the shipped file, taken as written, is understood and is the default.
    std::string uncommented;
    std::istringstream in(ReadText(BRIO_RUNNER_CONF_FILE));
    for (std::string line; std::getline(in, line);)
        if (line.size() > 1 && line[0] == '#' && std::isupper(static_cast<unsigned char>(line[1])) &&
            line.find('=') != std::string::npos && line.rfind("#Drives=", 0) != 0)
            uncommented += line.substr(1) + "\n";
    const RunnerConfig shipped = RunnerConfig::Parse(uncommented);
    const RunnerConfig defaults;
    EXPECT_EQ(shipped.problems, std::vector<std::string>{});
    EXPECT_THAT(uncommented, HasSubstr("MailTo=\n"));
    EXPECT_EQ(shipped.mailTo, defaults.mailTo);
    EXPECT_EQ(shipped.mailOn, defaults.mailOn);
    EXPECT_EQ(shipped.sendmailCommand, defaults.sendmailCommand);
    EXPECT_EQ(shipped.metricsFile, defaults.metricsFile);
    EXPECT_EQ(shipped.serviceUser, defaults.serviceUser);
    std::vector<std::string> problems;
    EXPECT_EQ(FailureMail::ParseResults(shipped.mailOn, problems),
              (std::set<std::string>{"error", "killed", "launch-failed", "missed"}));
    EXPECT_EQ(FailureMail::ParseResults("ok, desconocido", problems), std::set<std::string>{"ok"});
    EXPECT_THAT(problems, ElementsAre(HasSubstr("«desconocido»")));
}

TEST_F(RunReportsTest, CatalogIsAcceptedByJournalctl) {
    const fs::path folder = root_ / "journal-root/usr/lib/systemd/catalog";
    fs::create_directories(folder);
    fs::copy_file(BRIO_CATALOG_FILE, folder / fs::path(BRIO_CATALOG_FILE).filename());
    const std::string root = (root_ / "journal-root").string();
    ASSERT_EQ(shell("journalctl --update-catalog --root=" + root + " 2>" + root + "/errors"), 0)
        << ReadText(root + "/errors");
    EXPECT_EQ(ReadText(root + "/errors"), "");
    ASSERT_EQ(shell("journalctl --list-catalog --root=" + root + " > " + root + "/list"), 0);
    const std::string list = ReadText(root + "/list");
    for (const char* id : {"c682f2abf74d481eb6b62b134513f4a3", "11f475c4d7a24cd2a9b8a9e52861dd25",
                           "86b3dd880bdf42bca7c0e411049e084e", "a12dd9299119426599d1534206d38aa1",
                           "a848cd17eff64a5ba919ce08507e64d1", "7631d3733ccf4231bf205b707ff50b74",
                           "824336bc426043fcacadc44ab674b014"})
        EXPECT_THAT(list, HasSubstr(id));
}

TEST_F(RunReportsTest, FailedRunMailsOnceWithItsLastLinesAndAnOkRunDoesNot) {
    std::vector<std::unique_ptr<RunReporter>> parts;
    parts.push_back(std::make_unique<FailureMail>("admin@example.org", std::set<std::string>{"error"},
                                                  FakeSendmail(), "servidor1", messages_));
    RunReporter& reports = Report(std::move(parts));
    RunTasks({{"Cierre diario", "i=1; while [ $i -le 150 ]; do echo \"línea $i\"; i=$((i+1)); done; exit 2"},
              {"Copia", "echo bien"}});
    ASSERT_TRUE(waitFor(
        [&] {
            reports.Tend(std::chrono::steady_clock::now());
            return !reports.NextTend();
        },
        5s));

    const std::vector<std::string> mails = Mails();
    ASSERT_EQ(mails.size(), 1u) << messages_.str();
    EXPECT_EQ(ReadText(mail_ / "args.0"), "-t\n-oi\n");
    const std::string& mail = mails.front();
    EXPECT_EQ(headerNames(mail), (std::vector<std::string>{"To", "Subject", "Auto-Submitted", "MIME-Version",
                                                           "Content-Type", "Content-Transfer-Encoding"}));
    EXPECT_THAT(mail, HasSubstr("To: admin@example.org\n"));
    EXPECT_THAT(mail, HasSubstr("Subject: =?UTF-8?B?"));
    EXPECT_THAT(mail, HasSubstr("Código de salida: 2\n"));
    EXPECT_THAT(mail, HasSubstr("\nlínea 51\n"));
    EXPECT_THAT(mail, HasSubstr("\nlínea 150\n"));
    EXPECT_THAT(mail, Not(HasSubstr("\nlínea 50\n")));
    EXPECT_THAT(mail, Not(HasSubstr("Copia")));
}

TEST_F(RunReportsTest, NoTaskNameOrOutputAddsAHeader) {
    FailureMail mail("admin@example.org\nBcc: otro@example.org", {"error"}, "/bin/true", "servidor1\nX: y",
                     messages_);
    const RunRecord run{Utc(2030, 1, 1, 9, 0), Utc(2030, 1, 1, 9, 1), "error", 1,
                        std::nullopt,          "falló\nCc: x",        ""};
    for (const std::string task :
         {"Cierre\r\nBcc: intruso@example.org", "Copia: \nSubject: otra", "Año\n:"}) {
        SCOPED_TRACE(task);
        const std::string text = mail.Message({task, "nobody", run});
        EXPECT_EQ(headerNames(text),
                  (std::vector<std::string>{"To", "Subject", "Auto-Submitted", "MIME-Version", "Content-Type",
                                            "Content-Transfer-Encoding"}));
        EXPECT_THAT(text.substr(0, text.find("\n\n")), Not(HasSubstr("\r")));
    }
}

TEST_F(RunReportsTest, HangingSendmailIsEndedAtItsLimitAndOtherTasksStillStart) {
    std::vector<std::unique_ptr<RunReporter>> parts;
    auto owned = std::make_unique<FailureMail>("admin@example.org", std::set<std::string>{"error"},
                                               FakeSendmail("sleep 30"), "servidor1", messages_, 1s);
    const FailureMail& mail = *owned;
    parts.push_back(std::move(owned));
    RunReporter& reports = Report(std::move(parts));
    RunTasks({{"Falla", "exit 1"}});
    RunTasks({{"Sigue", "echo sigue"}});
    EXPECT_EQ(StateOf("Sigue").runs.back().result, runresult::ok);
    EXPECT_EQ(mail.Sending(), 1u) << "the next task started while the mail still hung";
    ASSERT_TRUE(waitFor(
        [&] {
            reports.Tend(std::chrono::steady_clock::now());
            return messages_.str().find("no terminó en 1 s") != std::string::npos;
        },
        5s))
        << messages_.str();
    EXPECT_FALSE(reports.NextTend());
}

TEST_F(RunReportsTest, MetricsMatchTheStateFilesAndPassPromtool) {
    const fs::path folder = root_ / "metrics";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0755));
    std::vector<std::unique_ptr<RunReporter>> parts;
    auto owned = std::make_unique<MetricsFile>(folder / "brioschedule.prom", ::geteuid(), messages_);
    MetricsFile& metrics = *owned;
    parts.push_back(std::move(owned));
    RunReporter& reports = Report(std::move(parts));
    SaveTask("Diario",
             ScriptTask(Script("diario.sh", "exit 0"), {MakeTrigger(trigger::Daily, 2030, 1, 1, 9, 1)}));
    clock_.now = Utc(2030, 1, 1, 9, 1);
    core_->Poll();
    WaitForRuns();
    RunTasks({{"Falla", "exit 4"}});
    // The store does not take such a name, a state folder may hold one: the label is escaped.
    const std::string odd = "Con \"comillas\" y \\barra\ny línea";
    TaskState oddState;
    oddState.Add({Utc(2030, 1, 1, 8, 0), Utc(2030, 1, 1, 8, 0, 30), "ok", 0, std::nullopt, "", ""});
    metrics.TaskChanged(odd, &oddState);
    reports.Tend(std::chrono::steady_clock::now() + 2s);

    const fs::path file = folder / "brioschedule.prom";
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0644));
    EXPECT_EQ(
        shell("promtool check metrics < " + file.string() + " > " + (root_ / "promtool").string() + " 2>&1"),
        0)
        << ReadText(root_ / "promtool");
    const std::string text = ReadText(file);
    EXPECT_THAT(text, HasSubstr("brioschedule_runner_tasks 3\n"));
    const auto value = [&](const std::string& metric, const std::string& labels) {
        const std::string line = metric + "{" + labels + "} ";
        const std::size_t at = text.find(line);
        return at == std::string::npos
                   ? std::string("(none)")
                   : text.substr(at + line.size(), text.find('\n', at) - at - line.size());
    };
    for (const std::string task : {"Diario", "Falla"}) {
        SCOPED_TRACE(task);
        const TaskState state = StateOf(task);
        const RunRecord& last = state.runs.back();
        const std::string label = "task=\"" + task + "\"";
        EXPECT_EQ(value("brioschedule_task_last_run_start_timestamp_seconds", label),
                  std::to_string(last.start.time_since_epoch().count()));
        EXPECT_EQ(value("brioschedule_task_last_run_duration_seconds", label),
                  std::to_string((*last.end - last.start).count()));
        EXPECT_EQ(value("brioschedule_task_last_run_success", label), last.result == "ok" ? "1" : "0");
        EXPECT_EQ(value("brioschedule_task_next_run_timestamp_seconds", label),
                  state.next ? std::to_string(state.next->time_since_epoch().count()) : "(none)");
        EXPECT_EQ(value("brioschedule_task_running", label), "0");
        EXPECT_EQ(value("brioschedule_task_runs_total", label + ",result=\"" + last.result + "\""), "1");
    }
    EXPECT_EQ(
        value("brioschedule_task_last_run_duration_seconds", R"(task="Con \"comillas\" y \\barra\ny línea")"),
        "30");

    // However many changes come, the file is written at most once a second.
    const auto written = fs::last_write_time(file);
    RunTasks({{"Otra", "exit 0"}});
    reports.Tend(std::chrono::steady_clock::now());
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_TRUE(reports.NextTend());
}

// The real runner with all three reports: its journal entries reach a journal socket of the test's own
// (bound over the journal's path in a mount namespace of the runner's own), the failed run is mailed
// and the metrics file is written.
TEST_F(RunReportsTest, RealRunnerReportsAStartUpRunEverywhere) {
    if (!Root() || shell("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and mount namespaces to give the runner a journal of the test's own";
    const fs::path socketPath = root_ / "journal.socket";
    const int journal = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(journal, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const timeval wait{0, 200000};
    ::setsockopt(journal, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    const fs::path metrics = root_ / "metrics";
    fs::create_directory(metrics);
    fs::permissions(metrics, fs::perms(0755));
    WriteText(root_ / "runner.conf", "MailTo=admin@example.org\nSendmailCommand=" + FakeSendmail() +
                                         "\nMetricsFile=" + (metrics / "brio.prom").string() + "\n");
    SaveTask("Arranque", ScriptTask(Script("arranque.sh", "echo no hay red; exit 5"),
                                    {MakeTrigger(trigger::AtSystemStart, 2030, 1, 1, 0, 0)}));
    const fs::path errors = root_ / "runner.err";
    const std::string script = "mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/journal && ln -s " +
                               socketPath.string() + " /run/systemd/journal/socket && exec 2>" +
                               errors.string() + " && JOURNAL_STREAM=$(stat -L -c %d:%i " + errors.string() +
                               ") exec " + BRIO_RUNNER_PATH;
    std::vector<std::string> environment{
        "BRIOSCHEDULE_TASKS=" + store_.string(), "BRIOSCHEDULE_DRIVES=C:=" + drive_.string(),
        "BRIOSCHEDULE_RUNNER_CONF=" + (root_ / "runner.conf").string(), "BRIOSCHEDULE_STATE=", "TZ=UTC"};
    for (char** item = environ; *item; ++item)
        environment.emplace_back(*item);
    std::vector<char*> envp;
    for (std::string& item : environment)
        envp.push_back(item.data());
    envp.push_back(nullptr);
    const char* argv[] = {"unshare", "-m", "sh", "-c", script.c_str(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawnp(&pid, "unshare", nullptr, nullptr, const_cast<char**>(argv), envp.data()), 0);

    std::vector<std::map<std::string, std::string>> entries;
    const bool ended = waitFor(
        [&] {
            char buffer[65536];
            const ssize_t got = ::recv(journal, buffer, sizeof buffer, 0);
            if (got > 0)
                entries.push_back(journalDatagram(std::string(buffer, static_cast<std::size_t>(got))));
            return !entries.empty() && entries.back()["BRIOSCHEDULE_RESULT"] == "error" && !Mails().empty() &&
                   fs::exists(metrics / "brio.prom") &&
                   ReadText(metrics / "brio.prom").find("result=\"error\"} 1") != std::string::npos;
        },
        10s);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(journal);
    ASSERT_TRUE(ended) << ReadText(errors);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]["BRIOSCHEDULE_TASK"], "Arranque");
    EXPECT_EQ(entries[0]["PRIORITY"], "6");
    EXPECT_EQ(entries[1]["PRIORITY"], "3");
    EXPECT_EQ(entries[1]["BRIOSCHEDULE_EXIT_STATUS"], "5");
    EXPECT_EQ(entries[1]["BRIOSCHEDULE_ACCOUNT"], "nobody");
    EXPECT_EQ(entries[1]["BRIOSCHEDULE_LOG"], StateOf("Arranque").runs.back().log);
    EXPECT_THAT(Mails().front(), HasSubstr("no hay red\n"));
    EXPECT_THAT(ReadText(metrics / "brio.prom"), HasSubstr("brioschedule_runner_up 0\n")) << "stopped";
}

} // namespace brio::test
