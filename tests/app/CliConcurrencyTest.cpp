// The real program, many copies at once and killed mid-save: no update is lost, the list file is never
// empty or torn, and nothing a killed save left behind outlives the next command.
#include "CliFixture.h"
#include "ListDocument.h"
#include "ListFileLock.h"

#include <QProcess>

#include <chrono>
#include <random>
#include <thread>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

class CliConcurrency : public CliFixture {
protected:
    // Shells that each run their own loop of commands at the same time; true when all ended well.
    bool runTogether(const std::vector<std::string>& scripts) const {
        std::vector<std::unique_ptr<QProcess>> shells;
        for (const std::string& script : scripts) {
            auto shell = std::make_unique<QProcess>();
            shell->setProcessEnvironment(environment());
            shell->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(script)});
            shells.push_back(std::move(shell));
        }
        bool ok = true;
        for (auto& shell : shells) {
            ok = shell->waitForFinished(120000) && shell->exitStatus() == QProcess::NormalExit &&
                 shell->exitCode() == 0 && ok;
            if (shell->exitCode() != 0)
                ADD_FAILURE() << shell->readAllStandardError().toStdString();
        }
        return ok;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("BRIOSCHEDULE_HOME"), QString::fromStdString(home.path().string()));
        e.insert(QStringLiteral("BRIOSCHEDULE_TASKS"), QString::fromStdString(tasks.path().string()));
        e.insert(QStringLiteral("BRIOSCHEDULE_DRIVES"), QString::fromStdString("C:=" + c.path().string()));
        e.insert(QStringLiteral("CLI"), QStringLiteral(BRIO_CLI_PATH));
        return e;
    }
    // The entries' names and one attribute, read as a reader would; fails the test when the file is
    // missing, empty or does not parse.
    std::map<std::string, std::string> entries(const char* attr) const {
        ListDocument doc(listFile());
        EXPECT_NO_THROW(doc.Load());
        std::map<std::string, std::string> result;
        doc.ForEachEntry(
            [&](pugi::xml_node e) { result[e.attribute("name").value()] = e.attribute(attr).value(); });
        return result;
    }
    std::string names(int count) const {
        std::string list;
        for (int i = 0; i < count; ++i)
            list += Entry("T" + std::to_string(i), "C:\\BRIO\\VELMORAX\\bin\\t.exe");
        return list;
    }
    // What a killed save may have left beside the list file and in the store.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const fs::path& folder : {home.path(), tasks.path()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                const std::string name = entry.path().filename().string();
                if (name.ends_with('_') ||
                    (name.starts_with('.') && name != ".TaskConfig.XML.lock" && name != ".lock"))
                    found.push_back(name);
            }
        }
        return found;
    }
};

} // namespace

TEST_F(CliConcurrency, EightWritersOnOneListLoseNoUpdate) {
    makeProgram("BRIO/VELMORAX/bin/t.exe");
    writeList(names(8));
    constexpr int kRounds = 15;
    std::vector<std::string> scripts;
    for (int w = 0; w < 8; ++w)
        scripts.push_back("for k in $(seq 1 " + std::to_string(kRounds) + "); do \"$CLI\" range $k T" +
                          std::to_string(w) + " >/dev/null || exit 1; done");
    ASSERT_TRUE(runTogether(scripts));
    // Each writer's last value is in place: no writer saved over another's change with an older copy.
    const auto values = entries("StartTimeRandom");
    ASSERT_EQ(values.size(), 8u);
    for (const auto& [name, value] : values)
        EXPECT_EQ(value, std::to_string(kRounds)) << name;
}

TEST_F(CliConcurrency, FormattersWithAWriterNeverEmptyTheList) {
    makeProgram("BRIO/VELMORAX/bin/t.exe");
    for (int round = 0; round < 6; ++round) {
        {
            ListFileLock lock(listFile()); // the unformatted list is put back as any writer would
            writeList(names(50));
        }
        const std::string value = std::to_string(round + 1);
        ASSERT_TRUE(runTogether({"\"$CLI\" format", "\"$CLI\" format", "\"$CLI\" format",
                                 "\"$CLI\" range " + value + " T7 && \"$CLI\" format"}));
        const auto values = entries("StartTimeRandom");
        ASSERT_EQ(values.size(), 50u) << "round " << round;
        EXPECT_EQ(values.at("T7"), value);
        EXPECT_EQ(readList().substr(0, 2), "\r\n") << "formatted once, and settled";
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(CliConcurrency, KilledSavesLeaveEveryFileWholeAndNothingAfterTheNextCommand) {
    makeProgram("BRIO/VELMORAX/bin/t.exe");
    writeList(names(3000)); // a few megabytes: saves take long enough to be cut short
    // The first writing run makes the embedded defaults; the trials are about the list file and the store.
    ASSERT_EQ(run({"range", "0", "T2"}).exitCode, 0);
    std::mt19937 random(20261208);
    int killed = 0;
    for (int trial = 0; trial < 30; ++trial) {
        QProcess cli;
        cli.setProcessEnvironment(environment());
        const bool toStore = trial % 3 == 2;
        const QStringList args = toStore ? QStringList{"export", "T1", "T2", "T3"}
                                         : QStringList{"range", QString::number(trial % 60), "T1", "T2999"};
        cli.start(QStringLiteral(BRIO_CLI_PATH), args);
        ASSERT_TRUE(cli.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60));
        if (cli.state() == QProcess::Running) {
            cli.kill(); // SIGKILL: no handler, no clean-up
            ++killed;
        }
        cli.waitForFinished();
        ASSERT_EQ(entries("name").size(), 3000u) << "trial " << trial;
        const CliResult system = run({"list", "--system"});
        EXPECT_EQ(system.exitCode, 0);
        EXPECT_EQ(system.err, "") << "every task file reads";
    }
    EXPECT_GT(killed, 5) << "the trials must cut saves short";
    // The next writer of each file finds whatever killed saves left, and removes it.
    EXPECT_EQ(run({"range", "5", "T1"}).exitCode, 0);
    EXPECT_EQ(run({"list", "--system"}).exitCode, 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_EQ(entries("StartTimeRandom").at("T1"), "5");
}
