#pragma once

// The readable schedule text of a trigger read back into the trigger's fields: the very words
// SchedTrigger::Text writes, so that every text the program prints reads back to the trigger it told.

#include "SchedTrigger.h"

#include <optional>
#include <string>
#include <string_view>

namespace brio {

// Why a text is not a trigger text, and where.
struct TriggerTextError {
    std::size_t column = 0; // 1-based, in characters, where the text stops being readable
    std::string expected;   // what could have come there, e.g. «todos los días» o «cada»
    std::string nearest;    // the accepted form closest to what was written

    // "columna 12: se esperaba …; forma aceptada más parecida: «…»"
    std::string Message() const;
};

// The trigger a schedule text describes. Fields the text does not tell keep a new trigger's values; the
// start time's date is the begin day's (the zero date when the text gives none). Numbers are read as
// written: a field out of the engine's range (every 0 days, week 7) is left for the engine to refuse.
std::optional<SchedTrigger> ParseTriggerText(std::string_view text, TriggerTextError* error = nullptr);

// As ParseTriggerText; a text that does not read is error 5 with the message of TriggerTextError.
SchedTrigger TriggerFromText(std::string_view text);

} // namespace brio
