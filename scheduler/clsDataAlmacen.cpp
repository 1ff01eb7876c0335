#include "clsDataAlmacen.h"

#include "BrioError.h"
#include "Conversions.h"
#include "SuiteSettings.h"
#include "SystemMessages.h"
#include "TextDecoder.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <QString>

namespace brio {

namespace {

// The pass phrase the suite's connection texts are encoded with.
constexpr std::string_view kPassPhrase = "mesa azul 48 granito";

constexpr const char* kQuery = "SELECT Codigo, Nombre FROM Almacenes WHERE Remoto=1 ORDER BY Codigo";

// The connection string and the secrets inside it, wiped when the query ends. Every diagnostic passes
// through Redact so that no error text ever quotes them.
class Secrets {
public:
    explicit Secrets(std::string connection) : connection_(std::move(connection)) { collectPasswords(); }
    ~Secrets() {
        TextDecoder::Wipe(connection_);
        for (std::string& s : passwords_)
            TextDecoder::Wipe(s);
    }
    Secrets(const Secrets&) = delete;
    Secrets& operator=(const Secrets&) = delete;

    const std::string& connection() const noexcept { return connection_; }

    std::string Redact(std::string text) const {
        replaceAll(text, connection_);
        for (const std::string& s : passwords_)
            replaceAll(text, s);
        return text;
    }

private:
    static void replaceAll(std::string& text, const std::string& secret) {
        if (secret.empty())
            return;
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }

    // The values of PWD= and Password= attributes ("{...}" values may hold ';').
    void collectPasswords() {
        std::string_view rest = connection_;
        while (!rest.empty()) {
            const auto equals = rest.find('=');
            if (equals == std::string_view::npos)
                break;
            std::string key(rest.substr(0, equals));
            rest.remove_prefix(equals + 1);
            std::string_view value;
            if (!rest.empty() && rest.front() == '{') {
                const auto close = rest.find('}');
                value = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
                rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
            } else {
                value = rest.substr(0, rest.find(';'));
                rest.remove_prefix(value.size());
            }
            if (!rest.empty() && rest.front() == ';')
                rest.remove_prefix(1);

            for (char& c : key)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const auto first = key.find_first_not_of(" \t");
            key = first == std::string::npos ? std::string() : key.substr(first);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
                key.pop_back();
            // Very short values would blank out unrelated characters of every message.
            if ((key == "pwd" || key == "password") && value.size() >= 3)
                passwords_.emplace_back(value);
        }
    }

    std::string connection_;
    std::vector<std::string> passwords_;
};

// One ODBC handle, freed on every path; a connection is closed first.
class OdbcHandle {
public:
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_)))
            throw BrioError(err::InvalidCall, "no se pudo preparar el acceso a la base de datos (ODBC)");
    }
    ~OdbcHandle() {
        if (connected_)
            SQLDisconnect(handle_);
        SQLFreeHandle(type_, handle_);
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const noexcept { return handle_; }
    SQLSMALLINT type() const noexcept { return type_; }
    void setConnected() noexcept { connected_ = true; }

private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
    bool connected_ = false;
};

struct Diagnostic {
    std::string state;
    std::string message;
};

std::vector<Diagnostic> diagnosticsOf(const OdbcHandle& h) {
    std::vector<Diagnostic> all;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            SQLGetDiagRec(h.type(), h.get(), record, state, &native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        all.push_back({reinterpret_cast<const char*>(state), reinterpret_cast<const char*>(message)});
    }
    return all;
}

// A driver's message on one line: line ends and the indentation after them become one blank.
std::string oneLine(const std::string& message) {
    std::string line;
    bool blank = false;
    for (char c : message) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = true;
            continue;
        }
        if (blank && !line.empty())
            line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

[[noreturn]] void fail(const std::string& what, const OdbcHandle& h, const Secrets& secrets) {
    std::string detail = what;
    for (const Diagnostic& d : diagnosticsOf(h))
        detail += " [" + d.state + "] " + oneLine(Utf8OrLatin(d.message));
    throw BrioError(err::InvalidCall, secrets.Redact(std::move(detail)));
}

void check(SQLRETURN rc, const std::string& what, const OdbcHandle& h, const Secrets& secrets) {
    if (!SQL_SUCCEEDED(rc))
        fail(what, h, secrets);
}

// Timeouts are optional features: a driver that does not support one leaves it out, as the
// suite's database components always did.
bool unsupported(const OdbcHandle& h) {
    for (const Diagnostic& d : diagnosticsOf(h)) {
        if (d.state == "HYC00" || d.state == "HY092" || d.state == "IM001")
            return true;
    }
    return false;
}

void setSeconds(SQLRETURN rc, const std::string& what, const OdbcHandle& h, const Secrets& secrets) {
    if (!SQL_SUCCEEDED(rc) && !unsupported(h))
        fail(what, h, secrets);
}

SQLPOINTER seconds(std::int16_t value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(value));
}

// The number of the result column named `name`, without regard to letter case.
SQLUSMALLINT columnNamed(const OdbcHandle& stmt, std::string_view name, const Secrets& secrets) {
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(stmt.get(), &count), "no se pudieron leer las columnas del resultado", stmt,
          secrets);
    for (SQLSMALLINT column = 1; column <= count; ++column) {
        SQLCHAR buffer[256] = {};
        SQLSMALLINT length = 0, dataType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(SQLDescribeCol(stmt.get(), column, buffer, sizeof buffer, &length, &dataType, &size, &digits,
                             &nullable),
              "no se pudieron leer las columnas del resultado", stmt, secrets);
        const std::string_view found(reinterpret_cast<const char*>(buffer));
        if (found.size() == name.size() &&
            std::equal(found.begin(), found.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return static_cast<SQLUSMALLINT>(column);
    }
    throw BrioError(err::InvalidCall, "la consulta de almacenes no devuelve el campo " + std::string(name));
}

// The field of the current row as UTF-8 text; nullopt for NULL. Read as UTF-16 so that every driver
// hands over the same characters whatever the process locale.
std::optional<std::string> fieldText(const OdbcHandle& stmt, SQLUSMALLINT column, const Secrets& secrets) {
    std::u16string text;
    for (;;) {
        SQLWCHAR buffer[256];
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt.get(), column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, "no se pudo leer un campo de la tabla Almacenes", stmt, secrets);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        constexpr std::size_t capacity = sizeof buffer / sizeof(SQLWCHAR) - 1;
        const bool truncated =
            rc == SQL_SUCCESS_WITH_INFO &&
            (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > capacity * 2);
        const std::size_t chars =
            truncated ? capacity : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
        text.append(reinterpret_cast<const char16_t*>(buffer), chars);
        if (!truncated)
            break;
    }
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

// Codigo converted to a 32-bit integer: a number is rounded (halves to even), anything else is
// error 13 and a number outside the range error 6.
std::int32_t codigoFrom(const std::optional<std::string>& field) {
    if (!field)
        throw BrioError(err::TypeMismatch, "un almacén tiene el campo Codigo vacío (NULL)");
    std::string_view text = *field;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() || ec == std::errc::invalid_argument ||
        std::isnan(value))
        throw BrioError(err::TypeMismatch, "el campo Codigo de un almacén no es un número: «" + *field + "»");
    if (ec == std::errc::result_out_of_range || std::isinf(value))
        throw BrioError(err::Overflow, "el campo Codigo de un almacén está fuera del intervalo: " + *field);
    return CLng(value);
}

// Reads the remote warehouses into `out`; a warehouse is added only once both of its fields are read.
void readRemoteWarehouses(const std::filesystem::path& programFolder, std::vector<clsDataAlmacen>& out) {
    SuiteSettings settings(programFolder);
    settings.setDataSource(WarehouseDataSource);
    settings.Load();

    const Secrets secrets(TextDecoder::DecodeText(settings.ConnectionText(), kPassPhrase));

    OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          "no se pudo preparar el acceso a la base de datos (ODBC)", env, secrets);

    OdbcHandle dbc(SQL_HANDLE_DBC, env.get());
    setSeconds(SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, seconds(settings.ConnectionTimeout()), 0),
               "no se pudo fijar el tiempo de espera de la conexión", dbc, secrets);
    setSeconds(
        SQLSetConnectAttr(dbc.get(), SQL_ATTR_CONNECTION_TIMEOUT, seconds(settings.ConnectionTimeout()), 0),
        "no se pudo fijar el tiempo de espera de la conexión", dbc, secrets);

    // The connection string alone decides driver, database and account.
    std::string connection = secrets.connection();
    const SQLRETURN connected =
        SQLDriverConnect(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(connection.data()), SQL_NTS, nullptr,
                         0, nullptr, SQL_DRIVER_NOPROMPT);
    TextDecoder::Wipe(connection);
    check(connected, "no se pudo conectar con la base de datos de almacenes", dbc, secrets);
    dbc.setConnected();

    OdbcHandle stmt(SQL_HANDLE_STMT, dbc.get());
    setSeconds(SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, seconds(settings.CommandTimeout()), 0),
               "no se pudo fijar el tiempo de espera de la consulta", stmt, secrets);
    setSeconds(SQLSetStmtAttr(stmt.get(), SQL_ATTR_CURSOR_TYPE,
                              reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0),
               "no se pudo preparar la consulta de almacenes", stmt, secrets);

    check(SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(kQuery)), SQL_NTS),
          "falló la consulta de almacenes", stmt, secrets);

    const SQLUSMALLINT codigo = columnNamed(stmt, "Codigo", secrets);
    const SQLUSMALLINT nombre = columnNamed(stmt, "Nombre", secrets);

    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt.get());
        if (rc == SQL_NO_DATA)
            break;
        check(rc, "no se pudo leer la tabla Almacenes", stmt, secrets);

        // Fields are read in column order: some drivers only hand out columns left to right.
        std::optional<std::string> codigoText, nombreText;
        if (codigo < nombre) {
            codigoText = fieldText(stmt, codigo, secrets);
            nombreText = fieldText(stmt, nombre, secrets);
        } else {
            nombreText = fieldText(stmt, nombre, secrets);
            codigoText = fieldText(stmt, codigo, secrets);
        }

        clsDataAlmacen almacen;
        almacen.setCodigo(codigoFrom(codigoText));
        if (!nombreText)
            throw BrioError(err::TypeMismatch, "el almacén " + std::to_string(almacen.Codigo()) +
                                                   " tiene el campo Nombre vacío (NULL)");
        almacen.setNombre(*nombreText);
        out.push_back(std::move(almacen));
    }
}

} // namespace

std::vector<clsDataAlmacen> clsDataAlmacen::ReadRemoteWarehouses(const std::filesystem::path& programFolder) {
    std::vector<clsDataAlmacen> result;
    try {
        readRemoteWarehouses(programFolder, result);
    } catch (const std::exception& e) {
        throw AsBrioError(e);
    }
    return result;
}

std::vector<clsDataAlmacen>
clsDataAlmacen::ListadoAlmacenesRemotos(const MessageSink& messages,
                                        const std::filesystem::path& programFolder) {
    std::vector<clsDataAlmacen> result;
    std::string report;
    try {
        readRemoteWarehouses(programFolder, result);
        return result;
    } catch (const std::exception& e) {
        report = AsBrioError(e).report();
    }
    if (messages)
        messages(report, std::string(), MsgIcon::Critical);
    else
        std::cerr << report << '\n';
    return result;
}

std::string EncodeWarehouseConnection(std::string_view connectionString) {
    return TextDecoder::EncodeText(connectionString, kPassPhrase);
}

} // namespace brio
