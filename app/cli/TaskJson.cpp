#include "TaskJson.h"

#include "BrioError.h"
#include "HostPaths.h"
#include "TaskDetails.h"
#include "TriggerDays.h"
#include "TriggerText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <variant>

namespace brio::cli {

namespace {

// Finds where a value of the document starts, by walking its text: QJsonDocument keeps no positions.
class JsonLocator {
public:
    explicit JsonLocator(std::string_view text) : t_(text) {}

    // The byte offset of the value at `path`; the end of the text when it cannot be found.
    std::size_t Find(const JsonPath& path) {
        i_ = 0;
        space();
        for (const JsonPath::value_type& step : path) {
            if (!enter(step))
                return t_.size();
        }
        return i_;
    }

private:
    void space() {
        while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r'))
            ++i_;
    }

    // Reads a string at the cursor (escapes as written are enough for keys we look for).
    std::string string() {
        std::string value;
        ++i_; // the opening quote
        while (i_ < t_.size() && t_[i_] != '"') {
            if (t_[i_] == '\\' && i_ + 1 < t_.size())
                value += t_[i_++];
            value += t_[i_++];
        }
        ++i_;
        return value;
    }

    void skip() {
        space();
        if (i_ >= t_.size())
            return;
        if (t_[i_] == '"') {
            string();
        } else if (t_[i_] == '{' || t_[i_] == '[') {
            const char close = t_[i_] == '{' ? '}' : ']';
            ++i_;
            space();
            while (i_ < t_.size() && t_[i_] != close) {
                if (close == '}') {
                    string();
                    space();
                    ++i_; // the colon
                }
                skip();
                space();
                if (i_ < t_.size() && t_[i_] == ',')
                    ++i_;
                space();
            }
            ++i_;
        } else {
            while (i_ < t_.size() && std::string_view(",}] \t\r\n").find(t_[i_]) == std::string_view::npos)
                ++i_;
        }
    }

    bool enter(const JsonPath::value_type& step) {
        if (i_ >= t_.size())
            return false;
        const bool object = t_[i_] == '{';
        if (object != std::holds_alternative<std::string>(step) || (!object && t_[i_] != '['))
            return false;
        ++i_;
        for (int index = 0;; ++index) {
            space();
            if (i_ >= t_.size() || t_[i_] == '}' || t_[i_] == ']')
                return false;
            bool found = false;
            if (object) {
                found = string() == std::get<std::string>(step);
                space();
                ++i_; // the colon
            } else {
                found = index == std::get<int>(step);
            }
            space();
            if (found)
                return true;
            skip();
            space();
            if (i_ < t_.size() && t_[i_] == ',')
                ++i_;
        }
    }

    std::string_view t_;
    std::size_t i_ = 0;
};

std::string pathText(const JsonPath& path);

} // namespace

// "línea L, columna C" of a byte offset, the column counted in characters.
std::string placeOf(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    int line = 1;
    std::size_t column = 1;
    for (std::size_t k = 0; k < offset; ++k) {
        if (text[k] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "línea " + std::to_string(line) + ", columna " + std::to_string(column);
}

std::string FieldProblem(std::string_view text, const JsonPath& path, const std::string& what) {
    JsonLocator locator(text);
    return placeOf(text, locator.Find(path)) + ": el campo «" + pathText(path) + "» " + what;
}

namespace {

std::string pathText(const JsonPath& path) {
    std::string text;
    for (const JsonPath::value_type& step : path) {
        if (const auto* key = std::get_if<std::string>(&step))
            text += (text.empty() ? "" : ".") + *key;
        else
            text += "[" + std::to_string(std::get<int>(step) + 1) + "]";
    }
    return text;
}

const char* typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "un valor lógico";
    case QJsonValue::Double:
        return "un número";
    case QJsonValue::String:
        return "un texto";
    case QJsonValue::Array:
        return "una lista";
    case QJsonValue::Object:
        return "un objeto";
    default:
        return "nada";
    }
}

// Reads one document, recording each problem with the place of the field it concerns.
class Reader {
public:
    Reader(std::string_view text, std::vector<std::string>& problems) : text_(text), problems_(problems) {}

    std::size_t count() const noexcept { return problems_.size(); }

    void problem(const JsonPath& path, const std::string& what) {
        problems_.push_back(FieldProblem(text_, path, what));
    }

    bool text(const QJsonValue& value, const JsonPath& path, std::string& out) {
        if (!value.isString()) {
            problem(path, std::string("debe ser un texto (es ") + typeName(value) + ")");
            return false;
        }
        out = value.toString().toStdString();
        return true;
    }

    bool boolean(const QJsonValue& value, const JsonPath& path, bool& out) {
        if (!value.isBool()) {
            problem(path, std::string("debe ser true o false (es ") + typeName(value) + ")");
            return false;
        }
        out = value.toBool();
        return true;
    }

    bool integer(const QJsonValue& value, const JsonPath& path, long long low, long long high,
                 long long& out) {
        const double number = value.toDouble();
        if (!value.isDouble() || number != std::floor(number) || number < static_cast<double>(low) ||
            number > static_cast<double>(high)) {
            problem(path, "debe ser un número entero de " + std::to_string(low) + " a " +
                              std::to_string(high) + " (es " +
                              (value.isDouble() ? QString::number(number, 'g', 17).toStdString()
                                                : std::string(typeName(value))) +
                              ")");
            return false;
        }
        out = static_cast<long long>(number);
        return true;
    }

    bool date(const QJsonValue& value, const JsonPath& path, QDateTime& out) {
        std::string written;
        if (!text(value, path, written))
            return false;
        if (written.empty()) {
            out = QDateTime();
            return true;
        }
        try {
            out = CDate(written);
            return true;
        } catch (const BrioError&) {
            problem(path, "debe ser una fecha dd/MM/aaaa HH:mm:ss (es «" + written + "»)");
            return false;
        }
    }

private:
    std::string_view text_;
    std::vector<std::string>& problems_;
};

constexpr long long kI16Min = std::numeric_limits<std::int16_t>::min();
constexpr long long kI16Max = std::numeric_limits<std::int16_t>::max();
constexpr long long kI32Min = std::numeric_limits<std::int32_t>::min();
constexpr long long kI32Max = std::numeric_limits<std::int32_t>::max();

// The integer fields of a trigger, with their range and where each goes.
struct IntField {
    const char* name;
    bool narrow; // 16 bits
    std::function<void(SchedTrigger&, long long)> set;
};

const std::vector<IntField>& intFields() {
    static const std::vector<IntField> fields = {
        {"triggerType", false,
         [](SchedTrigger& t, long long v) { t.setTriggerType(static_cast<std::int32_t>(v)); }},
        {"Duration", false,
         [](SchedTrigger& t, long long v) { t.setDuration(static_cast<std::int32_t>(v)); }},
        {"Interval", false,
         [](SchedTrigger& t, long long v) { t.setInterval(static_cast<std::int32_t>(v)); }},
        {"Flags", false, [](SchedTrigger& t, long long v) { t.setFlags(static_cast<std::int32_t>(v)); }},
        {"RandomInterval", true,
         [](SchedTrigger& t, long long v) { t.setRandomInterval(static_cast<std::int16_t>(v)); }},
        {"Daily_Interval", true,
         [](SchedTrigger& t, long long v) { t.setDaily_Interval(static_cast<std::int16_t>(v)); }},
        {"Weekly_DaysOfTheWeek", false,
         [](SchedTrigger& t, long long v) { t.setWeekly_DaysOfTheWeek(static_cast<std::int32_t>(v)); }},
        {"Weekly_Interval", true,
         [](SchedTrigger& t, long long v) { t.setWeekly_Interval(static_cast<std::int16_t>(v)); }},
        {"MonthlyDate_Day", false,
         [](SchedTrigger& t, long long v) { t.setMonthlyDate_Day(static_cast<std::int32_t>(v)); }},
        {"MonthlyDate_Months", false,
         [](SchedTrigger& t, long long v) { t.setMonthlyDate_Months(static_cast<std::int32_t>(v)); }},
        {"MonthlyDOW_DaysOfTheWeek", false,
         [](SchedTrigger& t, long long v) { t.setMonthlyDOW_DaysOfTheWeek(static_cast<std::int32_t>(v)); }},
        {"MonthlyDOW_Months", false,
         [](SchedTrigger& t, long long v) { t.setMonthlyDOW_Months(static_cast<std::int32_t>(v)); }},
        {"MonthlyDOW_Week", false,
         [](SchedTrigger& t, long long v) { t.setMonthlyDOW_Week(static_cast<std::int32_t>(v)); }},
    };
    return fields;
}

const std::vector<std::pair<const char*, void (SchedTrigger::*)(QDateTime)>> kDateFields = {
    {"BeginDay", &SchedTrigger::setBeginDay},
    {"StartTime", &SchedTrigger::setStartTime},
    {"EndDay", &SchedTrigger::setEndDay},
};

// One trigger object: its fields over a new trigger's, or its "Text" alone.
void readTrigger(Reader& r, const QJsonObject& o, const JsonPath& path, const SchedTrigger* before,
                 SchedTrigger& t) {
    const std::size_t problemsBefore = r.count();
    bool anyField = false;
    std::string text;
    bool hasText = false;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        JsonPath at = path;
        at.emplace_back(key);
        if (key == "Text") {
            hasText = r.text(it.value(), at, text);
            continue;
        }
        std::string ignored;
        if (key == "typeDescription") { // told from triggerType; read for its type only
            r.text(it.value(), at, ignored);
            continue;
        }
        anyField = true;
        const auto field = std::find_if(intFields().begin(), intFields().end(),
                                        [&](const IntField& f) { return key == f.name; });
        long long number = 0;
        if (field != intFields().end()) {
            if (r.integer(it.value(), at, field->narrow ? kI16Min : kI32Min,
                          field->narrow ? kI16Max : kI32Max, number))
                field->set(t, number);
            continue;
        }
        const auto date = std::find_if(kDateFields.begin(), kDateFields.end(),
                                       [&](const auto& f) { return key == f.first; });
        QDateTime value;
        if (date == kDateFields.end())
            r.problem(at, "no es un campo de un desencadenador");
        else if (r.date(it.value(), at, value))
            (t.*(date->second))(value);
    }
    // A field that did not read leaves the text nothing to be compared with.
    if (!hasText || (anyField && text == t.Text()) || r.count() != problemsBefore)
        return;
    JsonPath at = path;
    at.emplace_back(std::string("Text"));
    // Editing: a text left as it was while fields changed is only out of date; a text changed while the
    // fields stayed is what the person meant.
    const bool textChanged = !before || text != before->Text();
    const bool fieldsChanged = !before || !(t == *before);
    if (anyField && !textChanged)
        return;
    if (anyField && fieldsChanged) {
        r.problem(at, "no coincide con los demás campos, que dicen «" + t.Text() +
                          "»: corrija uno de los dos o quite «Text»");
        return;
    }
    TriggerTextError error;
    if (const std::optional<SchedTrigger> read = ParseTriggerText(text, &error)) {
        t = *read;
        BeginTodayWhenUnset(t);
    } else
        r.problem(at, "no se entiende en la " + error.Message());
}

// Applies a Boolean shown apart from the flag word ("Enabled", "hidden"): when the two disagree, the one
// the person changed counts.
void readFlagBit(Reader& r, const QJsonObject& o, const char* key, std::int32_t bit, bool setMeansBit,
                 const JobData* before, std::int32_t& flags) {
    bool value = false;
    if (!o.contains(QString::fromLatin1(key)) || !r.boolean(o.value(QString::fromLatin1(key)), {key}, value))
        return;
    const bool wanted = value == setMeansBit;
    if (((flags & bit) != 0) == wanted)
        return;
    const bool flagsGiven = o.contains(QStringLiteral("Flags"));
    if (before) {
        const bool valueChanged = ((before->flags & bit) != 0) != wanted;
        const bool flagsChanged = flagsGiven && (flags & bit) != (before->flags & bit);
        if (!valueChanged)
            return; // left as it was while the flag word changed
        if (!flagsChanged) {
            flags = wanted ? flags | bit : flags & ~bit;
            return;
        }
    } else if (!flagsGiven) {
        flags = wanted ? flags | bit : flags & ~bit;
        return;
    }
    r.problem({key}, std::string("no coincide con el bit ") + std::to_string(bit) +
                         " de «Flags»: corrija uno de los dos o quite «" + key + "»");
}

} // namespace

bool ReadTaskJson(std::string_view text, const JobData* before, TaskJson& out,
                  std::vector<std::string>& problems) {
    problems.clear();
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        problems.push_back(placeOf(text, static_cast<std::size_t>(parseError.offset)) +
                           ": el JSON no es válido (" + parseError.errorString().toStdString() + ")");
        return false;
    }
    if (!document.isObject()) {
        problems.push_back("línea 1, columna 1: se esperaba un objeto JSON con los campos de la tarea");
        return false;
    }
    Reader r(text, problems);
    const QJsonObject o = document.object();
    TaskJson read;
    const std::vector<std::pair<const char*, std::string*>> texts = {
        {"Name", &read.name},
        {"ApplicationName", &read.job.applicationName},
        {"CommandLine", &read.job.parameters},
        {"WorkingDirectory", &read.job.workingDirectory},
        {"AccountName", &read.job.account},
    };
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        const auto field =
            std::find_if(texts.begin(), texts.end(), [&](const auto& f) { return key == f.first; });
        long long flags = 0;
        if (field != texts.end()) {
            r.text(it.value(), {key}, *field->second);
        } else if (key == "Flags") {
            if (r.integer(it.value(), {key}, kI32Min, kI32Max, flags))
                read.job.flags = static_cast<std::int32_t>(flags);
        } else if (key == "TRIGGERS") {
            if (!it.value().isArray()) {
                r.problem({key}, std::string("debe ser una lista (es ") + typeName(it.value()) + ")");
                continue;
            }
            const QJsonArray triggers = it.value().toArray();
            for (int i = 0; i < triggers.size(); ++i) {
                const JsonPath at = {key, i};
                const SchedTrigger* old = before && i < before->triggers.Count()
                                              ? &before->triggers.items()[static_cast<std::size_t>(i)]
                                              : nullptr;
                SchedTrigger& t = read.job.triggers.Add();
                if (triggers[i].isObject())
                    readTrigger(r, triggers[i].toObject(), at, before ? old : nullptr, t);
                else
                    r.problem(at, std::string("debe ser un objeto (es ") + typeName(triggers[i]) + ")");
            }
        } else if (key != "Enabled" && key != "hidden") {
            r.problem({key}, "no es un campo de una tarea");
        }
    }
    readFlagBit(r, o, "Enabled", taskflag::disabled, false, before, read.job.flags);
    readFlagBit(r, o, "hidden", taskflag::hidden, true, before, read.job.flags);
    if (!problems.empty())
        return false;
    out = std::move(read);
    return true;
}

void BeginTodayWhenUnset(SchedTrigger& t) {
    const bool calendar = t.TriggerType() >= trigger::Daily && t.TriggerType() <= trigger::MonthlyDOW;
    if (!calendar || t.BeginDay().date() != ZeroDate().date())
        return;
    const QDate today = QDate::currentDate();
    const QTime time = t.StartTime().time();
    t.setBeginDay(MakeDate(today.year(), today.month(), today.day()));
    t.setStartTime(MakeDate(today.year(), today.month(), today.day(), time.hour(), time.minute()));
}

std::vector<std::string> TaskProblems(const JobData& job) {
    std::vector<std::string> problems;
    if (job.applicationName.empty())
        problems.push_back("falta el programa de la tarea");
    else if (!HostPaths::FromEnvironment().ToHost(job.applicationName))
        problems.push_back("el programa «" + job.applicationName +
                           "» está en una unidad que el mapa de unidades no tiene (BRIOSCHEDULE_DRIVES o el "
                           "prefijo de Wine)");
    int index = 0;
    for (SchedTrigger t : job.triggers.items()) {
        ++index;
        if (t.TriggerType() >= trigger::OnIdle && t.TriggerType() <= trigger::AtLogon)
            continue;
        t.setFlags(t.Flags() & ~triggerflag::disabled); // a disabled trigger is checked as it would run
        const TriggerDays days(t);
        if (!days.Reason().empty())
            problems.push_back("desencadenador " + std::to_string(index) + " («" + t.Text() +
                               "»): " + days.Reason());
    }
    return problems;
}

std::string TaskJsonText(const std::string& name, const JobData& job) {
    std::ostringstream out;
    WriteDetails(out, JobDetails(name, job), true);
    return out.str();
}

} // namespace brio::cli
