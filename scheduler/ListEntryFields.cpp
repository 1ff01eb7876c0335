#include "ListEntryFields.h"

#include "BrioError.h"
#include "Conversions.h"
#include "ListDocument.h"

#include <string>

namespace brio {

const char* RequiredAttr(pugi::xml_node node, const char* name) {
    const char* value = AttrOrNull(node, name);
    if (!value)
        throw BrioError(err::TypeMismatch, std::string("falta el atributo ") + name + " en " + node.name());
    return value;
}

std::int32_t LongAttr(pugi::xml_node node, const char* name) {
    return CLng(CDbl(RequiredAttr(node, name)));
}

std::int16_t IntAttr(pugi::xml_node node, const char* name) {
    return CInt(CDbl(RequiredAttr(node, name)));
}

QDateTime DateAttr(pugi::xml_node node, const char* name) {
    const char* text = RequiredAttr(node, name);
    return *text ? CDate(text) : QDateTime();
}

void ReadTriggerElement(pugi::xml_node e, SchedTrigger& t,
                        const std::function<QDateTime(const QDateTime&)>& shiftStart) {
    t.setTriggerType(LongAttr(e, "triggerType"));
    t.setBeginDay(DateAttr(e, "BeginDay"));
    const QDateTime start = DateAttr(e, "StartTime");
    t.setStartTime(shiftStart ? shiftStart(start) : start);
    t.setDuration(LongAttr(e, "Duration"));
    t.setEndDay(DateAttr(e, "EndDay"));
    t.setInterval(LongAttr(e, "Interval"));
    t.setFlags(LongAttr(e, "Flags"));
    t.setRandomInterval(IntAttr(e, "RandomInterval"));
    switch (t.TriggerType()) {
    case trigger::Daily:
        t.setDaily_Interval(IntAttr(e, "Daily_Interval"));
        break;
    case trigger::Weekly:
        t.setWeekly_DaysOfTheWeek(LongAttr(e, "Weekly_DaysOfTheWeek"));
        t.setWeekly_Interval(IntAttr(e, "Weekly_Interval"));
        break;
    case trigger::MonthlyDate:
        t.setMonthlyDate_Day(LongAttr(e, "MonthlyDate_Day"));
        t.setMonthlyDate_Months(LongAttr(e, "MonthlyDate_Months"));
        break;
    case trigger::MonthlyDOW:
        t.setMonthlyDOW_DaysOfTheWeek(LongAttr(e, "MonthlyDOW_DaysOfTheWeek"));
        t.setMonthlyDOW_Months(LongAttr(e, "MonthlyDOW_Months"));
        t.setMonthlyDOW_Week(LongAttr(e, "MonthlyDOW_Week"));
        break;
    default:
        break;
    }
}

} // namespace brio
