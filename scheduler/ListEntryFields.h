#pragma once

// Reading a list entry's CONFIGURACION and TRIGGER attributes, shared by the export and by the reading of
// an entry's schedule. A missing attribute is error 13; an unreadable number or date fails as its
// conversion does.

#include "SchedTrigger.h"

#include <QDateTime>
#include <pugixml.hpp>

#include <cstdint>
#include <functional>

namespace brio {

struct FlagAttr {
    const char* name;
    std::int32_t bit;
};

// CONFIGURACION as the list file writes it, in its order.
inline constexpr FlagAttr kConfigFlags[] = {
    {"deleteWhenDone", taskflag::deleteWhenDone},
    {"disabled", taskflag::disabled},
    {"dontStartIfOnBatteries", taskflag::dontStartIfOnBatteries},
    {"hidden", taskflag::hidden},
    {"interactive", taskflag::interactive},
    {"killIfGoingOnBatteries", taskflag::killIfGoingOnBatteries},
    {"killOnIdleEnd", taskflag::killOnIdleEnd},
    {"restartOnIdleResume", taskflag::restartOnIdleResume},
    {"runIfConnectedToInternet", taskflag::runIfConnectedToInternet},
    {"runOnlyIfDocked", taskflag::runOnlyIfDocked},
    {"runOnlyIfLoggedOn", taskflag::runOnlyIfLoggedOn},
    {"startOnlyIfIdle", taskflag::startOnlyIfIdle},
    {"systemRequired", taskflag::systemRequired},
};

// The attribute's text; a missing attribute is a failure, as the list file's readers treat it.
const char* RequiredAttr(pugi::xml_node node, const char* name);
std::int32_t LongAttr(pugi::xml_node node, const char* name);
std::int16_t IntAttr(pugi::xml_node node, const char* name);
// A date attribute; an empty one is a date never set, as the scheduler writes it.
QDateTime DateAttr(pugi::xml_node node, const char* name);

// Reads one TRIGGER element into `t`, attribute by attribute in the list file's order; `shiftStart`, when
// given, moves the start time (the export's random shift). A failure leaves what was read before it in `t`.
void ReadTriggerElement(pugi::xml_node e, SchedTrigger& t,
                        const std::function<QDateTime(const QDateTime&)>& shiftStart = {});

} // namespace brio
