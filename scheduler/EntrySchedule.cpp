#include "EntrySchedule.h"

#include "Conversions.h"
#include "ListEntryFields.h"

namespace brio {

EntrySchedule ReadEntrySchedule(pugi::xml_node entry) {
    EntrySchedule result;
    result.randomRange = CInt(Val(entry.attribute("StartTimeRandom").value()));
    if (const pugi::xml_node config = entry.child("CONFIGURACION")) {
        for (const FlagAttr& f : kConfigFlags) {
            if (f.bit != taskflag::hidden &&
                CBool(RequiredAttr(config, f.name))) // hidden stays a list matter
                result.flags |= f.bit;
        }
    }
    for (pugi::xml_node e = entry.child("TRIGGERS").child("TRIGGER"); e; e = e.next_sibling("TRIGGER"))
        ReadTriggerElement(e, result.triggers.Add());
    return result;
}

} // namespace brio
