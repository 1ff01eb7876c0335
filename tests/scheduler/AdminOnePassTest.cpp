// Commands over many names: one load and at most one save of the list file, no whole read of the
// task store and one wait for the disk after changing it, however many names they get; a failure part way
// says how far the command got and keeps what was done before it.
#include "AdminFixture.h"
#include "ErrorOf.h"
#include "ListDocument.h"

#include <filesystem>
#include <functional>

using namespace brio;
using namespace brio::test;

namespace {

// File work of this process, read from the list document's and the task store's own counters.
struct Counts {
    std::uint64_t loads = 0, saves = 0, refreshes = 0, lookups = 0, flushes = 0;

    static Counts Now() {
        const StoreCounters store = TaskStore::Counters();
        return {ListDocument::LoadCount(), ListDocument::SaveCount(), store.refreshes, store.lookups,
                store.flushes};
    }
    Counts Since(const Counts& before) const {
        return {loads - before.loads, saves - before.saves, refreshes - before.refreshes,
                lookups - before.lookups, flushes - before.flushes};
    }
};

using Command = std::function<void(clsAdminTask&, const NameList&, NameProgress*)>;

struct Case {
    const char* command;
    Command run;
    const char* failing;          // a name that fails the command where it stands
    std::uint64_t loads, saves;   // of the list file at most, whatever the number of names
    std::uint64_t savesOnFailure; // when the fourth name fails
    std::size_t doneOnFailure;    // what the command says it did before that name
    std::uint64_t flushes = 0;    // of the task store: 1 when the command changes it
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases{
        {"import", [](clsAdminTask& a, const NameList& n, NameProgress* p) { a.Import(n, p); }, "Nadie", 1, 1,
         1, 3},
        {"export", [](clsAdminTask& a, const NameList& n, NameProgress* p) { a.Export(n, p); }, "a/b", 1, 0,
         0, 3, 1},
        {"disable",
         [](clsAdminTask& a, const NameList& n, NameProgress* p) {
             std::vector<std::pair<std::string, std::string>> values;
             for (const std::string& name : n)
                 values.emplace_back(name, "1");
             a.SetXMLAttrs(values, "disabled", MissingEntry::Fail, p);
         },
         "Nadie", 1, 1, 1, 3},
        {"disable --system",
         [](clsAdminTask& a, const NameList& n, NameProgress* p) { a.SetTaskAttrs(n, "disabled", "1", p); },
         "Nadie", 0, 0, 0, 3, 1},
        {"delete",
         [](clsAdminTask& a, const NameList& n, NameProgress* p) {
             a.RemoveBrioTasks(n, false, MissingEntry::Fail, p);
         },
         "Nadie", 1, 1, 1, 3},
        {"delete --both",
         [](clsAdminTask& a, const NameList& n, NameProgress* p) {
             a.RemoveBrioTasks(n, true, MissingEntry::Fail, p);
         },
         "Solo en el listado", 1, 1, 1, 3, 1},
        {"delete --system",
         [](clsAdminTask& a, const NameList& n, NameProgress* p) { a.RemoveSystemTasks(n, p); }, "Nadie", 0,
         0, 0, 3, 1},
        // All or nothing: every name is checked before any is written.
        {"range",
         [](clsAdminTask& a, const NameList& n, NameProgress*) {
             a.XMLRandomTime(n, 15, MissingEntry::Fail);
         },
         "Nadie", 1, 1, 0, 0},
    };
    return cases;
}

// T00, T01, ...
NameList Names(int first, int count) {
    NameList names;
    for (int i = first; i < first + count; ++i)
        names.push_back("T" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    return names;
}

class AdminOnePass : public AdminFixture {
protected:
    // Twelve scheduler tasks T00..T11, all of them in the list file, and one entry whose task is gone.
    void Reset() {
        for (const std::filesystem::path& folder : {home.path(), store.path()}) {
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                std::filesystem::remove_all(entry.path());
        }
        NameList all = Names(0, 12);
        for (std::size_t i = 0; i < all.size(); ++i)
            makeTask(all[i], 0, {Daily(2, static_cast<int>(i))});
        makeTask("Solo en el listado", 0, {Daily(4, 0)});
        all.push_back("Solo en el listado");
        admin().Import(all);
        TaskStore s(store.path());
        ASSERT_TRUE(s.Remove("Solo en el listado"));
    }
};

} // namespace

TEST_F(AdminOnePass, EachCommandLoadsAndSavesTheListOnceAndNeverReadsTheWholeStore) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.command);
        for (const int count : {1, 10}) {
            Reset(); // the same list and tasks for every run
            const NameList names = Names(1, count);
            clsAdminTask a = admin();
            NameProgress progress;
            const Counts before = Counts::Now();
            c.run(a, names, &progress);
            const Counts used = Counts::Now().Since(before);
            // However many names: no load or save per name, and none where the command leaves the list.
            EXPECT_LE(used.loads, c.loads) << count << " names";
            EXPECT_LE(used.saves, c.saves) << count << " names";
            EXPECT_EQ(used.refreshes, 0u) << count << " names";
            EXPECT_LE(used.lookups, names.size()) << count << " names";
            EXPECT_EQ(used.flushes, c.flushes) << count << " names";
            if (std::string(c.command) != "range") {
                EXPECT_EQ(progress.done, names.size());
            }
        }
    }
}

TEST_F(AdminOnePass, AFailurePartWaySaysHowFarItGotAndKeepsWhatWasDoneBefore) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.command);
        Reset();
        NameList names = Names(1, 6);
        names.insert(names.begin() + 3, c.failing);
        const std::string listBefore = readList();
        clsAdminTask a = admin();
        NameProgress progress;
        const Counts before = Counts::Now();
        EXPECT_NE(ErrorOf([&] { c.run(a, names, &progress); }), 0);
        const Counts used = Counts::Now().Since(before);
        EXPECT_EQ(progress.done, c.doneOnFailure);
        EXPECT_EQ(used.saves, c.savesOnFailure);
        EXPECT_EQ(used.flushes, c.flushes); // what was done before the failure reaches the disk too
        EXPECT_LE(used.loads, 1u);
        EXPECT_EQ(used.refreshes, 0u);
        if (c.savesOnFailure == 0) {
            EXPECT_EQ(readList(), listBefore);
        }
    }
}
