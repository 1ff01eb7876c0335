#pragma once

#include <filesystem>
#include <string>

namespace brio::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes `content` to `file`, creating its folders.
void WriteText(const std::filesystem::path& file, const std::string& content);
// The whole content of `file`; empty when it does not exist.
std::string ReadText(const std::filesystem::path& file);

// Sets an environment variable for the life of the object and puts back the old value after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

} // namespace brio::test
