#include "Conversions.h"

#include "BrioError.h"

#include <QStringDecoder>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace brio {

double Val(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    std::string number;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    bool digits = false;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number += text[i++];
        digits = true;
    }
    if (i < n && text[i] == '.') {
        number += text[i++];
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        bool expDigits = false;
        while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exponent += text[j++];
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value))
        throw BrioError(err::Overflow);
    return value;
}

template <typename T> static T roundToEven(double value) {
    if (!std::isfinite(value))
        throw BrioError(err::Overflow);
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0))
        rounded += 1.0;
    if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max()))
        throw BrioError(err::Overflow);
    return static_cast<T>(rounded);
}

std::int32_t CLng(double value) {
    return roundToEven<std::int32_t>(value);
}
std::int16_t CInt(double value) {
    return roundToEven<std::int16_t>(value);
}

static std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

static bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Sign, digits with at most one ".", optional exponent: the whole text and nothing else.
static bool isNumberText(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    bool digits = false, dot = false;
    for (; i < t.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(t[i])))
            digits = true;
        else if (t[i] == '.' && !dot)
            dot = true;
        else
            break;
    }
    if (!digits)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const std::size_t start = i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            ++i;
        if (i == start)
            return false;
    }
    return i == t.size();
}

double CDbl(std::string_view text) {
    const std::string_view t = trimmed(text);
    if (!isNumberText(t))
        throw BrioError(err::TypeMismatch, "«" + std::string(text) + "» no es un número");
    const double value = std::strtod(std::string(t).c_str(), nullptr);
    if (!std::isfinite(value))
        throw BrioError(err::Overflow);
    return value;
}

bool CBool(std::string_view text) {
    const std::string_view t = trimmed(text);
    if (equalsNoCase(t, "true"))
        return true;
    if (equalsNoCase(t, "false"))
        return false;
    if (!isNumberText(t))
        throw BrioError(err::TypeMismatch, "«" + std::string(text) + "» no es un valor booleano");
    return std::strtod(std::string(t).c_str(), nullptr) != 0.0;
}

QDateTime CDate(std::string_view text) {
    const std::string_view t = trimmed(text);
    std::optional<DateParts> parts = ReadDayMonthYear(t);
    if (!parts)
        parts = ReadIso(t);
    if (!parts)
        throw BrioError(err::TypeMismatch, "«" + std::string(t) + "» no es una fecha");
    const QDate date(parts->year, parts->month, parts->day);
    const QTime time(parts->hour, parts->minute, parts->second);
    if (!date.isValid() || !time.isValid())
        throw BrioError(err::TypeMismatch, "«" + std::string(t) + "» no es una fecha");
    return QDateTime(date, time, Qt::UTC);
}

std::string CStr(long long value) {
    return std::to_string(value);
}

std::string Utf8OrLatin(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return std::string(bytes);
    // Windows-1252: Latin-1 except for the printable characters at 0x80..0x9F.
    static const char16_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return out.toStdString();
}

} // namespace brio
