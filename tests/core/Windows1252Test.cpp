#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace brio;

TEST(Windows1252, EveryByteComesBackAndOtherCharactersBecomeReferences) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToWindows1252Xml(utf8), all);
    EXPECT_EQ(Windows1252ToUtf8("A\xF1o \x80"), "Año €");
    EXPECT_EQ(Utf8ToWindows1252Xml("Año 中"), "A\xF1o &#x4E2D;");
}

TEST(Windows1252, Utf8Validity) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"solo ASCII, bastante largo para pasar de ocho en ocho", true},
        {"Año €", true},
        {"\xF0\x9F\x98\x80", true},
        {"A\xF1o", false},           // a Windows-1252 byte
        {"\xC0\x80", false},         // overlong
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
        {"abc\xE2\x82", false},      // cut short
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes;
}
