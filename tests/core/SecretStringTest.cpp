#include "SecretString.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>

using namespace brio;

TEST(SecretString, DumpsAreOffExactlyWhileASecretIsHeld) {
    if (SecretString::DumpsBlocked())
        GTEST_SKIP() << "this process cannot be dumped anyway";
    {
        SecretString empty;
        EXPECT_FALSE(SecretString::DumpsBlocked()) << "an empty object holds nothing";
        SecretString one("clave");
        EXPECT_TRUE(SecretString::DumpsBlocked());
        {
            SecretString copy = one;
            SecretString moved = std::move(copy);
            EXPECT_EQ(moved.str(), "clave");
            EXPECT_TRUE(copy.empty());
        }
        EXPECT_TRUE(SecretString::DumpsBlocked()) << "one secret is still held";
        one.clear();
        EXPECT_FALSE(SecretString::DumpsBlocked());
        one.assign("otra");
        EXPECT_TRUE(SecretString::DumpsBlocked());
    }
    EXPECT_FALSE(SecretString::DumpsBlocked());
}

TEST(SecretString, GrowsAndEditsLikeAString) {
    SecretString text;
    for (char c : std::string(1000, 'x'))
        text.push_back(c);
    text.append("\r");
    EXPECT_EQ(text.back(), '\r');
    text.pop_back();
    EXPECT_EQ(text.str(), std::string(1000, 'x'));
    SecretString other;
    other = text;
    other.assign("corta");
    EXPECT_EQ(other.str(), "corta");
    EXPECT_EQ(text.size(), 1000u);
}
