#pragma once

#include "RunReporter.h"

#include <functional>
#include <string>
#include <vector>

namespace brio {

// Every run's start and end as one structured journal entry: a Spanish MESSAGE, a PRIORITY by result,
// a fixed MESSAGE_ID per kind of event (explained by the catalog) and BRIOSCHEDULE_* fields to search by.
class RunJournal : public RunReporter {
public:
    // Takes one entry's fields ("NAME=value"); by default sd_journal_sendv.
    using Sender = std::function<void(const std::vector<std::string>&)>;

    explicit RunJournal(Sender send = {});

    // True when standard error is the journal's stream (JOURNAL_STREAM names it).
    static bool StandardErrorIsJournal();
    // The fields of one entry; `started` for a run's start, else its record's end.
    static std::vector<std::string> Fields(const RunEvent& event, bool started);

    void RunStarted(const RunEvent& event) override { send_(Fields(event, true)); }
    void RunRecorded(const RunEvent& event) override { send_(Fields(event, false)); }

private:
    Sender send_;
};

} // namespace brio
