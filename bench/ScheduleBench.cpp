// The schedule engine: the next start of each of 10,000 varied triggers, and the system listing of a
// 10,000-task store as `brioschedule-cli list --system --json` makes it, with and without next run times.
#include "CliArguments.h"
#include "CliCommands.h"
#include "ScheduleEngine.h"
#include "TaskStore.h"
#include "TaskTable.h"
#include "clsAdminTask.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <vector>

namespace {

using brio::Instant;
using brio::SchedTrigger;

// Every calendar type with its common variations: intervals, masks, repetition, end dates.
std::vector<SchedTrigger> variedTriggers(int count) {
    std::mt19937 random(42);
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::vector<SchedTrigger> triggers;
    for (int i = 0; i < count; ++i) {
        SchedTrigger t;
        t.setTriggerType(i % 5);
        t.setBeginDay(brio::MakeDate(pick(2000, 2026), pick(1, 12), pick(1, 28)));
        t.setStartTime(brio::MakeDate(1899, 12, 30, pick(0, 23), pick(0, 59)));
        t.setDaily_Interval(static_cast<std::int16_t>(pick(1, 10)));
        t.setWeekly_Interval(static_cast<std::int16_t>(pick(1, 4)));
        t.setWeekly_DaysOfTheWeek(pick(1, 127));
        t.setMonthlyDate_Day(pick(1, 0x7FFFFFFF));
        t.setMonthlyDate_Months(pick(1, 4095));
        t.setMonthlyDOW_Week(pick(1, 5));
        t.setMonthlyDOW_DaysOfTheWeek(pick(1, 127));
        t.setMonthlyDOW_Months(pick(1, 4095));
        if (t.TriggerType() == brio::trigger::Once)
            t.setBeginDay(brio::MakeDate(pick(2026, 2030), pick(1, 12), pick(1, 28)));
        if (i % 3 == 0) {
            t.setInterval(pick(1, 120));
            t.setDuration(pick(60, 1440));
        }
        if (i % 4 == 0) {
            t.setEndDay(brio::MakeDate(pick(2027, 2040), pick(1, 12), pick(1, 28)));
            t.setFlags(brio::triggerflag::hasEndDate |
                       (i % 8 == 0 ? brio::triggerflag::killAtDurationEnd : 0));
        }
        triggers.push_back(t);
    }
    return triggers;
}

const std::vector<SchedTrigger>& triggers() {
    static const std::vector<SchedTrigger> all = variedTriggers(10000);
    return all;
}

// One iteration is the next start of one trigger, so the time shown is the time per start.
void BM_NextStartOfOneTrigger(benchmark::State& state) {
    const brio::ScheduleEngine engine(brio::ScheduleZone::Named("Europe/Madrid"));
    const Instant after{std::chrono::seconds{1780000000}}; // 28/05/2026
    const auto& all = triggers();
    std::size_t i = 0, found = 0;
    for (auto _ : state) {
        const brio::Schedule next = engine.Next(all[i], after, 1);
        found += next.starts.size();
        benchmark::DoNotOptimize(next);
        i = (i + 1) % all.size();
    }
    state.counters["with_start"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_NextStartOfOneTrigger);

// The next 20 starts of one trigger; items are starts.
void BM_Next20StartsOfOneTrigger(benchmark::State& state) {
    const brio::ScheduleEngine engine(brio::ScheduleZone::Named("America/New_York"));
    const Instant after{std::chrono::seconds{1780000000}};
    const auto& all = triggers();
    std::size_t i = 0;
    std::int64_t starts = 0;
    for (auto _ : state) {
        const brio::Schedule next = engine.Next(all[i], after, 20);
        starts += static_cast<std::int64_t>(next.starts.size());
        benchmark::DoNotOptimize(next);
        i = (i + 1) % all.size();
    }
    state.SetItemsProcessed(starts);
}
BENCHMARK(BM_Next20StartsOfOneTrigger);

// The next 10,000 starts of a daily trigger at 2:00, as `next --count 10000` asks; items are starts.
void BM_Next10000StartsOfADailyTrigger(benchmark::State& state) {
    const brio::ScheduleEngine engine(brio::ScheduleZone::Named("Europe/Madrid"));
    const Instant after{std::chrono::seconds{1780000000}};
    SchedTrigger daily;
    daily.setTriggerType(brio::trigger::Daily);
    daily.setBeginDay(brio::MakeDate(2026, 1, 1));
    daily.setStartTime(brio::MakeDate(1899, 12, 30, 2, 0));
    daily.setDaily_Interval(1);
    std::int64_t starts = 0;
    for (auto _ : state) {
        const brio::Schedule next = engine.Next(daily, after, brio::ScheduleEngine::kMaxCount);
        starts += static_cast<std::int64_t>(next.starts.size());
        benchmark::DoNotOptimize(next);
    }
    state.SetItemsProcessed(starts);
}
BENCHMARK(BM_Next10000StartsOfADailyTrigger);

// A store of 10,000 tasks, one of the varied triggers each, and an empty program folder.
struct Store {
    std::filesystem::path root, home, tasks;

    Store() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brio-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        home = root / "home";
        tasks = root / "tasks";
        std::filesystem::create_directories(home);
        brio::TaskStore store(tasks);
        store.Refresh();
        const auto& all = triggers();
        for (std::size_t i = 0; i < all.size(); ++i) {
            brio::SchedTaskPtr t = store.NewTask("Tarea " + std::to_string(i));
            t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\prog" + std::to_string(i % 100) + ".exe");
            t->Triggers().Add() = all[i];
            t->Save(0);
        }
    }
    ~Store() { std::filesystem::remove_all(root); }
};

Store& store() {
    static Store s;
    return s;
}

// `brioschedule-cli list --system --json` as the program runs it: records, next run times, JSON.
void BM_ListSystemJsonWithNextRunTimes(benchmark::State& state) {
    Store& s = store();
    const brio::cli::CliArguments args = brio::cli::ParseArguments({"list", "--system", "--json"});
    for (auto _ : state) {
        std::ostringstream out, err;
        brio::cli::CliCommands commands(s.home, brio::MakeTaskStoreFactory(s.tasks), out, err);
        if (commands.Run(args) != 0 || out.str().find("NextRunTime") == std::string::npos)
            state.SkipWithError("the listing failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ListSystemJsonWithNextRunTimes)->Unit(benchmark::kMillisecond)->MinTime(5.0);

// The same listing without next run times: the command's steps (records, the rows it keeps, JSON)
// through the same functions, without the next-start pass.
void BM_ListSystemJsonWithoutNextRunTimes(benchmark::State& state) {
    Store& s = store();
    for (auto _ : state) {
        std::ostringstream out;
        brio::clsAdminTask admin(s.home, brio::MakeTaskStoreFactory(s.tasks));
        const brio::TareaList records = admin.getSystemTaskList();
        brio::TareaList rows;
        std::set<std::string> keys;
        for (const brio::clsTarea& record : records) {
            if (record.hidden() || (!record.Name().empty() && !keys.insert(record.Name()).second))
                break;
            rows.push_back(record);
        }
        brio::cli::WriteRecords(out, rows, true, false);
        if (rows.size() != triggers().size())
            state.SkipWithError("the listing failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ListSystemJsonWithoutNextRunTimes)->Unit(benchmark::kMillisecond)->MinTime(5.0);

} // namespace

BENCHMARK_MAIN();
