#include "MarkupScan.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstring>
#include <random>
#include <string>

using brio::RawLessThanInValue;

namespace {

constexpr std::size_t npos = std::string_view::npos;

TEST(MarkupScanTest, FindsARawLessThanOnlyInsideAStartTagsValues) {
    const std::string padding(40, 'x'); // moves the markup across the 16-byte blocks
    const struct {
        std::string text;
        std::size_t expected; // offset of the "<" found, npos for none
    } cases[] = {
        {"<a b=\"x<y\"/>", 7},
        {"<a b='x\"<y'/>", 8},
        {"<a b=\"" + padding + "<\"/>", 6 + padding.size()},
        {"<a b=\"x &lt; y > z/>\" c='\"'/><b d=\"1<\"></b>", 36},
        {"<a b=\"x\">text > more</a>", npos},
        {"<!-- \"<a\" --><a b=\"c\"/>", npos},
        {"<![CDATA[ '<x ]]><a/>", npos},
        {"<?pi a=\"<\"?><a b=\"c\"/>", npos},
        {"<!DOCTYPE a [<!ENTITY e \"a<b>\"> <!-- x\"[ -->]><a b=\"c\"/>", npos},
        {"<!DOCTYPE a [<!ENTITY e \"a<b>\">]><a b=\"<\"/>", 39},
        {"</a b=\"<\"><a/>", npos},
        {"<a b=\"x<", 7},          // a value the text ends in
        {"<!-- <a b=\"<\"", npos}, // a comment the text ends in
        {"", npos},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RawLessThanInValue(c.text), c.expected) << c.text;
}

// Whether the document pugixml makes of `text` has an element attribute holding "<"; false when the text
// does not parse.
bool documentHasLessThanInValue(const std::string& text, bool& parsed) {
    pugi::xml_document doc;
    parsed = doc.load_buffer(text.data(), text.size(),
                             pugi::parse_minimal | pugi::parse_declaration | pugi::parse_doctype |
                                 pugi::parse_pi | pugi::parse_comments,
                             pugi::encoding_utf8);
    struct Walker : pugi::xml_tree_walker {
        bool found = false;
        bool for_each(pugi::xml_node& node) override {
            for (const pugi::xml_attribute attribute : node.attributes())
                found = found || std::strchr(attribute.value(), '<') != nullptr;
            return !found;
        }
    } walker;
    doc.traverse(walker);
    return parsed && walker.found;
}

// On random documents full of quotes and markup characters in values, comments, CDATA sections, processing
// instructions and document types, the scan agrees with the parsed document.
TEST(MarkupScanTest, AgreesWithTheParsedDocument) {
    std::mt19937 random(20261209);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::string alphabet = "ab <>/!?-[]='\" ";
    const auto junk = [&](const std::string& without) {
        std::string text;
        for (int i = pick(12); i > 0; --i) {
            const char c = alphabet[pick(static_cast<int>(alphabet.size()))];
            if (without.find(c) == std::string::npos)
                text += c;
        }
        return text;
    };
    int parsedCount = 0;
    int withLessThan = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = pick(4) == 0 ? "<!DOCTYPE r [<!ENTITY e \"" + junk("\"") + "\">]>" : "";
        text += "<r>";
        for (int part = pick(6); part > 0; --part) {
            switch (pick(5)) {
            case 0:
                text += "<!--" + junk("-") + "-->";
                break;
            case 1:
                text += "<![CDATA[" + junk("]") + "]]>";
                break;
            case 2:
                text += "<?p " + junk("?") + "?>";
                break;
            case 3:
                text += junk("<&");
                break;
            default: {
                const char quote = pick(2) ? '"' : '\'';
                text += "<e a=" + std::string(1, quote) + junk(std::string(1, quote) + "&") + quote;
                text += pick(2) ? "/>" : "></e>";
            }
            }
        }
        text += "</r>";
        bool parsed = false;
        const bool expected = documentHasLessThanInValue(text, parsed);
        if (!parsed)
            continue;
        ++parsedCount;
        withLessThan += expected;
        const std::size_t found = RawLessThanInValue(text);
        ASSERT_EQ(found != npos, expected) << text;
        if (found != npos) {
            ASSERT_EQ(text[found], '<');
        }
    }
    EXPECT_GT(parsedCount, 10000);
    EXPECT_GT(withLessThan, 1000);
}

} // namespace
