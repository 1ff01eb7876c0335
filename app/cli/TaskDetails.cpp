#include "TaskDetails.h"

#include "BrioError.h"
#include "Conversions.h"
#include "TaskTable.h"
#include "clsAdminTask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <string_view>

namespace brio::cli {

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

enum class Kind { Text, Long, Int, Bool, NotBool };

// How the record reads an entry attribute: the property it fills and the conversion.
struct AttrRule {
    std::string_view attr;
    const char* property;
    Kind kind;
};

constexpr AttrRule kEntryRules[] = {
    {"name", "Name", Kind::Text},
    {"applicationName", "ApplicationName", Kind::Text},
    {"workingDirectory", "WorkingDirectory", Kind::Text},
    {"commandLine", "CommandLine", Kind::Text},
    {"selected", "Seleccion", Kind::Long},
    {"StartTimeRandom", "StartTimeRandom", Kind::Int},
    {"disabled", "Enabled", Kind::NotBool},
    {"text", "Text", Kind::Text},
};

// The value as the record would hold it, or the stored text when it does not convert.
QJsonValue converted(const char* text, Kind kind) {
    try {
        switch (kind) {
        case Kind::Text:
            break;
        case Kind::Long:
            return CLng(Val(text));
        case Kind::Int:
            return CInt(Val(text));
        case Kind::Bool:
            return CBool(text);
        case Kind::NotBool:
            return !CBool(text);
        }
    } catch (const BrioError&) {
    }
    return q(text);
}

// A trigger attribute: a number when the whole text is one, else the text (dates, type names).
QJsonValue triggerValue(const char* text) {
    try {
        const double number = CDbl(text);
        if (std::isfinite(number))
            return number;
    } catch (const BrioError&) {
    }
    return q(text);
}

QString dateText(const QDateTime& value) {
    return QString::fromStdString(DateToText(value));
}

std::string plainValue(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? "Sí" : "No";
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (number == std::floor(number) && std::fabs(number) < 1e15)
            return std::to_string(static_cast<long long>(number));
        return QString::number(number, 'g', 17).toStdString();
    }
    case QJsonValue::String:
        return Cell(value.toString().toStdString());
    default:
        return {};
    }
}

QJsonObject objectOf(const TaskDetails::Fields& fields) {
    QJsonObject o;
    for (const auto& [name, value] : fields)
        o.insert(name, value);
    return o;
}

} // namespace

TaskDetails EntryDetails(pugi::xml_node entry) {
    TaskDetails d;
    for (pugi::xml_attribute a = entry.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        const AttrRule* rule = nullptr;
        for (const AttrRule& r : kEntryRules) {
            if (r.attr == name)
                rule = &r;
        }
        if (rule)
            d.task.emplace_back(q(rule->property), converted(a.value(), rule->kind));
        else
            d.task.emplace_back(q(a.name()), q(a.value()));
    }
    if (pugi::xml_node config = entry.child("CONFIGURACION")) {
        d.hasConfig = true;
        if (pugi::xml_attribute hidden = config.attribute("hidden"))
            d.task.emplace_back(QStringLiteral("hidden"), converted(hidden.value(), Kind::Bool));
        for (pugi::xml_attribute a = config.first_attribute(); a; a = a.next_attribute())
            d.config.emplace_back(q(a.name()), converted(a.value(), Kind::Bool));
    }
    for (pugi::xml_node t = entry.child("TRIGGERS").child("TRIGGER"); t; t = t.next_sibling("TRIGGER")) {
        TaskDetails::Fields& fields = d.triggers.emplace_back();
        for (pugi::xml_attribute a = t.first_attribute(); a; a = a.next_attribute())
            fields.emplace_back(q(a.name()), triggerValue(a.value()));
    }
    return d;
}

TaskDetails SchedTaskDetails(const SchedTask& task) {
    return JobDetails(task.Name(), {.applicationName = task.ApplicationName(),
                                    .parameters = task.Parameters(),
                                    .workingDirectory = task.WorkingDirectory(),
                                    .flags = task.Flags(),
                                    .account = task.AccountName(),
                                    .triggers = task.Triggers()});
}

TaskDetails JobDetails(const std::string& name, const JobData& job) {
    TaskDetails d;
    const std::int32_t flags = job.flags;
    d.task = {
        {QStringLiteral("Name"), QString::fromStdString(name)},
        {QStringLiteral("ApplicationName"), QString::fromStdString(job.applicationName)},
        {QStringLiteral("CommandLine"), QString::fromStdString(job.parameters)},
        {QStringLiteral("WorkingDirectory"), QString::fromStdString(job.workingDirectory)},
        {QStringLiteral("Flags"), flags},
        {QStringLiteral("Enabled"), (flags & taskflag::disabled) == 0},
        {QStringLiteral("hidden"), (flags & taskflag::hidden) != 0},
        {QStringLiteral("AccountName"), QString::fromStdString(job.account)},
    };
    for (const SchedTrigger& t : job.triggers.items()) {
        d.triggers.push_back({
            {QStringLiteral("triggerType"), t.TriggerType()},
            {QStringLiteral("typeDescription"),
             QString::fromStdString(clsAdminTask::TriggerTypeName(t.TriggerType()))},
            {QStringLiteral("BeginDay"), dateText(t.BeginDay())},
            {QStringLiteral("StartTime"), dateText(t.StartTime())},
            {QStringLiteral("Duration"), t.Duration()},
            {QStringLiteral("EndDay"), dateText(t.EndDay())},
            {QStringLiteral("Interval"), t.Interval()},
            {QStringLiteral("Flags"), t.Flags()},
            {QStringLiteral("RandomInterval"), t.RandomInterval()},
            {QStringLiteral("Daily_Interval"), t.Daily_Interval()},
            {QStringLiteral("Weekly_DaysOfTheWeek"), t.Weekly_DaysOfTheWeek()},
            {QStringLiteral("Weekly_Interval"), t.Weekly_Interval()},
            {QStringLiteral("MonthlyDate_Day"), t.MonthlyDate_Day()},
            {QStringLiteral("MonthlyDate_Months"), t.MonthlyDate_Months()},
            {QStringLiteral("MonthlyDOW_DaysOfTheWeek"), t.MonthlyDOW_DaysOfTheWeek()},
            {QStringLiteral("MonthlyDOW_Months"), t.MonthlyDOW_Months()},
            {QStringLiteral("MonthlyDOW_Week"), t.MonthlyDOW_Week()},
            {QStringLiteral("Text"), QString::fromStdString(t.Text())},
        });
    }
    return d;
}

void WriteDetails(std::ostream& out, const TaskDetails& details, bool json) {
    if (json) {
        QJsonObject o = objectOf(details.task);
        if (details.hasConfig)
            o.insert(QStringLiteral("CONFIGURACION"), objectOf(details.config));
        QJsonArray triggers;
        for (const TaskDetails::Fields& t : details.triggers)
            triggers.append(objectOf(t));
        o.insert(QStringLiteral("TRIGGERS"), triggers);
        out << QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
        return;
    }
    out << "Elemento\tCampo\tValor\n";
    auto lines = [&](const std::string& element, const TaskDetails::Fields& fields) {
        for (const auto& [name, value] : fields)
            out << element << '\t' << Cell(name.toStdString()) << '\t' << plainValue(value) << '\n';
    };
    lines("TAREA", details.task);
    if (details.hasConfig)
        lines("CONFIGURACION", details.config);
    for (std::size_t i = 0; i < details.triggers.size(); ++i)
        lines("TRIGGER " + std::to_string(i + 1), details.triggers[i]);
}

} // namespace brio::cli
