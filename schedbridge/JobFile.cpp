#include "JobFile.h"

#include "DateTime.h"
#include "SystemMessages.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <span>
#include <string_view>

namespace brio {

namespace {

// A task file's dates keep every part, milliseconds included when there are any:
// "yyyy-MM-ddTHH:mm:ss[.zzz]"; an empty text is a date that was never valid.
std::string dateText(const QDateTime& value) {
    if (!value.isValid())
        return {};
    const QDate date = value.date();
    const QTime time = value.time();
    char buffer[48];
    if (time.msec() != 0)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", date.year(), date.month(),
                      date.day(), time.hour(), time.minute(), time.second(), time.msec());
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(),
                      date.day(), time.hour(), time.minute(), time.second());
    return buffer;
}

bool parseDate(std::string_view text, QDateTime& value) {
    if (text.empty()) {
        value = QDateTime();
        return true;
    }
    const std::optional<DateParts> p = ReadIso(text);
    if (!p || p->separator != 'T' || !p->hasSeconds || p->hasZone ||
        (p->fractionDigits != 0 && p->fractionDigits != 3))
        return false;
    const QDate date(p->year, p->month, p->day);
    const QTime time(p->hour, p->minute, p->second, p->millisecond);
    if (!date.isValid() || !time.isValid())
        return false;
    value = QDateTime(date, time, Qt::UTC);
    return true;
}

template <typename Int> bool parseInt(std::string_view text, Int& value) {
    long long wide = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (ec != std::errc() || end != text.data() + text.size() || wide < std::numeric_limits<Int>::min() ||
        wide > std::numeric_limits<Int>::max())
        return false;
    value = static_cast<Int>(wide);
    return true;
}

// Reads the attributes of one element; a missing attribute keeps the field's value, a malformed one
// records the first problem. The element's attributes are matched to the field names in one walk, the
// first of a name counting; the fields are then read in the order of the names, which is also the order
// this program writes them in, so each lookup is usually a hit at the first try.
class FieldReader {
public:
    static constexpr std::size_t kMaxFields = 16;

    FieldReader(pugi::xml_node node, std::span<const std::string_view> names, std::string& problem)
        : node_(node), names_(names), problem_(problem) {
        std::size_t next = 0;
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            const std::size_t at = indexOf(a.name(), next);
            if (at < names_.size()) {
                if (!found_[at])
                    found_[at] = a;
                next = at + 1;
            }
        }
    }

    template <typename Int, typename Setter> void integer(std::string_view name, Setter set) {
        const pugi::xml_attribute attribute = field(name);
        if (!attribute)
            return;
        Int value{};
        if (parseInt(attribute.value(), value))
            set(value);
        else
            bad(name, attribute.value());
    }

    template <typename Setter> void date(std::string_view name, Setter set) {
        const pugi::xml_attribute attribute = field(name);
        if (!attribute)
            return;
        QDateTime value;
        if (parseDate(attribute.value(), value))
            set(value);
        else
            bad(name, attribute.value());
    }

    void text(std::string_view name, std::string& field_) {
        if (const pugi::xml_attribute attribute = field(name))
            field_ = attribute.value();
    }

private:
    // The position of `name` among the field names, searched from `from` round to the start; size() when
    // it is none of them.
    std::size_t indexOf(std::string_view name, std::size_t from) const {
        const std::size_t n = names_.size();
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = (from + k) % n;
            if (names_[i] == name)
                return i;
        }
        return n;
    }

    pugi::xml_attribute field(std::string_view name) {
        const std::size_t at = indexOf(name, cursor_);
        cursor_ = at + 1;
        return at < names_.size() ? found_[at] : pugi::xml_attribute();
    }

    void bad(std::string_view name, const char* value) {
        if (problem_.empty())
            problem_ = std::string("el valor «") + value + "» del atributo «" + std::string(name) + "» de <" +
                       node_.name() + "> no es válido";
    }

    pugi::xml_node node_;
    std::span<const std::string_view> names_;
    std::string& problem_;
    std::array<pugi::xml_attribute, kMaxFields> found_{};
    std::size_t cursor_ = 0;
};

constexpr std::string_view kJobFields[] = {"applicationName", "parameters", "workingDirectory", "flags",
                                           "account"};
constexpr std::string_view kTriggerFields[] = {"triggerType",
                                               "BeginDay",
                                               "StartTime",
                                               "Duration",
                                               "EndDay",
                                               "Interval",
                                               "Flags",
                                               "RandomInterval",
                                               "Daily_Interval",
                                               "Weekly_DaysOfTheWeek",
                                               "Weekly_Interval",
                                               "MonthlyDate_Day",
                                               "MonthlyDate_Months",
                                               "MonthlyDOW_DaysOfTheWeek",
                                               "MonthlyDOW_Months",
                                               "MonthlyDOW_Week"};
static_assert(std::size(kTriggerFields) <= FieldReader::kMaxFields);

// Writes name="value" as the XML library writes an attribute: '&', '<', '"' and control characters
// escaped, the value ending at a NUL character.
void writeAttr(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    for (const char c : value) {
        switch (c) {
        case '\0':
            out += '"';
            return;
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 32) {
                out += "&#";
                out += static_cast<char>('0' + c / 10);
                out += static_cast<char>('0' + c % 10);
                out += ';';
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void writeAttr(std::string& out, std::string_view name, long long value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    writeAttr(out, name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void writeTrigger(std::string& out, const SchedTrigger& t) {
    out += "  <trigger";
    writeAttr(out, "triggerType", t.TriggerType());
    writeAttr(out, "BeginDay", dateText(t.BeginDay()));
    writeAttr(out, "StartTime", dateText(t.StartTime()));
    writeAttr(out, "Duration", t.Duration());
    writeAttr(out, "EndDay", dateText(t.EndDay()));
    writeAttr(out, "Interval", t.Interval());
    writeAttr(out, "Flags", t.Flags());
    writeAttr(out, "RandomInterval", t.RandomInterval());
    writeAttr(out, "Daily_Interval", t.Daily_Interval());
    writeAttr(out, "Weekly_DaysOfTheWeek", t.Weekly_DaysOfTheWeek());
    writeAttr(out, "Weekly_Interval", t.Weekly_Interval());
    writeAttr(out, "MonthlyDate_Day", t.MonthlyDate_Day());
    writeAttr(out, "MonthlyDate_Months", t.MonthlyDate_Months());
    writeAttr(out, "MonthlyDOW_DaysOfTheWeek", t.MonthlyDOW_DaysOfTheWeek());
    writeAttr(out, "MonthlyDOW_Months", t.MonthlyDOW_Months());
    writeAttr(out, "MonthlyDOW_Week", t.MonthlyDOW_Week());
    out += " />\n";
}

void readTrigger(pugi::xml_node node, SchedTrigger& t, std::string& problem) {
    FieldReader r(node, kTriggerFields, problem);
    using I32 = std::int32_t;
    using I16 = std::int16_t;
    r.integer<I32>("triggerType", [&](I32 v) { t.setTriggerType(v); });
    r.date("BeginDay", [&](const QDateTime& v) { t.setBeginDay(v); });
    r.date("StartTime", [&](const QDateTime& v) { t.setStartTime(v); });
    r.integer<I32>("Duration", [&](I32 v) { t.setDuration(v); });
    r.date("EndDay", [&](const QDateTime& v) { t.setEndDay(v); });
    r.integer<I32>("Interval", [&](I32 v) { t.setInterval(v); });
    r.integer<I32>("Flags", [&](I32 v) { t.setFlags(v); });
    r.integer<I16>("RandomInterval", [&](I16 v) { t.setRandomInterval(v); });
    r.integer<I16>("Daily_Interval", [&](I16 v) { t.setDaily_Interval(v); });
    r.integer<I32>("Weekly_DaysOfTheWeek", [&](I32 v) { t.setWeekly_DaysOfTheWeek(v); });
    r.integer<I16>("Weekly_Interval", [&](I16 v) { t.setWeekly_Interval(v); });
    r.integer<I32>("MonthlyDate_Day", [&](I32 v) { t.setMonthlyDate_Day(v); });
    r.integer<I32>("MonthlyDate_Months", [&](I32 v) { t.setMonthlyDate_Months(v); });
    r.integer<I32>("MonthlyDOW_DaysOfTheWeek", [&](I32 v) { t.setMonthlyDOW_DaysOfTheWeek(v); });
    r.integer<I32>("MonthlyDOW_Months", [&](I32 v) { t.setMonthlyDOW_Months(v); });
    r.integer<I32>("MonthlyDOW_Week", [&](I32 v) { t.setMonthlyDOW_Week(v); });
}

int lineOf(std::string_view text, std::ptrdiff_t offset) {
    const auto end =
        text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    return 1 + static_cast<int>(std::count(text.begin(), end, '\n'));
}

} // namespace

std::string WriteJob(const JobData& job) {
    // Written directly, in the indented form the XML library gives such a document: saving many tasks
    // at once spends its time on the disk, not on building documents.
    std::string out;
    out.reserve(512 + 400 * job.triggers.items().size());
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<job";
    writeAttr(out, "version", kJobFileVersion);
    writeAttr(out, "applicationName", job.applicationName);
    writeAttr(out, "parameters", job.parameters);
    writeAttr(out, "workingDirectory", job.workingDirectory);
    writeAttr(out, "flags", job.flags);
    writeAttr(out, "account", job.account);
    if (job.triggers.items().empty()) {
        out += " />\n";
        return out;
    }
    out += ">\n";
    for (const SchedTrigger& trigger : job.triggers.items())
        writeTrigger(out, trigger);
    out += "</job>\n";
    return out;
}

bool ReadJob(std::string_view content, JobData& job, std::string& problem) {
    problem.clear();
    pugi::xml_document document;
    // Whitespace inside attribute values is kept as written: the writer escapes it.
    const pugi::xml_parse_result parsed = document.load_buffer(
        content.data(), content.size(), pugi::parse_escapes | pugi::parse_declaration, pugi::encoding_utf8);
    if (!parsed) {
        problem = std::string("el XML no es válido en la línea ") +
                  std::to_string(lineOf(content, parsed.offset)) + ", desplazamiento " +
                  std::to_string(parsed.offset) + ": " + XmlParseStatusText(parsed.status);
        return false;
    }
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "job") {
        problem = "el elemento raíz no es <job>";
        return false;
    }
    int version = 0;
    if (!parseInt(root.attribute("version").value(), version) || version < 1) {
        problem = "falta la versión del archivo de tarea o no es válida";
        return false;
    }
    if (version > kJobFileVersion) {
        problem = "el archivo de tarea es de la versión " + std::to_string(version) +
                  ", más nueva que la que este programa entiende (" + std::to_string(kJobFileVersion) + ")";
        return false;
    }
    JobData read;
    FieldReader r(root, kJobFields, problem);
    r.text("applicationName", read.applicationName);
    r.text("parameters", read.parameters);
    r.text("workingDirectory", read.workingDirectory);
    r.integer<std::int32_t>("flags", [&](std::int32_t v) { read.flags = v; });
    r.text("account", read.account);
    for (pugi::xml_node node = root.child("trigger"); node; node = node.next_sibling("trigger"))
        readTrigger(node, read.triggers.Add(), problem);
    if (!problem.empty())
        return false;
    job = std::move(read);
    return true;
}

} // namespace brio
