// The engine against an independent calendar: systemd-analyze states many triggers as OnCalendar=
// expressions and computes their next starts under TZ of each zone.

#include "ScheduleEngine.h"
#include "TriggerMaker.h"

#include <gtest/gtest.h>

#include <QDate>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <sstream>

using namespace brio;
using namespace brio::test;

namespace {

constexpr int kTriggers = 300;
constexpr int kStarts = 20;
const char* const kZones[] = {"Europe/Madrid", "America/New_York", "UTC", "Australia/Sydney", "Asia/Kolkata"};
const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

std::string twoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string list(std::uint32_t bits, int first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (bits & (1u << i))
            text += (text.empty() ? "" : ",") + twoDigits(first + i);
    }
    return text;
}

std::string dayNames(std::uint32_t bits) {
    std::string text;
    for (int i = 0; i < 7; ++i) {
        if (bits & (1u << i))
            text += (text.empty() ? "" : ",") + std::string(kDayNames[i]);
    }
    return text;
}

// The starts systemd-analyze gives, as "YYYY-MM-DD HH:MM:SS" in UTC.
std::vector<std::string> oracle(const std::string& zone, const std::string& expression, Instant after) {
    const std::string output = run(
        "TZ=" + zone + " systemd-analyze calendar --iterations=" + std::to_string(kStarts) +
        " --base-time=@" + std::to_string(after.time_since_epoch().count()) + " '" + expression + "' 2>&1");
    static const std::regex utcLine(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) UTC$)");
    std::vector<std::string> starts;
    std::istringstream lines(output);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, utcLine))
            starts.push_back(match[1]);
    }
    return starts;
}

std::vector<std::string> utcTexts(const Schedule& schedule) {
    static const ScheduleZone utc = ScheduleZone::Named("UTC");
    std::vector<std::string> texts;
    for (const auto& start : schedule.starts) {
        std::string iso = IsoInstant(start.start, utc); // 2026-03-29T03:00:00+00:00
        texts.push_back(iso.substr(0, 10) + " " + iso.substr(11, 8));
    }
    return texts;
}

TEST(ScheduleOracleTest, EngineAgreesWithSystemdAnalyzeCalendar) {
    if (run("command -v systemd-analyze").empty()) {
        if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
            FAIL() << "systemd-analyze is missing (scripts/bootstrap installs systemd)";
        GTEST_SKIP() << "systemd-analyze is not installed: the oracle test is skipped";
    }
    std::mt19937 random(20261208);
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const auto nonEmpty = [&](int bits) {
        std::uint32_t mask = 0;
        while (mask == 0)
            mask = static_cast<std::uint32_t>(pick(0, (1 << bits) - 1));
        return static_cast<std::int32_t>(mask);
    };

    int compared = 0;
    for (int n = 0; n < kTriggers; ++n) {
        const std::string zoneName = kZones[n % std::size(kZones)];
        const ScheduleZone zone = ScheduleZone::Named(zoneName);
        // An instant from 2026 to 2044, never on a whole minute; the begin day up to 60 days before it.
        const std::int64_t afterSeconds =
            1767225600 + std::int64_t{pick(0, 19 * 365)} * 86400 + pick(0, 86399) / 60 * 60 + pick(1, 59);
        const Instant after{std::chrono::seconds{afterSeconds}};
        const std::int64_t afterDay = zone.ToWall(after).count() / 86400;
        const QDate begin = QDate(1970, 1, 1).addDays(afterDay - pick(0, 60));

        // Hours clear of the clock changes of these zones; repetition on aligned minutes within a day.
        const bool repeats = pick(0, 2) == 0;
        const int interval = std::vector<int>{5, 10, 15, 20, 30}[static_cast<std::size_t>(pick(0, 4))];
        const int hours = pick(1, 4);
        const int hour = repeats ? pick(5, 24 - hours) : pick(4, 23);
        const int minute = repeats ? pick(0, interval - 1) : pick(0, 59);
        std::string time = twoDigits(hour) + ":" + twoDigits(minute) + ":00";
        if (repeats)
            time = twoDigits(hour) + ".." + twoDigits(hour + hours - 1) + ":" + twoDigits(minute) + "/" +
                   std::to_string(interval) + ":00";

        Make make(trigger::Daily, begin.toString("yyyy-MM-dd").toUtf8().constData(), hour, minute);
        std::string expression;
        switch (n % 4) {
        case 0:
            expression = "*-*-* " + time;
            break;
        case 1: {
            const std::int32_t days = nonEmpty(7);
            make = Make(trigger::Weekly, begin.toString("yyyy-MM-dd").toUtf8().constData(), hour, minute)
                       .weekly(days);
            expression = dayNames(static_cast<std::uint32_t>(days)) + " *-*-* " + time;
            break;
        }
        case 2: {
            std::uint32_t days = 0;
            for (int i = pick(1, 3); i > 0; --i)
                days |= 1u << pick(0, 30);
            const std::int32_t months = nonEmpty(12);
            make = Make(trigger::MonthlyDate, begin.toString("yyyy-MM-dd").toUtf8().constData(), hour, minute)
                       .monthly(static_cast<std::int32_t>(days), months);
            expression =
                "*-" + list(static_cast<std::uint32_t>(months), 1, 12) + "-" + list(days, 1, 31) + " " + time;
            break;
        }
        default: {
            const int week = pick(1, 5);
            const std::int32_t days = nonEmpty(7);
            const std::int32_t months = nonEmpty(12);
            make = Make(trigger::MonthlyDOW, begin.toString("yyyy-MM-dd").toUtf8().constData(), hour, minute)
                       .dow(week, days, months);
            const std::string monthList = list(static_cast<std::uint32_t>(months), 1, 12);
            expression =
                dayNames(static_cast<std::uint32_t>(days)) + " *-" + monthList +
                (week == 5 ? "~07/1 " : "-" + twoDigits(7 * week - 6) + ".." + twoDigits(7 * week) + " ") +
                time;
            break;
        }
        }
        if (repeats)
            make.repeat(interval, 60 * hours);

        const std::vector<std::string> expected = oracle(zoneName, expression, after);
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(kStarts)) << expression;
        const Schedule got = ScheduleEngine(zone).Next(make, after, kStarts);
        EXPECT_EQ(utcTexts(got), expected) << "TZ=" << zoneName << " '" << expression << "' after @"
                                           << afterSeconds << " (" << got.reason << ")";
        ++compared;
    }
    EXPECT_EQ(compared, kTriggers);
}

} // namespace
