#pragma once

#include <pugixml.hpp>

namespace brio {

// The node that follows `node` in document order; empty after the last one. The walk needs no recursion,
// so a deeply nested file cannot exhaust the stack.
inline pugi::xml_node NextInDocumentOrder(pugi::xml_node node) {
    if (node.first_child())
        return node.first_child();
    while (node && !node.next_sibling())
        node = node.parent();
    return node ? node.next_sibling() : pugi::xml_node();
}

} // namespace brio
