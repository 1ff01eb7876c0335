#pragma once

#include "ProgramFolder.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace brio {

// The suite's settings for one data source, read from SuiteSettings.ini in the program folder:
//
//   [Velmorax]
//   ConnectionText=<encoded connection string>
//   ConnectionTimeout=15
//   CommandTimeout=30
//
// Section and key names are matched without regard to letter case; the first of duplicates counts.
class SuiteSettings {
public:
    static constexpr const char* FileName = "SuiteSettings.ini";

    explicit SuiteSettings(std::filesystem::path programFolder = ProgramFolder());

    // The section to read; set before Load.
    const std::string& DataSource() const noexcept { return dataSource_; }
    void setDataSource(const std::string& value) { dataSource_ = value; }

    // Reads the section of DataSource. A missing file is error 53; a missing section or key, or an
    // empty data source, is error 5; a timeout that is not a whole number is error 13, one outside
    // 0..32767 error 6. Nothing changes when it fails.
    void Load();

    // Seconds; 0 means no limit. Both 0 until Load succeeds.
    std::int16_t ConnectionTimeout() const noexcept { return connectionTimeout_; }
    std::int16_t CommandTimeout() const noexcept { return commandTimeout_; }
    // The encoded connection string; empty until Load succeeds. Never shown to anyone.
    const std::string& ConnectionText() const noexcept { return connectionText_; }

    const std::filesystem::path& File() const noexcept { return file_; }

private:
    std::filesystem::path file_;
    std::string dataSource_;
    std::int16_t connectionTimeout_ = 0;
    std::int16_t commandTimeout_ = 0;
    std::string connectionText_;
};

} // namespace brio
