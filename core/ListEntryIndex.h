#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brio {

class ListDocument;

// The entries of one loaded list by name, for work on many names in one pass: Find gives what the lookup
// by name gives (the first entry of that name in document order), also after entries were removed and
// appended through the index. For a few names no index is built and each lookup searches the document.
class ListEntryIndex {
public:
    // `lookups`: how many names the caller is going to look up.
    ListEntryIndex(ListDocument& doc, std::size_t lookups);
    // Only the entries of `names` are indexed, for work on some names of a long list; any other name is
    // looked up in the document.
    ListEntryIndex(ListDocument& doc, const std::vector<std::string>& names);

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

    // Looks names up without making strings of them.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>{}(name);
        }
    };

    ListDocument& doc_;
    bool indexed_;
    bool onlyNamed_ = false; // names not in byName_ are looked up in the document
    std::unordered_map<std::string, Entries, NameHash, std::equal_to<>> byName_;
};

} // namespace brio
