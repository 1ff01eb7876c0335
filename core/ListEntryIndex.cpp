#include "ListEntryIndex.h"

#include "ListDocument.h"

#include <string_view>

namespace brio {

namespace {
// Below this many lookups, searching the document each time is cheaper than building the index.
constexpr std::size_t kIndexFrom = 3;
} // namespace

ListEntryIndex::ListEntryIndex(ListDocument& doc, std::size_t lookups)
    : doc_(doc), indexed_(lookups >= kIndexFrom) {
    if (!indexed_)
        return;
    std::size_t entries = 0;
    doc_.ForEachEntry([&](pugi::xml_node) { ++entries; });
    byName_.reserve(entries);
    doc_.ForEachEntry([&](pugi::xml_node e) {
        if (const pugi::xml_attribute name = e.attribute("name")) {
            Entries& same = byName_[name.value()];
            if (same.count++ == 0)
                same.first = e;
        }
    });
}

ListEntryIndex::ListEntryIndex(ListDocument& doc, const std::vector<std::string>& names)
    : doc_(doc), indexed_(names.size() >= kIndexFrom), onlyNamed_(true) {
    if (!indexed_)
        return;
    byName_.reserve(names.size());
    for (const std::string& name : names)
        byName_.try_emplace(name);
    doc_.ForEachEntry([&](pugi::xml_node e) {
        if (const pugi::xml_attribute name = e.attribute("name")) {
            const auto it = byName_.find(std::string_view(name.value()));
            if (it != byName_.end() && it->second.count++ == 0)
                it->second.first = e;
        }
    });
}

pugi::xml_node ListEntryIndex::Find(const std::string& name) const {
    if (!indexed_)
        return doc_.FindEntry(name);
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return onlyNamed_ ? doc_.FindEntry(name) : pugi::xml_node();
    return it->second.first;
}

void ListEntryIndex::Remove(pugi::xml_node entry) {
    if (indexed_) {
        if (const pugi::xml_attribute name = entry.attribute("name")) {
            const auto it = byName_.find(std::string_view(name.value()));
            if (it != byName_.end() && it->second.count > 0) {
                Entries& same = it->second;
                if (--same.count == 0) {
                    same.first = pugi::xml_node();
                } else if (same.first == entry) {
                    // The next of that name in document order (entries appended later are after it).
                    const std::string_view wanted = name.value();
                    pugi::xml_node next = entry.next_sibling("TAREA");
                    while (next && wanted != next.attribute("name").value())
                        next = next.next_sibling("TAREA");
                    same.first = next;
                }
            }
        }
    }
    doc_.Root().remove_child(entry);
}

pugi::xml_node ListEntryIndex::Append(pugi::xml_node entry) {
    const pugi::xml_node added = doc_.Root().append_copy(entry);
    if (indexed_ && added) {
        if (const pugi::xml_attribute name = added.attribute("name")) {
            auto it = byName_.find(std::string_view(name.value()));
            if (it == byName_.end() && !onlyNamed_)
                it = byName_.try_emplace(name.value()).first;
            if (it != byName_.end() && it->second.count++ == 0)
                it->second.first = added;
        }
    }
    return added;
}

} // namespace brio
