// The schedule text read back: every trigger form, told and read again, and texts that do not read.
#include "TriggerText.h"

#include "BrioError.h"

#include <gtest/gtest.h>

#include <functional>

using namespace brio;

namespace {

constexpr std::int32_t Sun = 1, Mon = 2, Tue = 4, Wed = 8, Thu = 16, Fri = 32, Sat = 64;
constexpr std::int32_t Jan = 1, Feb = 2, Mar = 4, Jul = 64, Dec = 2048;

// A trigger of `type` at hh:mm, its start time on its begin day as the property dialog makes it.
SchedTrigger Make(std::int32_t type, int hour, int minute, QDate begin,
                  const std::function<void(SchedTrigger&)>& fill = {}) {
    SchedTrigger t;
    t.setTriggerType(type);
    if (begin.isValid())
        t.setBeginDay(MakeDate(begin.year(), begin.month(), begin.day()));
    const QDate day = begin.isValid() ? begin : ZeroDate().date();
    if (type <= trigger::MonthlyDOW)
        t.setStartTime(MakeDate(day.year(), day.month(), day.day(), hour, minute));
    if (fill)
        fill(t);
    return t;
}

struct Form {
    SchedTrigger trigger;
    const char* text;
};

TEST(TriggerTextReadTest, EveryFormReadsBackToItsFieldsAndText) {
    const QDate dec1(2026, 12, 1);
    const QDate none;
    const std::vector<Form> forms = {
        {Make(trigger::Once, 2, 0, dec1), "A las 2:00 el 01/12/2026"},
        {Make(trigger::Once, 23, 59, QDate(2027, 2, 28),
              [](SchedTrigger& t) {
                  t.setInterval(15);
                  t.setDuration(120);
                  t.setFlags(triggerflag::hasEndDate | triggerflag::disabled);
                  t.setEndDay(MakeDate(2027, 3, 1));
              }),
         "A las 23:59 el 28/02/2027, cada 15 minutos durante 2 horas, hasta el 01/03/2027 (deshabilitado)"},
        {Make(trigger::Daily, 2, 0, dec1), "A las 2:00 todos los días, a partir del 01/12/2026"},
        {Make(trigger::Daily, 0, 5, none), "A las 0:05 todos los días"},
        {Make(trigger::Daily, 4, 30, dec1, [](SchedTrigger& t) { t.setDaily_Interval(3); }),
         "A las 4:30 cada 3 días, a partir del 01/12/2026"},
        {Make(trigger::Daily, 4, 30, none, [](SchedTrigger& t) { t.setDaily_Interval(0); }),
         "A las 4:30 cada 0 días"},
        {Make(trigger::Weekly, 4, 30, none,
              [](SchedTrigger& t) {
                  t.setWeekly_DaysOfTheWeek(Sun);
                  t.setWeekly_Interval(-2);
              }),
         "A las 4:30 cada dom de cada -2 semanas"},
        {Make(trigger::Daily, 1, 0, dec1,
              [](SchedTrigger& t) {
                  t.setInterval(60);
                  t.setDuration(90);
              }),
         "A las 1:00 todos los días, cada hora durante 90 minutos, a partir del 01/12/2026"},
        {Make(trigger::Daily, 1, 0, none,
              [](SchedTrigger& t) {
                  t.setInterval(1);
                  t.setDuration(60);
              }),
         "A las 1:00 todos los días, cada minuto durante 1 hora"},
        {Make(trigger::Daily, 1, 0, dec1, [](SchedTrigger& t) { t.setInterval(120); }),
         "A las 1:00 todos los días, cada 2 horas, a partir del 01/12/2026"},
        {Make(trigger::Weekly, 3, 0, dec1,
              [](SchedTrigger& t) { t.setWeekly_DaysOfTheWeek(Mon | Wed | Fri); }),
         "A las 3:00 cada lun, mié, vie de cada semana, a partir del 01/12/2026"},
        {Make(trigger::Weekly, 9, 30, none,
              [](SchedTrigger& t) {
                  t.setWeekly_DaysOfTheWeek(Sun | Mon | Tue | Wed | Thu | Fri | Sat);
                  t.setWeekly_Interval(2);
              }),
         "A las 9:30 cada lun, mar, mié, jue, vie, sáb, dom de cada 2 semanas"},
        {Make(trigger::Weekly, 7, 0, none), "A las 7:00 ningún día de cada semana"},
        {Make(trigger::Weekly, 7, 0, none, [](SchedTrigger& t) { t.setWeekly_Interval(4); }),
         "A las 7:00 ningún día de cada 4 semanas"},
        {Make(trigger::MonthlyDate, 8, 15, dec1,
              [](SchedTrigger& t) {
                  t.setMonthlyDate_Day(1 | 1 << 14 | 1 << 30);
                  t.setMonthlyDate_Months(Jan | Jul | Dec);
              }),
         "A las 8:15 los días 1, 15, 31 de ene, jul, dic, a partir del 01/12/2026"},
        {Make(trigger::MonthlyDate, 8, 15, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDate_Day(1 << 30);
                  t.setMonthlyDate_Months(0xFFF);
              }),
         "A las 8:15 el día 31 de cada mes"},
        {Make(trigger::MonthlyDate, 8, 15, none, [](SchedTrigger& t) { t.setMonthlyDate_Months(Mar); }),
         "A las 8:15 ningún día de mar"},
        {Make(trigger::MonthlyDate, 7, 0, none), "A las 7:00 ningún día de ningún mes"},
        {Make(trigger::MonthlyDate, 7, 0, none, [](SchedTrigger& t) { t.setMonthlyDate_Months(0xFFF); }),
         "A las 7:00 ningún día de cada mes"},
        {Make(trigger::MonthlyDOW, 6, 0, dec1,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(5);
                  t.setMonthlyDOW_DaysOfTheWeek(Fri);
                  t.setMonthlyDOW_Months(0xFFF);
                  t.setFlags(triggerflag::hasEndDate);
                  t.setEndDay(MakeDate(2027, 12, 31));
              }),
         "A las 6:00 el último vie de cada mes, a partir del 01/12/2026, hasta el 31/12/2027"},
        {Make(trigger::MonthlyDOW, 6, 0, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(1);
                  t.setMonthlyDOW_DaysOfTheWeek(Mon | Tue);
                  t.setMonthlyDOW_Months(Feb | Mar);
              }),
         "A las 6:00 el primer lun, mar de feb, mar"},
        {Make(trigger::MonthlyDOW, 6, 0, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(2);
                  t.setMonthlyDOW_DaysOfTheWeek(Sun);
                  t.setMonthlyDOW_Months(Dec);
              }),
         "A las 6:00 el segundo dom de dic"},
        {Make(trigger::MonthlyDOW, 6, 0, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(3);
                  t.setMonthlyDOW_DaysOfTheWeek(Sat);
                  t.setMonthlyDOW_Months(0xFFF);
              }),
         "A las 6:00 el tercer sáb de cada mes"},
        {Make(trigger::MonthlyDOW, 6, 0, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(4);
                  t.setMonthlyDOW_Months(Jan);
              }),
         "A las 6:00 el cuarto ningún día de ene"},
        {Make(trigger::MonthlyDOW, 6, 0, none,
              [](SchedTrigger& t) {
                  t.setMonthlyDOW_Week(7);
                  t.setMonthlyDOW_DaysOfTheWeek(Thu);
              }),
         "A las 6:00 en la semana 7, el jue de ningún mes"},
        {Make(trigger::AtSystemStart, 0, 0, none), "Al iniciar el sistema"},
        {Make(trigger::AtLogon, 0, 0, none), "Al iniciar sesión"},
        {Make(trigger::OnIdle, 0, 0, none), "Cuando el equipo esté inactivo"},
        {Make(trigger::AtLogon, 0, 0, none, [](SchedTrigger& t) { t.setFlags(triggerflag::disabled); }),
         "Al iniciar sesión (deshabilitado)"},
        {Make(42, 0, 0, none), "Programación desconocida (tipo 42)"},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.text);
        ASSERT_EQ(form.trigger.Text(), form.text);
        TriggerTextError error;
        const std::optional<SchedTrigger> read = ParseTriggerText(form.text, &error);
        ASSERT_TRUE(read) << error.Message();
        EXPECT_EQ(*read, form.trigger);
        EXPECT_EQ(read->Text(), form.text);
    }
}

TEST(TriggerTextReadTest, AnUnreadableTextSaysWhereAndShowsTheNearestForm) {
    struct Bad {
        const char* text;
        std::size_t column;
        const char* expected;
        const char* nearest;
    };
    const std::vector<Bad> bad = {
        {"A las 2:00 todos los dias", 22, "«días»", "A las 2:00 todos los días, a partir del 01/12/2026"},
        {"A las 25:00 todos los días", 7, "la hora (0 a 23)", "A las 2:00 todos los días"},
        {"A las 2:0 todos los días", 9, "los minutos (00 a 59)", "A las 2:00 todos los días"},
        {"A las 3:00 cada lun, miércoles de cada semana", 22, "un día (lun, mar",
         "A las 3:00 cada lun, mié, vie de cada semana"},
        {"A las 6:00 el último viernes de cada mes", 22, "un día (lun",
         "A las 6:00 el último vie de cada mes"},
        {"A las 6:00 el quinto vie de cada mes", 15, "la semana (primer", "A las 6:00 el último vie"},
        {"A las 2:00 el 31/02/2026", 15, "una fecha dd/MM/aaaa que exista", "A las 2:00 el 01/12/2026"},
        {"A las 8:15 los días 1, 32 de ene", 24, "un día del mes (1 a 31)", "A las 8:15 los días 1, 15"},
        {"A las 2:00 todos los días, a partir de 01/12/2026", 26, "«, a partir del»",
         "A las 2:00 todos los días, cada 10 minutos durante 2 horas, a partir del 01/12/2026, hasta el"},
        {"A las 2:00 todos los días, cada 10 segundos", 36, "«minutos» u «horas»", "cada 10 minutos"},
        {"Al iniciar la sesión", 12, "«el sistema» o «sesión»", "Al iniciar el sistema"},
        {"Cuando el equipo esté ocupado", 23, "«inactivo»", "Cuando el equipo esté inactivo"},
        {"Al iniciar", 11, "«el sistema» o «sesión»", "Al iniciar el sistema"},
        {"Diariamente", 1, "«A las»", "A las 2:00 todos los días"},
        {"", 1, "«A las»", "A las 2:00 todos los días"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.text);
        TriggerTextError error;
        EXPECT_FALSE(ParseTriggerText(b.text, &error));
        EXPECT_EQ(error.column, b.column) << error.Message();
        EXPECT_NE(error.expected.find(b.expected), std::string::npos) << error.Message();
        EXPECT_NE(error.nearest.find(b.nearest), std::string::npos) << error.Message();
    }
    try {
        TriggerFromText("A las 2:00 todos los dias");
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::InvalidCall);
        EXPECT_NE(
            std::string(e.what()).find("«A las 2:00 todos los dias» no se entiende en la columna 22: se "
                                       "esperaba «días»; forma aceptada más parecida: «A las 2:00 "),
            std::string::npos)
            << e.what();
    }
}

} // namespace
