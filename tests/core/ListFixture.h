#pragma once

#include "AdminListFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace brio::test {

// A program folder with its list file, and drives C:, D:, E: in temporary folders.
class ListFixture : public ::testing::Test {
protected:
    TempDir home, c, d, e;

    HostPaths drives() const { return HostPaths({{'C', c.path()}, {'D', d.path()}, {'E', e.path()}}); }
    AdminListFile list() const { return AdminListFile(home.path(), drives()); }
    std::filesystem::path listFile() const { return home / "TaskConfig.XML"; }
    void writeList(const std::string& xml) const { WriteText(listFile(), xml); }
    std::string readList() const { return ReadText(listFile()); }
    // Modification stamp, to tell whether an operation wrote the file.
    std::int64_t stamp() const {
        struct stat st {};
        ::stat(listFile().c_str(), &st);
        return st.st_ino * 1000000000LL + st.st_mtim.tv_nsec;
    }
};

// One entry as the list file stores it.
inline std::string Entry(const std::string& name, const std::string& app, const std::string& extra = {},
                         const std::string& children = {}) {
    return "<TAREA name=\"" + name + "\" applicationName=\"" + app + "\" " + extra + ">" + children +
           "</TAREA>";
}

} // namespace brio::test
