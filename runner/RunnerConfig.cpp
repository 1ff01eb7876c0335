#include "RunnerConfig.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "HostPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <vector>

namespace brio {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::filesystem::path RunnerConfig::DefaultPath() {
    if (const char* own = std::getenv("BRIOSCHEDULE_RUNNER_CONF"); own && *own)
        return own;
    return "/etc/brioschedule/runner.conf";
}

RunnerConfig RunnerConfig::Load(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return RunnerConfig{};
    return Parse(ReadWholeFile(file));
}

std::string RunnerConfig::AccountProblem() const {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwnam_r(serviceUser.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "la cuenta de servicio «" + serviceUser + "» (ServiceUser) no existe en este equipo";
    return {};
}

RunnerConfig RunnerConfig::Parse(std::string_view text) {
    RunnerConfig config;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string value(equals == std::string_view::npos ? "" : trimmed(line.substr(equals + 1)));
        const std::string where = "línea " + std::to_string(number) + ": ";
        if (equals == std::string_view::npos)
            config.problems.push_back(where + "falta «=» en «" + std::string(line) + "»");
        else if (key == "MailTo")
            config.mailTo = value; // empty: no mail
        else if (key == "MetricsFile")
            config.metricsFile = value; // empty: no file
        else if (value.empty())
            config.problems.push_back(where + "«" + std::string(key) + "» no tiene valor");
        else if (key == "ServiceUser")
            config.serviceUser = value;
        else if (key == "WineCommand")
            config.wineCommand = value;
        else if (key == "MailOn")
            config.mailOn = value;
        else if (key == "SendmailCommand")
            config.sendmailCommand = value;
        else if (key == "Drives" && ParseDriveMap(value).empty())
            config.problems.push_back(where + "«Drives» no asigna ninguna unidad: «" + value + "»");
        else if (key == "Drives")
            config.drives = value;
        else
            config.problems.push_back(where + "clave desconocida «" + std::string(key) + "»");
    }
    return config;
}

} // namespace brio
