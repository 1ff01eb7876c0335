#pragma once

#include "UserMessages.h"
#include "clsDataAlmacen.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace brio::test {

// One message the warehouse query showed.
struct ShownMessage {
    std::string text;
    std::string title;
    MsgIcon icon;
};

// Collects what the query shows instead of showing it.
struct MessageLog {
    std::vector<ShownMessage> shown;
    MessageSink sink() {
        return [this](const std::string& text, const std::string& title, MsgIcon icon) {
            shown.push_back({text, title, icon});
        };
    }
};

// Creates the SQLite database `file` by running `sql`.
void MakeSqliteDatabase(const std::filesystem::path& file, const std::string& sql);

// Writes SuiteSettings.ini in `folder` with a [Velmorax] section holding `connectionString` encoded
// as the suite encodes it.
void WriteWarehouseSettings(const std::filesystem::path& folder, const std::string& connectionString,
                            int connectionTimeout = 5, int commandTimeout = 5);

// (Codigo, Nombre) of each warehouse, for comparisons.
std::vector<std::pair<int, std::string>> Rows(const std::vector<clsDataAlmacen>& almacenes);

} // namespace brio::test
