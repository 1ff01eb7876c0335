#include "ListEntryIndex.h"

#include "ListDocument.h"

#include <algorithm>

namespace brio {

namespace {
// Below this many lookups, searching the document each time is cheaper than building the index.
constexpr std::size_t kIndexFrom = 3;
} // namespace

ListEntryIndex::ListEntryIndex(ListDocument& doc, std::size_t lookups)
    : doc_(doc), indexed_(lookups >= kIndexFrom) {
    if (!indexed_)
        return;
    doc_.ForEachEntry([&](pugi::xml_node e) {
        if (const pugi::xml_attribute name = e.attribute("name"))
            byName_[name.value()].push_back(e);
    });
}

pugi::xml_node ListEntryIndex::Find(const std::string& name) const {
    if (!indexed_)
        return doc_.FindEntry(name);
    const auto it = byName_.find(name);
    return it == byName_.end() || it->second.empty() ? pugi::xml_node() : it->second.front();
}

void ListEntryIndex::Remove(pugi::xml_node entry) {
    if (indexed_) {
        if (const pugi::xml_attribute name = entry.attribute("name")) {
            std::deque<pugi::xml_node>& same = byName_[name.value()];
            same.erase(std::remove(same.begin(), same.end(), entry), same.end());
        }
    }
    doc_.Root().remove_child(entry);
}

pugi::xml_node ListEntryIndex::Append(pugi::xml_node entry) {
    const pugi::xml_node added = doc_.Root().append_copy(entry);
    if (indexed_ && added) {
        if (const pugi::xml_attribute name = added.attribute("name"))
            byName_[name.value()].push_back(added);
    }
    return added;
}

} // namespace brio
