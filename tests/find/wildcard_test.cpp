#include "find/wildcard.h"

#include <gtest/gtest.h>

#include <string>

TEST(WildcardMatch, FoldsAsciiCase)
{
    EXPECT_TRUE(WildcardMatch("*.jpg", "x.JPG"));
    EXPECT_TRUE(WildcardMatch("*.JPEG", "photo.jpeg"));
    EXPECT_TRUE(WildcardMatch("*.jpg", "MiXeD.JpG"));
}

TEST(WildcardMatch, DoesNotFoldBytesAboveAscii)
{
    // Latin-1 A-umlaut and a-umlaut are different names on a byte-string file system.
    EXPECT_FALSE(WildcardMatch("\xC4.jpg", "\xE4.jpg"));
    EXPECT_TRUE(WildcardMatch("*.jpg", "\xFF\xFE.jpg"));
}

TEST(WildcardMatch, StarMatchesAnyRunIncludingNone)
{
    EXPECT_TRUE(WildcardMatch("*.jpg", ".jpg"));
    EXPECT_TRUE(WildcardMatch("a*b*c", "abc"));
    EXPECT_TRUE(WildcardMatch("a*b*c", "axxbyybzzc"));
    EXPECT_FALSE(WildcardMatch("a*b*c", "axxbyybzzcd"));
    EXPECT_TRUE(WildcardMatch("*", "anything"));
}

TEST(WildcardMatch, WholeNameMustMatch)
{
    EXPECT_FALSE(WildcardMatch("*.jpg", "x.jpeg"));
    EXPECT_FALSE(WildcardMatch("*.jpg", "x.jpg.bak"));
    EXPECT_FALSE(WildcardMatch("*.jpeg", "x.jpg"));
    EXPECT_FALSE(WildcardMatch("a.jpg", "ba.jpg"));
}

TEST(WildcardMatch, QuestionMarkMatchesExactlyOneByte)
{
    EXPECT_TRUE(WildcardMatch("?.jpg", "a.jpg"));
    EXPECT_FALSE(WildcardMatch("?.jpg", ".jpg"));
    EXPECT_FALSE(WildcardMatch("?.jpg", "ab.jpg"));
    EXPECT_TRUE(WildcardMatch("img_??.*", "IMG_01.jpg"));
}

TEST(WildcardMatch, TrailingDotStarAlsoMatchesNamesWithoutThatDot)
{
    EXPECT_TRUE(WildcardMatch("*.*", "README"));
    EXPECT_TRUE(WildcardMatch("*.*", "a.b.c"));
    EXPECT_TRUE(WildcardMatch("a.*", "a"));
    EXPECT_FALSE(WildcardMatch("a.*", "ab"));
}

TEST(WildcardMatch, EmptyMaskMatchesNothing)
{
    EXPECT_FALSE(WildcardMatch("", "a.jpg"));
    EXPECT_FALSE(WildcardMatch("", ""));
}

TEST(WildcardMatch, PathologicalStarsStayFast)
{
    const std::string name(5000, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*b", name));
}
