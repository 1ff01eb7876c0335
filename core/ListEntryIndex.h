#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <unordered_map>

namespace brio {

class ListDocument;

// The entries of one loaded list by name, for work on many names in one pass: Find gives what the lookup
// by name gives (the first entry of that name in document order), also after entries were removed and
// appended through the index. For a few names no index is built and each lookup searches the document.
class ListEntryIndex {
public:
    // `lookups`: how many names the caller is going to look up.
    ListEntryIndex(ListDocument& doc, std::size_t lookups);

    // The first entry of that name, or a null node.
    pugi::xml_node Find(const std::string& name) const;
    // Removes an entry from the root.
    void Remove(pugi::xml_node entry);
    // A copy of `entry` as the root's last child.
    pugi::xml_node Append(pugi::xml_node entry);

private:
    // The first entry of a name and how many entries bear it: a list of 100,000 entries is indexed in a
    // few megabytes, where a container of every entry per name would cost more than the list itself.
    struct Entries {
        pugi::xml_node first;
        std::size_t count = 0;
    };

    ListDocument& doc_;
    bool indexed_;
    std::unordered_map<std::string, Entries> byName_;
};

} // namespace brio
