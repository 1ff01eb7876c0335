#pragma once

// What a list entry would give its scheduler task's schedule at export: its triggers and flag word,
// read without the random start shift.

#include "SchedTrigger.h"

#include <pugixml.hpp>

#include <cstdint>

namespace brio {

struct EntrySchedule {
    SchedTriggers triggers;       // from TRIGGERS, in order
    std::int32_t flags = 0;       // the task flag bits of CONFIGURACION (hidden left out, as at export)
    std::int16_t randomRange = 0; // the entry's StartTimeRandom: the shift left out here
};

// Reads the entry's TRIGGERS and CONFIGURACION; a missing or unreadable attribute is error 13.
EntrySchedule ReadEntrySchedule(pugi::xml_node entry);

} // namespace brio
