#include "SuiteSettings.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "Conversions.h"

#include <charconv>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace brio {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Section and key names are ASCII in practice; other bytes are compared as they are.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The keys of the first section named `section`, as they appear; nullopt when there is no such section.
std::optional<std::vector<std::pair<std::string, std::string>>> readSection(std::string_view content,
                                                                            std::string_view section) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);

    std::optional<std::vector<std::pair<std::string, std::string>>> keys;
    bool inside = false;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = trim(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (inside)
                break;
            const auto close = line.find(']');
            if (close != std::string_view::npos && sameName(trim(line.substr(1, close - 1)), section)) {
                inside = true;
                keys.emplace();
            }
            continue;
        }
        if (!inside)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view value = trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        keys->emplace_back(std::string(trim(line.substr(0, equals))), std::string(value));
    }
    return keys;
}

const std::string* findKey(const std::vector<std::pair<std::string, std::string>>& keys,
                           std::string_view name) {
    for (const auto& [key, value] : keys) {
        if (sameName(key, name))
            return &value;
    }
    return nullptr;
}

std::int16_t readSeconds(const std::string& value, std::string_view key, std::string_view section) {
    const std::string where = std::string(key) + " de la sección [" + std::string(section) + "]";
    long long number = 0;
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, number);
    if (first == last || end != last || ec == std::errc::invalid_argument)
        throw BrioError(err::TypeMismatch, "el valor de " + where + " no es un número entero de segundos");
    if (ec == std::errc::result_out_of_range || number < 0 || number > 32767)
        throw BrioError(err::Overflow, "el valor de " + where + " debe estar entre 0 y 32767 segundos");
    return static_cast<std::int16_t>(number);
}

} // namespace

SuiteSettings::SuiteSettings(std::filesystem::path programFolder)
    : file_(std::move(programFolder) / FileName) {}

void SuiteSettings::Load() {
    if (trim(dataSource_).empty())
        throw BrioError(err::InvalidCall,
                        "no se ha indicado el origen de datos de la configuración de la suite");

    std::string content;
    try {
        content = Utf8OrLatin(ReadWholeFile(file_));
    } catch (const BrioError& e) {
        if (e.number() == err::FileNotFound)
            throw BrioError(err::FileNotFound, "falta la configuración de la suite " + file_.string());
        throw;
    }

    const auto keys = readSection(content, trim(dataSource_));
    if (!keys)
        throw BrioError(err::InvalidCall, "la configuración de la suite " + file_.string() +
                                              " no tiene la sección [" + dataSource_ + "]");

    auto required = [&](std::string_view name) -> const std::string& {
        if (const std::string* value = findKey(*keys, name))
            return *value;
        throw BrioError(err::InvalidCall, "falta la clave " + std::string(name) + " en la sección [" +
                                              dataSource_ + "] de " + file_.string());
    };

    std::string text = required("ConnectionText");
    const std::int16_t connection =
        readSeconds(required("ConnectionTimeout"), "ConnectionTimeout", dataSource_);
    const std::int16_t command = readSeconds(required("CommandTimeout"), "CommandTimeout", dataSource_);

    connectionText_ = std::move(text);
    connectionTimeout_ = connection;
    commandTimeout_ = command;
}

} // namespace brio
