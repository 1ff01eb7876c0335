#include "SchedTrigger.h"

#include "TriggerWords.h"

#include "BrioError.h"
#include "DateTime.h"

#include <array>
#include <cstdio>

namespace brio {

namespace {

constexpr const auto& kDays = kTriggerDays;
constexpr const auto& kMonths = kTriggerMonths;
constexpr std::int32_t kAllMonths = kTriggerAllMonths;

// "H:MM" of the time of day.
std::string timeText(const QDateTime& value) {
    const QTime time = value.time();
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d:%02d", time.isValid() ? time.hour() : 0,
                  time.isValid() ? time.minute() : 0);
    return buffer;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty())
            text += ", ";
        text += part;
    }
    return text;
}

std::string daysOfWeekText(std::int32_t bits) {
    std::vector<std::string> names;
    for (const auto& [bit, name] : kDays) {
        if (bits & bit)
            names.emplace_back(name);
    }
    return names.empty() ? "ningún día" : joined(names);
}

// " de cada mes" for every month, " de ene, jul" for some, " de ningún mes" for none.
std::string monthsText(std::int32_t bits) {
    if ((bits & kAllMonths) == kAllMonths)
        return " de cada mes";
    std::vector<std::string> names;
    for (int month = 0; month < 12; ++month) {
        if (bits & (1 << month))
            names.emplace_back(kMonths[static_cast<std::size_t>(month)]);
    }
    return names.empty() ? " de ningún mes" : " de " + joined(names);
}

std::string daysOfMonthText(std::int32_t bits) {
    std::vector<std::string> days;
    for (int day = 0; day < 31; ++day) {
        if (bits & (1 << day))
            days.push_back(std::to_string(day + 1));
    }
    if (days.empty())
        return "ningún día";
    return (days.size() == 1 ? "el día " : "los días ") + joined(days);
}

std::string weekText(std::int32_t week) {
    switch (week) {
    case 1:
        return "el primer";
    case 2:
        return "el segundo";
    case 3:
        return "el tercer";
    case 4:
        return "el cuarto";
    case 5:
        return "el último";
    default:
        return "en la semana " + std::to_string(week) + ", el";
    }
}

// "minuto", "5 minutos", "hora", "2 horas": whole hours are told in hours.
std::string spanText(std::int32_t minutes, bool withArticle) {
    if (minutes % 60 == 0) {
        const std::int32_t hours = minutes / 60;
        if (hours == 1)
            return withArticle ? "hora" : "1 hora";
        return std::to_string(hours) + " horas";
    }
    if (minutes == 1)
        return withArticle ? "minuto" : "1 minuto";
    return std::to_string(minutes) + " minutos";
}

bool isSet(const QDateTime& value) {
    return value.isValid() && value.date() != ZeroDate().date();
}

} // namespace

std::string SchedTrigger::Text() const {
    std::string text;
    switch (m_TriggerType) {
    case trigger::OnIdle:
        text = "Cuando el equipo esté inactivo";
        break;
    case trigger::AtSystemStart:
        text = "Al iniciar el sistema";
        break;
    case trigger::AtLogon:
        text = "Al iniciar sesión";
        break;
    case trigger::Once:
        text = "A las " + timeText(m_StartTime) + " el " + DayText(m_BeginDay.date());
        break;
    case trigger::Daily:
        text = "A las " + timeText(m_StartTime) +
               (m_Daily_Interval != 1 ? " cada " + std::to_string(m_Daily_Interval) + " días"
                                      : " todos los días");
        break;
    case trigger::Weekly:
        text = "A las " + timeText(m_StartTime) + (m_Weekly_DaysOfTheWeek & 0x7F ? " cada " : " ") +
               daysOfWeekText(m_Weekly_DaysOfTheWeek) +
               (m_Weekly_Interval != 1 ? " de cada " + std::to_string(m_Weekly_Interval) + " semanas"
                                       : " de cada semana");
        break;
    case trigger::MonthlyDate:
        text = "A las " + timeText(m_StartTime) + " " + daysOfMonthText(m_MonthlyDate_Day) +
               monthsText(m_MonthlyDate_Months);
        break;
    case trigger::MonthlyDOW:
        text = "A las " + timeText(m_StartTime) + " " + weekText(m_MonthlyDOW_Week) + " " +
               daysOfWeekText(m_MonthlyDOW_DaysOfTheWeek) + monthsText(m_MonthlyDOW_Months);
        break;
    default:
        return "Programación desconocida (tipo " + std::to_string(m_TriggerType) + ")";
    }

    // Event triggers have no time of day, repetition or date range of their own.
    const bool timed = m_TriggerType <= trigger::MonthlyDOW;
    if (timed) {
        if (m_Interval > 0) {
            text += ", cada " + spanText(m_Interval, true);
            if (m_Duration > 0)
                text += " durante " + spanText(m_Duration, false);
        }
        if (m_TriggerType != trigger::Once && isSet(m_BeginDay))
            text += ", a partir del " + DayText(m_BeginDay.date());
        if (m_Flags & triggerflag::hasEndDate)
            text += ", hasta el " + DayText(m_EndDay.date());
    }
    if (m_Flags & triggerflag::disabled)
        text += " (deshabilitado)";
    return text;
}

SchedTrigger& SchedTriggers::Item(int index) {
    return const_cast<SchedTrigger&>(static_cast<const SchedTriggers&>(*this).Item(index));
}

const SchedTrigger& SchedTriggers::Item(int index) const {
    if (index < 1 || index > Count())
        throw BrioError(err::SubscriptOutOfRange, "no existe el desencadenador " + std::to_string(index) +
                                                      " (la tarea tiene " + std::to_string(Count()) + ")");
    return items_[static_cast<std::size_t>(index - 1)];
}

SchedTrigger& SchedTriggers::Add() {
    return items_.emplace_back();
}

void SchedTriggers::Remove(int index) {
    Item(index); // the same range check as Item
    items_.erase(items_.begin() + (index - 1));
}

} // namespace brio
