#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brio {

// Maps the paths that stored data keeps in Windows form ("C:\BRIO\VELMORAX\bin\run.exe") to host paths.
// A drive letter maps through the drive map; each component is matched without regard to letter case
// when the exact name is missing. Native absolute paths are used as they are.
class HostPaths {
public:
    // The drive map from BRIOSCHEDULE_DRIVES ("C:=/srv/brio/c;D:=/mnt/d"), else the dosdevices links of a
    // Wine prefix ($WINEPREFIX, else ~/.wine), else C: to /.
    static HostPaths FromEnvironment();
    // The dosdevices links of the Wine prefix `prefix`; an empty map when it has none.
    static HostPaths FromWinePrefix(const std::filesystem::path& prefix);
    // An explicit map, for callers that already know it: letter (upper case) to host folder.
    explicit HostPaths(std::map<char, std::filesystem::path> drives);

    // The host path for a stored path, or nothing when its drive has no mapping (it then does not exist).
    std::optional<std::filesystem::path> ToHost(std::string_view path) const;

    // Whether the path names an existing file or folder. A bare drive ("C:") exists when it is mapped and
    // its root exists. An empty path never exists.
    bool Exists(std::string_view path) const;

    const std::map<char, std::filesystem::path>& drives() const noexcept { return drives_; }

private:
    std::map<char, std::filesystem::path> drives_;
};

// "C:=/a;D:=/b" parsed into a drive map; malformed items are skipped.
std::map<char, std::filesystem::path> ParseDriveMap(std::string_view text);

} // namespace brio
