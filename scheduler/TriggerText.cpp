#include "TriggerText.h"

#include "BrioError.h"
#include "TriggerWords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

namespace brio {

namespace {

constexpr const auto& kDays = kTriggerDays;
constexpr const auto& kMonths = kTriggerMonths;
constexpr std::array<std::string_view, 5> kWeeks{"primer", "segundo", "tercer", "cuarto", "último"};
constexpr std::int32_t kAllMonths = kTriggerAllMonths;

// The forms a text can take, each with the example shown when a text of that form goes wrong.
enum Form { kAny, kEvent, kOnce, kDaily, kWeekly, kMonthlyDate, kMonthlyDOW };
constexpr std::array<std::string_view, 7> kExamples{
    "A las 2:00 todos los días, a partir del 01/12/2026",
    "Al iniciar el sistema",
    "A las 2:00 el 01/12/2026",
    "A las 2:00 cada 3 días, a partir del 01/12/2026",
    "A las 3:00 cada lun, mié, vie de cada semana, a partir del 01/12/2026",
    "A las 8:15 los días 1, 15 de ene, jul, a partir del 01/12/2026",
    "A las 6:00 el último vie de cada mes, a partir del 01/12/2026",
};
constexpr std::string_view kSuffixExample =
    ", cada 10 minutos durante 2 horas, a partir del 01/12/2026, hasta el 31/12/2026";

std::string quoted(std::string_view text) {
    return "«" + std::string(text) + "»";
}

// A cursor over the text that remembers the furthest place a reading failed and what it wanted there.
class Reader {
public:
    explicit Reader(std::string_view text) : t_(text) {}

    std::size_t at() const noexcept { return i_; }
    void back(std::size_t to) noexcept { i_ = to; }
    bool atEnd() const noexcept { return i_ == t_.size(); }
    bool digitAhead() const noexcept { return i_ < t_.size() && t_[i_] >= '0' && t_[i_] <= '9'; }
    bool numberAhead() const noexcept {
        const std::size_t at = i_ < t_.size() && t_[i_] == '-' ? i_ + 1 : i_;
        return at < t_.size() && t_[at] >= '0' && t_[at] <= '9';
    }
    void setForm(Form form) noexcept { form_ = form; }
    void enterSuffix() noexcept { suffix_ = true; }

    // Takes `w` when the text goes on with it; else records it as wanted from its first word that differs.
    bool word(std::string_view w) {
        std::size_t k = 0;
        while (k < w.size() && i_ + k < t_.size() && t_[i_ + k] == w[k])
            ++k;
        if (k == w.size()) {
            i_ += k;
            return true;
        }
        // A word of `w` partly matched is wanted whole; one that ends where the text stops, from the next.
        std::size_t from = k;
        while (w[k] != ' ' && from > 0 && w[from - 1] != ' ')
            --from;
        std::string_view rest = w.substr(from);
        while (!rest.empty() && rest.back() == ' ')
            rest.remove_suffix(1);
        std::size_t lead = 0;
        while (lead < rest.size() && rest[lead] == ' ')
            ++lead;
        want(rest.size() == lead ? std::string("un espacio") : quoted(rest.substr(lead)), i_ + from + lead);
        return false;
    }

    // Takes `w` when the text goes on with it, recording nothing otherwise.
    bool accept(std::string_view w) {
        if (!t_.substr(i_).starts_with(w))
            return false;
        i_ += w.size();
        return true;
    }

    // Whether the day or month name `w` comes next as a whole word ("mié" does not come in "miércoles").
    bool nameAhead(std::string_view w) const {
        if (!t_.substr(i_).starts_with(w))
            return false;
        const std::size_t after = i_ + w.size();
        const unsigned char next = after < t_.size() ? static_cast<unsigned char>(t_[after]) : ' ';
        return !std::isalpha(next) && next < 0x80;
    }

    // Takes the name `w` when it comes next as a whole word.
    bool acceptName(std::string_view w) {
        if (!nameAhead(w))
            return false;
        i_ += w.size();
        return true;
    }

    // Up to `maxDigits` decimal digits, an optional minus sign first when `sign`.
    bool number(long long& value, std::size_t maxDigits, std::string_view what, bool sign = false) {
        const std::size_t start = i_;
        const bool negative = sign && i_ < t_.size() && t_[i_] == '-';
        if (negative)
            ++i_;
        std::size_t digits = 0;
        value = 0;
        while (digitAhead() && digits < maxDigits) {
            value = value * 10 + (t_[i_++] - '0');
            ++digits;
        }
        if (digits == 0 || digitAhead()) {
            i_ = start;
            want(std::string(what));
            return false;
        }
        if (negative)
            value = -value;
        return true;
    }

    // Records that `what` could have come at `where` (the current place by default).
    void want(const std::string& what) { want(what, i_); }
    void want(const std::string& what, std::size_t where) {
        if (where > failAt_ || expected_.empty()) {
            failAt_ = where;
            expected_ = what;
            failForm_ = form_;
            inSuffix_ = suffix_;
        } else if (where == failAt_ && expected_.find(what) == std::string::npos) {
            expected_ += " o " + what;
        }
    }

    TriggerTextError error() const {
        TriggerTextError e;
        std::size_t chars = 0;
        for (std::size_t k = 0; k < failAt_ && k < t_.size(); ++k)
            chars += (static_cast<unsigned char>(t_[k]) & 0xC0) != 0x80;
        e.column = chars + 1;
        e.expected = expected_.empty() ? "el final del texto" : expected_;
        e.nearest = failForm_ == kEvent && t_.starts_with("Cuando")
                        ? std::string("Cuando el equipo esté inactivo")
                        : std::string(kExamples[failForm_]);
        // A text that went wrong after its day rule gets the whole tail of the form as its example.
        if (inSuffix_ && failForm_ != kEvent) {
            const std::size_t begin = e.nearest.find(", a partir del");
            e.nearest = e.nearest.substr(0, begin) + std::string(kSuffixExample);
        }
        return e;
    }

private:
    std::string_view t_;
    std::size_t i_ = 0;
    std::size_t failAt_ = 0;
    std::string expected_;
    Form form_ = kAny;
    Form failForm_ = kAny;
    bool suffix_ = false;
    bool inSuffix_ = false;
};

// "dd/MM/yyyy", or "--/--/----" for a date that is not valid.
bool readDate(Reader& r, QDateTime& value) {
    const std::size_t start = r.at();
    if (r.accept("--/--/----")) {
        value = QDateTime();
        return true;
    }
    long long day = 0, month = 0, year = 0;
    if (!(r.number(day, 2, "una fecha dd/MM/aaaa") && r.word("/") && r.number(month, 2, "el mes") &&
          r.word("/") && r.number(year, 4, "el año de cuatro cifras")))
        return false;
    const QDate date(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
    if (!date.isValid() || r.at() - start != 10) {
        r.back(start);
        r.want("una fecha dd/MM/aaaa que exista");
        return false;
    }
    value = MakeDate(date.year(), date.month(), date.day());
    return true;
}

// Day names separated by ", " into their bits; "ningún día" is none when `noneAllowed`.
bool readDays(Reader& r, std::int32_t& bits, bool noneAllowed) {
    bits = 0;
    if (noneAllowed && r.accept("ningún día"))
        return true;
    do {
        const auto day =
            std::find_if(kDays.begin(), kDays.end(), [&](const auto& d) { return r.acceptName(d.second); });
        if (day == kDays.end()) {
            r.want(noneAllowed ? "un día (lun, mar, mié, jue, vie, sáb, dom) o «ningún día»"
                               : "un día (lun, mar, mié, jue, vie, sáb, dom)");
            return false;
        }
        bits |= day->first;
    } while (r.accept(", "));
    return true;
}

// The month names at the cursor, in a list separated by ", "; a ", " that no month follows is left for the
// repetition or the dates after the months.
bool readMonthNames(Reader& r, std::int32_t& bits) {
    while (true) {
        const auto month =
            std::find_if(kMonths.begin(), kMonths.end(), [&](std::string_view m) { return r.acceptName(m); });
        if (month == kMonths.end()) {
            r.want("un mes (ene … dic), «cada mes» o «ningún mes»");
            return false;
        }
        bits |= 1 << (month - kMonths.begin());
        const std::size_t beforeComma = r.at();
        if (!r.accept(", "))
            return true;
        if (std::none_of(kMonths.begin(), kMonths.end(),
                         [&](std::string_view m) { return r.nameAhead(m); })) {
            r.back(beforeComma);
            return true;
        }
    }
}

// " de cada mes", " de ningún mes" or " de " and month names.
bool readMonths(Reader& r, std::int32_t& bits) {
    bits = 0;
    if (!r.word(" de "))
        return false;
    if (r.accept("cada mes")) {
        bits = kAllMonths;
        return true;
    }
    return r.accept("ningún mes") || readMonthNames(r, bits);
}

// "minuto", "hora", "N minutos", "N horas" (also "1 minuto", "1 hora") into minutes.
bool readSpan(Reader& r, std::int32_t& minutes) {
    const std::size_t start = r.at();
    long long count = 1;
    const bool counted = r.digitAhead();
    if (counted && !(r.number(count, 9, "un número") && r.word(" ")))
        return false;
    long long perUnit = 0;
    if (r.accept(counted ? "minutos" : "minuto") || (counted && count == 1 && r.accept("minuto")))
        perUnit = 1;
    else if (r.accept(counted ? "horas" : "hora") || (counted && count == 1 && r.accept("hora")))
        perUnit = 60;
    if (perUnit == 0) {
        r.want(counted ? "«minutos» u «horas»" : "«minuto», «hora» o un número de minutos u horas");
        return false;
    }
    if (count * perUnit > std::numeric_limits<std::int32_t>::max()) {
        r.back(start);
        r.want("un intervalo menor");
        return false;
    }
    minutes = static_cast<std::int32_t>(count * perUnit);
    return true;
}

// A 16-bit number, its sign included: an interval out of the engine's range is told as it is stored.
bool readInt16(Reader& r, std::int16_t& value, std::string_view what) {
    long long n = 0;
    const std::size_t start = r.at();
    if (!r.number(n, 6, what, true))
        return false;
    if (n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max()) {
        r.back(start);
        r.want("un número de -32768 a 32767");
        return false;
    }
    value = static_cast<std::int16_t>(n);
    return true;
}

// A day of the month, 1 to 31, into its bit.
bool readMonthDay(Reader& r, std::int32_t& bits) {
    long long n = 0;
    const std::size_t start = r.at();
    if (!r.number(n, 2, "un día del mes (1 a 31)"))
        return false;
    if (n < 1 || n > 31) {
        r.back(start);
        r.want("un día del mes (1 a 31)");
        return false;
    }
    bits |= 1 << (n - 1);
    return true;
}

// "cada N días" or "cada lun, mié de cada N semanas" (the words after "cada ").
bool readEvery(Reader& r, SchedTrigger& t) {
    if (r.numberAhead()) {
        std::int16_t interval = 1;
        if (!readInt16(r, interval, "un número de días") || !r.word(" días"))
            return false;
        t.setTriggerType(trigger::Daily);
        t.setDaily_Interval(interval);
        return true;
    }
    r.setForm(kWeekly);
    std::int32_t days = 0;
    if (!readDays(r, days, false))
        return false;
    t.setTriggerType(trigger::Weekly);
    t.setWeekly_DaysOfTheWeek(days);
    return true;
}

// " de cada semana" or " de cada N semanas" after the days of a weekly trigger.
bool readWeeks(Reader& r, SchedTrigger& t) {
    if (!r.word(" de cada "))
        return false;
    if (r.accept("semana"))
        return true;
    std::int16_t interval = 1;
    if (!readInt16(r, interval, "«semana» o un número de semanas") || !r.word(" semanas"))
        return false;
    t.setWeekly_Interval(interval);
    return true;
}

// "el primer lun de …", "en la semana 7, el lun de …": a monthly trigger by day of the week, from the
// days on.
bool readWeekdayRule(Reader& r, SchedTrigger& t, std::int32_t week) {
    std::int32_t days = 0, months = 0;
    if (!readDays(r, days, true) || !readMonths(r, months))
        return false;
    t.setTriggerType(trigger::MonthlyDOW);
    t.setMonthlyDOW_Week(week);
    t.setMonthlyDOW_DaysOfTheWeek(days);
    t.setMonthlyDOW_Months(months);
    return true;
}

// What comes after "el ": a date (once), "día N" (monthly by date) or a week (monthly by day of the week).
bool readEl(Reader& r, SchedTrigger& t) {
    const std::size_t start = r.at();
    r.setForm(kOnce);
    QDateTime day;
    if (r.digitAhead() || r.accept("--/--/----")) {
        r.back(start);
        if (!readDate(r, day))
            return false;
        t.setTriggerType(trigger::Once);
        t.setBeginDay(day);
        return true;
    }
    r.setForm(kMonthlyDate);
    if (r.accept("día ")) {
        std::int32_t days = 0, months = 0;
        if (!readMonthDay(r, days) || !readMonths(r, months))
            return false;
        t.setTriggerType(trigger::MonthlyDate);
        t.setMonthlyDate_Day(days);
        t.setMonthlyDate_Months(months);
        return true;
    }
    r.setForm(kMonthlyDOW);
    for (std::size_t w = 0; w < kWeeks.size(); ++w) {
        if (r.accept(kWeeks[w]) && r.word(" "))
            return readWeekdayRule(r, t, static_cast<std::int32_t>(w + 1));
        r.back(start);
    }
    r.want("una fecha dd/MM/aaaa, «día» o la semana (primer, segundo, tercer, cuarto, último)");
    return false;
}

// What comes after "A las H:MM ": the day rule of each calendar type.
bool readDayRule(Reader& r, SchedTrigger& t) {
    r.setForm(kAny);
    if (r.word("todos los días")) {
        t.setTriggerType(trigger::Daily);
        return true;
    }
    if (r.word("cada ")) {
        r.setForm(kDaily);
        return readEvery(r, t) && (t.TriggerType() != trigger::Weekly || readWeeks(r, t));
    }
    if (r.word("el "))
        return readEl(r, t);
    if (r.word("en la semana ")) {
        r.setForm(kMonthlyDOW);
        long long week = 0;
        return r.number(week, 9, "el número de la semana", true) && r.word(", el ") &&
               readWeekdayRule(r, t, static_cast<std::int32_t>(week));
    }
    std::int32_t days = 0, months = 0;
    if (r.word("ningún día")) {
        // No day marked: weekly when weeks follow, else monthly by date.
        const std::size_t afterDays = r.at();
        if (r.accept(" de cada ") && !r.accept("mes")) {
            r.back(afterDays);
            r.setForm(kWeekly);
            t.setTriggerType(trigger::Weekly);
            t.setWeekly_DaysOfTheWeek(0);
            return readWeeks(r, t);
        }
        r.back(afterDays);
    } else if (r.word("los días ")) {
        r.setForm(kMonthlyDate);
        do {
            if (!readMonthDay(r, days))
                return false;
        } while (r.accept(", "));
    } else {
        return false;
    }
    r.setForm(kMonthlyDate);
    if (!readMonths(r, months))
        return false;
    t.setTriggerType(trigger::MonthlyDate);
    t.setMonthlyDate_Day(days);
    t.setMonthlyDate_Months(months);
    return true;
}

// The repetition, the begin and end dates and the disabled mark, each optional, in the order they are
// written.
bool readSuffix(Reader& r, SchedTrigger& t, bool timed) {
    r.enterSuffix();
    if (timed) {
        std::int32_t span = 0;
        if (r.accept(", cada ")) {
            if (!readSpan(r, span))
                return false;
            t.setInterval(span);
            if (r.accept(" durante ")) {
                if (!readSpan(r, span))
                    return false;
                t.setDuration(span);
            }
        }
        QDateTime day;
        if (t.TriggerType() != trigger::Once && r.accept(", a partir del ")) {
            if (!readDate(r, day))
                return false;
            t.setBeginDay(day);
        }
        if (r.accept(", hasta el ")) {
            if (!readDate(r, day))
                return false;
            t.setEndDay(day);
            t.setFlags(t.Flags() | triggerflag::hasEndDate);
        }
    }
    if (r.accept(" (deshabilitado)"))
        t.setFlags(t.Flags() | triggerflag::disabled);
    if (r.atEnd())
        return true;
    if (!timed)
        r.want("«(deshabilitado)» o el final del texto");
    else if (t.TriggerType() == trigger::Once)
        r.want("«, cada», «, hasta el», «(deshabilitado)» o el final del texto");
    else
        r.want("«, cada», «, a partir del», «, hasta el», «(deshabilitado)» o el final del texto");
    return false;
}

bool readTrigger(Reader& r, SchedTrigger& t) {
    if (r.accept("Cuando ") || r.accept("Al ")) {
        r.back(0);
        r.setForm(kEvent);
        constexpr std::array<std::pair<std::int32_t, std::string_view>, 3> kEvents{{
            {trigger::OnIdle, "Cuando el equipo esté inactivo"},
            {trigger::AtSystemStart, "Al iniciar el sistema"},
            {trigger::AtLogon, "Al iniciar sesión"},
        }};
        for (const auto& [type, words] : kEvents) {
            if (r.word(words)) {
                t.setTriggerType(type);
                return readSuffix(r, t, false);
            }
        }
        return false;
    }
    if (r.accept("Programación desconocida (tipo ")) {
        long long type = 0;
        if (!r.number(type, 9, "el número del tipo", true) || !r.word(")"))
            return false;
        t.setTriggerType(static_cast<std::int32_t>(type));
        if (r.atEnd())
            return true;
        r.want("el final del texto");
        return false;
    }
    long long hour = 0, minute = 0;
    if (!r.word("A las ") || !r.number(hour, 2, "la hora (0 a 23)"))
        return false;
    if (hour > 23) {
        r.back(r.at() - 2);
        r.want("la hora (0 a 23)");
        return false;
    }
    if (!r.word(":"))
        return false;
    const std::size_t minuteAt = r.at();
    if (!r.number(minute, 2, "los minutos (00 a 59)"))
        return false;
    if (minute > 59 || r.at() - minuteAt != 2) {
        r.back(minuteAt);
        r.want("los minutos (00 a 59)");
        return false;
    }
    if (!r.word(" ") || !readDayRule(r, t) || !readSuffix(r, t, true))
        return false;
    const QDate day = t.BeginDay().isValid() ? t.BeginDay().date() : ZeroDate().date();
    t.setStartTime(
        MakeDate(day.year(), day.month(), day.day(), static_cast<int>(hour), static_cast<int>(minute)));
    return true;
}

} // namespace

std::string TriggerTextError::Message() const {
    return "columna " + std::to_string(column) + ": se esperaba " + expected +
           "; forma aceptada más parecida: «" + nearest + "»";
}

std::optional<SchedTrigger> ParseTriggerText(std::string_view text, TriggerTextError* error) {
    Reader reader(text);
    SchedTrigger trigger;
    if (readTrigger(reader, trigger))
        return trigger;
    if (error)
        *error = reader.error();
    return std::nullopt;
}

SchedTrigger TriggerFromText(std::string_view text) {
    TriggerTextError error;
    if (std::optional<SchedTrigger> trigger = ParseTriggerText(text, &error))
        return *trigger;
    throw BrioError(err::InvalidCall,
                    "el desencadenador «" + std::string(text) + "» no se entiende en la " + error.Message());
}

} // namespace brio
