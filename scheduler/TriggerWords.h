#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

namespace brio {

// The words a trigger's schedule text is written and read back with.

// Short day names, Monday first as a Spanish calendar shows them, with the bit of each day.
inline constexpr std::array<std::pair<std::int32_t, std::string_view>, 7> kTriggerDays{{
    {2, "lun"},
    {4, "mar"},
    {8, "mié"},
    {16, "jue"},
    {32, "vie"},
    {64, "sáb"},
    {1, "dom"},
}};

// Short month names, January (bit 1) to December (bit 2048).
inline constexpr std::array<std::string_view, 12> kTriggerMonths{"ene", "feb", "mar", "abr", "may", "jun",
                                                                 "jul", "ago", "sep", "oct", "nov", "dic"};

// Every month marked.
inline constexpr std::int32_t kTriggerAllMonths = 0xFFF;

} // namespace brio
