#include "ParseArena.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>

namespace {

std::string listOf(int entries) {
    std::string text = "<TAREAS>";
    for (int i = 0; i < entries; ++i)
        text += "<TAREA name=\"Tarea " + std::to_string(i) + "\" disabled=\"0\"><TRIGGERS/></TAREA>";
    return text + "</TAREAS>";
}

bool parses(std::string text) {
    pugi::xml_document doc;
    return doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_minimal, pugi::encoding_utf8) &&
           doc.first_child().first_child().attribute("name");
}

// Documents parse the same whether their memory comes from an arena, from an arena that is full (and so
// from the heap), from an arena nested in another, or from the heap outside any arena; and an arena hands
// its memory out again after a Reset.
TEST(ParseArenaTest, DocumentsParseFromTheArenaTheHeapAndNestedArenas) {
    const std::string list = listOf(2000);
    {
        brio::ParseArena arena(3 * list.size());
        ASSERT_TRUE(parses(list));
        const std::size_t used = arena.used();
        EXPECT_GT(used, list.size()) << "the document's memory comes from the arena";
        arena.Reset();
        ASSERT_TRUE(parses(list));
        EXPECT_EQ(arena.used(), used) << "a second parse takes the same memory again";

        pugi::xml_document outer; // lives in the outer arena while an inner one is current
        ASSERT_TRUE(outer.load_string(list.c_str()));
        {
            brio::ParseArena inner(1); // rounded up to one huge page: the document does not fit
            ASSERT_TRUE(parses(list));
            outer.reset(); // memory of the outer arena given back while the inner one is current
        }
        ASSERT_TRUE(outer.load_string("<TAREAS><TAREA name=\"a\"/></TAREAS>"));
        EXPECT_STREQ(outer.first_child().first_child().attribute("name").value(), "a");
    }
    EXPECT_TRUE(parses(list)); // the heap again
}

} // namespace
