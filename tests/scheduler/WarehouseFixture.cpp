#include "WarehouseFixture.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace brio::test {

void MakeSqliteDatabase(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    const std::string detail = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << detail;
}

void WriteWarehouseSettings(const std::filesystem::path& folder, const std::string& connectionString,
                            int connectionTimeout, int commandTimeout) {
    WriteText(folder / "SuiteSettings.ini",
              "[Velmorax]\r\nConnectionText=" + EncodeWarehouseConnection(connectionString) +
                  "\r\nConnectionTimeout=" + std::to_string(connectionTimeout) +
                  "\r\nCommandTimeout=" + std::to_string(commandTimeout) + "\r\n");
}

std::vector<std::pair<int, std::string>> Rows(const std::vector<clsDataAlmacen>& almacenes) {
    std::vector<std::pair<int, std::string>> rows;
    for (const clsDataAlmacen& a : almacenes)
        rows.emplace_back(a.Codigo(), a.Nombre());
    return rows;
}

} // namespace brio::test
