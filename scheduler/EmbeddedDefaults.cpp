#include "EmbeddedDefaults.h"

#include "AdminListFile.h"
#include "AtomicFile.h"
#include "BrioError.h"
#include "ListFileLock.h"
#include "SuiteSettings.h"
#include "SystemMessages.h"
#include "clsDataAlmacen.h"

#include <odbcinst.h>
#include <sqlite3.h>

#include <array>
#include <memory>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr const char* kDriverName = "SQLite3";
constexpr const char* kDriverLibrary = "libsqlite3odbc.so";

constexpr const char* kDemoSchema = R"sql(
CREATE TABLE Almacenes (Codigo INTEGER, Nombre TEXT, Remoto INTEGER);
INSERT INTO Almacenes (Codigo, Nombre, Remoto) VALUES
  (1, 'Central', 0),
  (12, 'Centro', 1),
  (14, 'Norte', 1),
  (20, 'Oficinas', 0),
  (23, 'Puerto', 1),
  (31, 'Sur', 1),
  (40, 'Logística', 0);
)sql";

bool driverRegistered() {
    std::array<char, 4096> names{};
    WORD length = 0;
    if (!SQLGetInstalledDrivers(names.data(), static_cast<WORD>(names.size()), &length))
        return false;
    // A list of zero-terminated names ending with an empty one.
    for (const char* name = names.data(); *name && name < names.data() + names.size();
         name += std::char_traits<char>::length(name) + 1) {
        if (std::string_view(name) == kDriverName)
            return true;
    }
    return false;
}

// The driver library in the usual places, multiarch folders included; empty when none is there.
fs::path driverLibrary() {
    std::error_code ec;
    for (const fs::path lib : {"/usr/lib", "/usr/local/lib", "/usr/lib64"}) {
        for (const fs::path& candidate : {lib / "odbc" / kDriverLibrary, lib / kDriverLibrary}) {
            if (fs::exists(candidate, ec))
                return candidate;
        }
        for (fs::directory_iterator it(lib, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path candidate = it->path() / "odbc" / kDriverLibrary;
            if (it->is_directory(ec) && fs::exists(candidate, ec))
                return candidate;
        }
    }
    return {};
}

// A value of the SQLite driver's connection string. The driver reads each value up to the next ";"
// and knows no quoting, so a value holding one would silently name another file: it is refused.
std::string attributeValue(const std::string& value, const char* what) {
    if (value.find(';') != std::string::npos)
        throw BrioError(err::BadFileName, std::string(what) + " no puede contener \";\": " + value);
    return value;
}

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FreeBytes {
    void operator()(unsigned char* bytes) const { sqlite3_free(bytes); }
};

// The whole demo database as bytes, built in memory so that the file appears complete or not at all.
std::string demoDatabaseBytes() {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open(":memory:", &raw);
    std::unique_ptr<sqlite3, CloseDatabase> db(raw);
    if (opened != SQLITE_OK)
        throw BrioError(err::PathFileAccess, "no se pudo crear la base de datos de ejemplo");
    char* message = nullptr;
    if (sqlite3_exec(db.get(), kDemoSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string detail = message ? message : "";
        sqlite3_free(message);
        throw BrioError(err::PathFileAccess, "no se pudo crear la base de datos de ejemplo: " + detail);
    }
    sqlite3_int64 size = 0;
    std::unique_ptr<unsigned char, FreeBytes> bytes(sqlite3_serialize(db.get(), "main", &size, 0));
    if (!bytes)
        throw BrioError(err::PathFileAccess, "no se pudo crear la base de datos de ejemplo");
    return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<std::size_t>(size));
}

bool present(const fs::path& file) {
    std::error_code ec;
    const bool found = fs::exists(fs::symlink_status(file, ec));
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw BrioError(err::PathFileAccess, file.string() + ": " + SystemErrorText(ec));
    return found;
}

} // namespace

std::string SqliteConnectionString(const fs::path& database) {
    std::string driver = kDriverName;
    if (!driverRegistered()) {
        if (const fs::path library = driverLibrary(); !library.empty())
            driver = library.string();
    }
    // NoCreat: a database that has gone missing is an error, not a new empty file in its place.
    return "Driver=" + attributeValue(driver, "la ruta del controlador ODBC de SQLite") +
           ";Database=" + attributeValue(database.string(), "la ruta de la base de datos") + ";NoCreat=1;";
}

void EnsureEmbeddedDefaults(const fs::path& programFolder) {
    const fs::path folder = fs::absolute(programFolder);
    const fs::path database = folder / DemoDatabaseName;
    const fs::path settings = folder / SuiteSettings::FileName;

    const std::string connection = SqliteConnectionString(database);
    if (present(database) && present(settings))
        return;

    // Made under the program folder's writers' lock: two programs starting at once make each file once,
    // and what a program killed while making them left behind is removed first.
    const ListFileLock lock(folder / AdminListFile::kListFileName);
    RemoveStaleTemporaries(database, false);
    RemoveStaleTemporaries(settings, false);
    if (!present(database))
        WriteFileAtomically(database, demoDatabaseBytes(), 0644);

    if (!present(settings)) {
        const std::string content = "; Configuración de la suite: un apartado por origen de datos.\r\n"
                                    "[" +
                                    std::string(WarehouseDataSource) +
                                    "]\r\n"
                                    "ConnectionText=" +
                                    EncodeWarehouseConnection(connection) +
                                    "\r\n"
                                    "ConnectionTimeout=15\r\n"
                                    "CommandTimeout=30\r\n";
        WriteFileAtomically(settings, content, 0600);
    }
}

} // namespace brio
