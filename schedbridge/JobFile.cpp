#include "JobFile.h"

#include "SystemMessages.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>

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

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool parseDate(std::string_view text, QDateTime& value) {
    if (text.empty()) {
        value = QDateTime();
        return true;
    }
    int year, month, day, hour, minute, second, msec = 0;
    if (!(text.size() == 19 || text.size() == 23) || !digitsAt(text, 0, 4, year) || text[4] != '-' ||
        !digitsAt(text, 5, 2, month) || text[7] != '-' || !digitsAt(text, 8, 2, day) || text[10] != 'T' ||
        !digitsAt(text, 11, 2, hour) || text[13] != ':' || !digitsAt(text, 14, 2, minute) ||
        text[16] != ':' || !digitsAt(text, 17, 2, second))
        return false;
    if (text.size() == 23 && (text[19] != '.' || !digitsAt(text, 20, 3, msec)))
        return false;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, msec);
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
// records the first problem.
class FieldReader {
public:
    FieldReader(pugi::xml_node node, std::string& problem) : node_(node), problem_(problem) {}

    template <typename Int, typename Setter> void integer(const char* name, Setter set) {
        const pugi::xml_attribute attribute = node_.attribute(name);
        if (!attribute)
            return;
        Int value{};
        if (parseInt(attribute.value(), value))
            set(value);
        else
            bad(name, attribute.value());
    }

    template <typename Setter> void date(const char* name, Setter set) {
        const pugi::xml_attribute attribute = node_.attribute(name);
        if (!attribute)
            return;
        QDateTime value;
        if (parseDate(attribute.value(), value))
            set(value);
        else
            bad(name, attribute.value());
    }

    void text(const char* name, std::string& field) {
        if (const pugi::xml_attribute attribute = node_.attribute(name))
            field = attribute.value();
    }

private:
    void bad(const char* name, const char* value) {
        if (problem_.empty())
            problem_ = std::string("el valor «") + value + "» del atributo «" + name + "» de <" +
                       node_.name() + "> no es válido";
    }

    pugi::xml_node node_;
    std::string& problem_;
};

void writeTrigger(pugi::xml_node node, const SchedTrigger& t) {
    const auto integer = [&](const char* name, long long value) { node.append_attribute(name) = value; };
    const auto date = [&](const char* name, const QDateTime& value) {
        node.append_attribute(name) = dateText(value).c_str();
    };
    integer("triggerType", t.TriggerType());
    date("BeginDay", t.BeginDay());
    date("StartTime", t.StartTime());
    integer("Duration", t.Duration());
    date("EndDay", t.EndDay());
    integer("Interval", t.Interval());
    integer("Flags", t.Flags());
    integer("RandomInterval", t.RandomInterval());
    integer("Daily_Interval", t.Daily_Interval());
    integer("Weekly_DaysOfTheWeek", t.Weekly_DaysOfTheWeek());
    integer("Weekly_Interval", t.Weekly_Interval());
    integer("MonthlyDate_Day", t.MonthlyDate_Day());
    integer("MonthlyDate_Months", t.MonthlyDate_Months());
    integer("MonthlyDOW_DaysOfTheWeek", t.MonthlyDOW_DaysOfTheWeek());
    integer("MonthlyDOW_Months", t.MonthlyDOW_Months());
    integer("MonthlyDOW_Week", t.MonthlyDOW_Week());
}

void readTrigger(pugi::xml_node node, SchedTrigger& t, std::string& problem) {
    FieldReader r(node, problem);
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
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document.append_child("job");
    root.append_attribute("version") = kJobFileVersion;
    root.append_attribute("applicationName") = job.applicationName.c_str();
    root.append_attribute("parameters") = job.parameters.c_str();
    root.append_attribute("workingDirectory") = job.workingDirectory.c_str();
    root.append_attribute("flags") = job.flags;
    root.append_attribute("account") = job.account.c_str();
    for (const SchedTrigger& trigger : job.triggers.items())
        writeTrigger(root.append_child("trigger"), trigger);
    std::ostringstream out;
    document.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
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
    FieldReader r(root, problem);
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
