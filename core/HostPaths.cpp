#include "HostPaths.h"

#include <QString>

#include <cctype>
#include <cstdlib>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace brio {

std::map<char, fs::path> ParseDriveMap(std::string_view text) {
    std::map<char, fs::path> drives;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view item = text.substr(start, end - start);
        if (item.size() >= 4 && std::isalpha(static_cast<unsigned char>(item[0])) && item[1] == ':' &&
            item[2] == '=')
            drives[static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])))] =
                fs::path(std::string(item.substr(3)));
        start = end + 1;
    }
    return drives;
}

static std::map<char, fs::path> wineDrives(const fs::path& prefix) {
    std::map<char, fs::path> drives;
    std::error_code ec;
    const fs::path devices = prefix / "dosdevices";
    if (prefix.empty() || !fs::is_directory(devices, ec))
        return drives;
    for (const auto& entry : fs::directory_iterator(devices, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
            drives[static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))] = entry.path();
    }
    return drives;
}

HostPaths HostPaths::FromEnvironment() {
    if (const char* map = std::getenv("BRIOSCHEDULE_DRIVES"); map && *map)
        return HostPaths(ParseDriveMap(map));
    fs::path prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine)
        prefix = wine;
    else if (const char* home = std::getenv("HOME"); home && *home)
        prefix = fs::path(home) / ".wine";
    auto wine = wineDrives(prefix);
    if (!wine.empty())
        return HostPaths(std::move(wine));
    return HostPaths({{'C', fs::path("/")}});
}

HostPaths HostPaths::FromWinePrefix(const fs::path& prefix) {
    return HostPaths(wineDrives(prefix));
}

HostPaths::HostPaths(std::map<char, fs::path> drives) : drives_(std::move(drives)) {}

// The entry of `folder` named `name`, exactly or else without regard to letter case.
static fs::path matchComponent(const fs::path& folder, const std::string& name) {
    fs::path exact = folder / name;
    std::error_code ec;
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found || name == "." || name == "..")
        return exact;
    const QString wanted = QString::fromStdString(name);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string candidate = entry.path().filename().string();
        if (QString::fromStdString(candidate).compare(wanted, Qt::CaseInsensitive) == 0)
            return folder / candidate;
    }
    return exact;
}

std::optional<fs::path> HostPaths::ToHost(std::string_view path) const {
    if (path.empty())
        return std::nullopt;
    std::string text(path);
    fs::path root;
    std::string rest;
    const bool hasDrive =
        text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0]));
    if (hasDrive) {
        const auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
        if (it == drives_.end())
            return std::nullopt;
        root = it->second;
        rest = text.substr(2);
    } else if (text.rfind("\\\\", 0) == 0) {
        return std::nullopt; // a network share has no mapping here
    } else if (text[0] == '\\') {
        const auto it = drives_.find('C'); // a rooted path without drive lies on the current drive
        if (it == drives_.end())
            return std::nullopt;
        root = it->second;
        rest = text;
    } else if (text[0] == '/') {
        return fs::path(text);
    } else {
        root = fs::current_path();
        rest = text;
    }
    for (char& c : rest) {
        if (c == '\\')
            c = '/';
    }
    // The exact path first: one look-up for the common case, the walk only when it is missing.
    fs::path direct = root / fs::path(rest).relative_path();
    std::error_code ec;
    if (fs::symlink_status(direct, ec).type() != fs::file_type::not_found)
        return direct;
    fs::path result = root;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        if (end > start)
            result = matchComponent(result, rest.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// The host path with the drive mapped and separators turned, before any letter-case matching;
// false when the drive has no mapping.
static bool directHostText(const std::map<char, fs::path>& drives, std::string_view path, std::string& out) {
    std::string_view rest = path;
    out.clear();
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const auto it = drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
        if (it == drives.end())
            return false;
        out = it->second.native();
        rest = path.substr(2);
        if (!rest.empty() && rest[0] != '\\' && rest[0] != '/')
            out += '/';
    } else if (path.rfind("\\\\", 0) == 0) {
        return false;
    } else if (path[0] == '\\') {
        const auto it = drives.find('C');
        if (it == drives.end())
            return false;
        out = it->second.native();
    }
    for (char c : rest)
        out += c == '\\' ? '/' : c;
    return true;
}

bool HostPaths::Exists(std::string_view path) const {
    if (path.empty())
        return false;
    // One stat for the common case of a path whose letter case is right.
    std::string direct;
    if (!directHostText(drives_, path, direct))
        return false;
    struct stat st {};
    if (!direct.empty() && ::stat(direct.c_str(), &st) == 0)
        return true;
    const auto host = ToHost(path);
    if (!host)
        return false;
    std::error_code ec;
    return fs::exists(*host, ec);
}

} // namespace brio
