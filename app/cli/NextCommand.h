#pragma once

// brioschedule-cli next, and the next run times of the system listing.

#include "CliArguments.h"
#include "SchedBridge.h"
#include "ScheduleEngine.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace brio::cli {

// "yyyy-MM-ddTHH:mm" or "yyyy-MM-ddTHH:mm:ss", a wall time; nothing for any other text or a date that
// does not exist.
std::optional<WallSeconds> ReadWallTime(const std::string& text);

// The next starts of one task: the scheduler task with --system, else the list entry's triggers and
// flags without the export's random shift (said on `err` when the entry has one). One start a line
// ("dd/MM/yyyy HH:mm:ss") or a JSON array; no start is an empty result, the reason on `err`, and success.
int RunNext(const CliArguments& args, const std::filesystem::path& programFolder,
            const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err);

// The next start of a scheduler task as the system listing shows it, written only in the form asked.
struct NextRun {
    std::optional<Instant> start;       // none when the task has no next start
    const ScheduleZone* zone = nullptr; // the zone of the texts

    std::string Iso() const;  // "2026-03-29T03:00:00+02:00"; empty when there is none
    std::string Wall() const; // "29/03/2026 03:00:00"; empty when there is none
};

// The next start after `after` of a task with these triggers and flags.
NextRun NextRunOf(const ScheduleEngine& engine, const SchedTriggers& triggers, std::int32_t flags,
                  Instant after);

} // namespace brio::cli
