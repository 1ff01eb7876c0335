#include "EntrySchedule.h"

#include "BrioError.h"
#include "Conversions.h"
#include "ListDocument.h"

namespace brio {

namespace {

// CONFIGURACION's flag attributes; hidden stays a list matter, as at export.
constexpr std::pair<const char*, std::int32_t> kFlags[] = {
    {"deleteWhenDone", taskflag::deleteWhenDone},
    {"disabled", taskflag::disabled},
    {"dontStartIfOnBatteries", taskflag::dontStartIfOnBatteries},
    {"interactive", taskflag::interactive},
    {"killIfGoingOnBatteries", taskflag::killIfGoingOnBatteries},
    {"killOnIdleEnd", taskflag::killOnIdleEnd},
    {"restartOnIdleResume", taskflag::restartOnIdleResume},
    {"runIfConnectedToInternet", taskflag::runIfConnectedToInternet},
    {"runOnlyIfDocked", taskflag::runOnlyIfDocked},
    {"runOnlyIfLoggedOn", taskflag::runOnlyIfLoggedOn},
    {"startOnlyIfIdle", taskflag::startOnlyIfIdle},
    {"systemRequired", taskflag::systemRequired},
};

const char* required(pugi::xml_node node, const char* name) {
    const char* value = AttrOrNull(node, name);
    if (!value)
        throw BrioError(err::TypeMismatch, std::string("falta el atributo ") + name + " en " + node.name());
    return value;
}

std::int32_t longAttr(pugi::xml_node node, const char* name) {
    return CLng(CDbl(required(node, name)));
}

std::int16_t intAttr(pugi::xml_node node, const char* name) {
    return CInt(CDbl(required(node, name)));
}

// An empty date is a date never set.
QDateTime dateAttr(pugi::xml_node node, const char* name) {
    const char* text = required(node, name);
    return *text ? CDate(text) : QDateTime();
}

} // namespace

EntrySchedule ReadEntrySchedule(pugi::xml_node entry) {
    EntrySchedule result;
    result.randomRange = CInt(Val(entry.attribute("StartTimeRandom").value()));
    if (const pugi::xml_node config = entry.child("CONFIGURACION")) {
        for (const auto& [name, bit] : kFlags) {
            if (CBool(required(config, name)))
                result.flags |= bit;
        }
    }
    for (pugi::xml_node e = entry.child("TRIGGERS").child("TRIGGER"); e; e = e.next_sibling("TRIGGER")) {
        SchedTrigger& t = result.triggers.Add();
        t.setTriggerType(longAttr(e, "triggerType"));
        t.setBeginDay(dateAttr(e, "BeginDay"));
        t.setStartTime(dateAttr(e, "StartTime"));
        t.setDuration(longAttr(e, "Duration"));
        t.setEndDay(dateAttr(e, "EndDay"));
        t.setInterval(longAttr(e, "Interval"));
        t.setFlags(longAttr(e, "Flags"));
        t.setRandomInterval(intAttr(e, "RandomInterval"));
        switch (t.TriggerType()) {
        case trigger::Daily:
            t.setDaily_Interval(intAttr(e, "Daily_Interval"));
            break;
        case trigger::Weekly:
            t.setWeekly_DaysOfTheWeek(longAttr(e, "Weekly_DaysOfTheWeek"));
            t.setWeekly_Interval(intAttr(e, "Weekly_Interval"));
            break;
        case trigger::MonthlyDate:
            t.setMonthlyDate_Day(longAttr(e, "MonthlyDate_Day"));
            t.setMonthlyDate_Months(longAttr(e, "MonthlyDate_Months"));
            break;
        case trigger::MonthlyDOW:
            t.setMonthlyDOW_DaysOfTheWeek(longAttr(e, "MonthlyDOW_DaysOfTheWeek"));
            t.setMonthlyDOW_Months(longAttr(e, "MonthlyDOW_Months"));
            t.setMonthlyDOW_Week(longAttr(e, "MonthlyDOW_Week"));
            break;
        default:
            break;
        }
    }
    return result;
}

} // namespace brio
