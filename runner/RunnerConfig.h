#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brio {

// The runner's configuration file: lines KEY=VALUE, blank lines and lines starting with '#' ignored.
struct RunnerConfig {
    std::string serviceUser = "nobody"; // ServiceUser: the account of tasks that name none
    std::string wineCommand = "wine";   // WineCommand: runs .exe, .com, .bat and .cmd programs
    std::string drives;                 // Drives: the drive map of every task ("C:=/srv/brio/c;D:=/mnt/d")
    std::string mailTo;                 // MailTo: who gets mail about runs; empty: no mail
    // MailOn: the results that send mail; SendmailCommand: takes the message on its standard input.
    std::string mailOn = "error,killed,launch-failed,missed";
    std::string sendmailCommand = "/usr/sbin/sendmail -t -oi";
    std::string metricsFile;           // MetricsFile: the runs' figures for monitoring; empty: none
    std::vector<std::string> problems; // lines that were not understood (Spanish, one each)

    // $BRIOSCHEDULE_RUNNER_CONF when set, else /etc/brioschedule/runner.conf.
    static std::filesystem::path DefaultPath();
    // The file's settings; a missing file gives the defaults. An unreadable file throws BrioError.
    static RunnerConfig Load(const std::filesystem::path& file);
    static RunnerConfig Parse(std::string_view text);
    // Why the system runner cannot use these settings (a ServiceUser this host does not have); empty
    // when it can.
    std::string AccountProblem() const;
};

} // namespace brio
