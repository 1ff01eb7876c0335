#include "DateTime.h"

#include <gtest/gtest.h>

using namespace brio;

namespace {

TEST(DateTimeTest, ReadIsoTakesEveryShapeItsCallersAskFor) {
    const struct {
        const char* text;
        bool read;
        int second, millisecond, fractionDigits;
        char separator;
        bool hasZone;
    } cases[] = {
        {"2026-03-29", true, 0, 0, 0, 0, false},
        {"2026-03-29T02:30", true, 0, 0, 0, 'T', false},
        {"2026-03-29 02:30:15", true, 15, 0, 0, ' ', false},
        {"2026-03-29T02:30:15.5", true, 15, 500, 1, 'T', false},
        {"2026-03-29T02:30:15.123456789", true, 15, 123, 9, 'T', false},
        {"2026-03-29T02:30:15+02:00", true, 15, 0, 0, 'T', true},
        {"2026-03-29T02:30Z", true, 0, 0, 0, 'T', true},
        {"2026-3-29", false, 0, 0, 0, 0, false},
        {"2026-03-29T2:30", false, 0, 0, 0, 0, false},
        {"2026-03-29T02:30:15.", false, 0, 0, 0, 0, false},
        {"2026-03-29X02:30", false, 0, 0, 0, 0, false},
        {"2026-03-29T02:30 ", false, 0, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        const std::optional<DateParts> p = ReadIso(c.text);
        ASSERT_EQ(p.has_value(), c.read) << c.text;
        if (!p)
            continue;
        EXPECT_EQ(p->year * 10000 + p->month * 100 + p->day, 20260329) << c.text;
        EXPECT_EQ(p->second, c.second) << c.text;
        EXPECT_EQ(p->millisecond, c.millisecond) << c.text;
        EXPECT_EQ(p->fractionDigits, c.fractionDigits) << c.text;
        EXPECT_EQ(p->separator, c.separator) << c.text;
        EXPECT_EQ(p->hasZone, c.hasZone) << c.text;
    }
}

TEST(DateTimeTest, DayTextWritesAnInvalidDateAsDashes) {
    EXPECT_EQ(DayText(QDate(2026, 3, 9)), "09/03/2026");
    EXPECT_EQ(DayText(QDate(2026, 2, 30)), "--/--/----");
    EXPECT_EQ(DayText(QDate()), "--/--/----");
}

} // namespace
