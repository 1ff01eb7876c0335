#pragma once

#include <filesystem>
#include <string>

namespace brio {

// The demo database of the suite's warehouses, next to the program.
inline constexpr const char* DemoDatabaseName = "velmorax.db";

// Creates what the program needs on first run when it is absent, never replacing an existing file:
// the demo SQLite database velmorax.db (table Almacenes with a few warehouses, some remote) and a
// SuiteSettings.ini whose [Velmorax] section points at it through the SQLite ODBC driver. Each file
// is written whole or not at all; failures throw BrioError.
void EnsureEmbeddedDefaults(const std::filesystem::path& programFolder);

// The connection string of the SQLite ODBC driver for `database`: the registered driver "SQLite3",
// or the driver library itself when it is not registered. The driver cannot take a path holding ";":
// such a path is error 52.
std::string SqliteConnectionString(const std::filesystem::path& database);

} // namespace brio
