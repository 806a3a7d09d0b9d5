#include <gtest/gtest.h>

#include <cmath>

#include "meta/exif/end_ind.h"
#include "meta/exif/format_text.h"

TEST(FormatText, FormatsTheTemplatesOfTheTagTables)
{
    EXPECT_EQ(FormatText("%5.2f", {72.0}), "72.00");
    EXPECT_EQ(FormatText("%5.2f", {0.0}), " 0.00");
    EXPECT_EQ(FormatText("F%0.1f", {2.97}), "F3.0");
    EXPECT_EQ(FormatText("%5.2f mm", {50.0}), "50.00 mm");
    EXPECT_EQ(FormatText("%s sec", {"1/60"}), "1/60 sec");
    EXPECT_EQ(FormatText("%d/%d", {1, -60}), "1/-60");
    EXPECT_EQ(FormatText("%4.4f sec", {0.0078125}), "0.0078 sec");
    EXPECT_EQ(FormatText(" (1/%d)", {int64_t{128}}), " (1/128)");
}

TEST(FormatText, HonoursWidthJustificationAndPercent)
{
    EXPECT_EQ(FormatText("%5d|%-5d|", {42, 42}), "   42|42   |");
    EXPECT_EQ(FormatText("%-4s|%4s|%.2s", {"ab", "ab", "abc"}), "ab  |  ab|ab");
    EXPECT_EQ(FormatText("100%%", {}), "100%");
    EXPECT_EQ(FormatText("%x", {-1}), "FFFFFFFF");
    EXPECT_EQ(FormatText("%d", {0}), "0");
}

TEST(FormatText, KeepsZeroAndHighBytesOfText)
{
    const std::string text("a\0\xB0", 3);
    EXPECT_EQ(FormatText("[%s]", {text}), "[" + text + "]");
}

TEST(FormatText, RaisesWhenTheTemplateDoesNotFit)
{
    EXPECT_THROW(FormatText("%d", {2.5}), EMetaError);
    EXPECT_THROW(FormatText("%5.2f", {72}), EMetaError);
    EXPECT_THROW(FormatText("%s", {1.0}), EMetaError);
    EXPECT_THROW(FormatText("%d", {"7"}), EMetaError);
    EXPECT_THROW(FormatText("%d/%d", {1}), EMetaError);
    EXPECT_THROW(FormatText("%q", {1}), EMetaError);
    EXPECT_THROW(FormatText("50%", {1}), EMetaError);
    EXPECT_THROW(FormatText("%*d", {1, 2}), EMetaError);
    EXPECT_THROW(FormatText("%99999d", {1}), EMetaError);
}

TEST(FormatText, NamesTheTemplateInItsMessage)
{
    try {
        FormatText("%5.2d", {1.0});
        FAIL() << "no error raised";
    } catch (const EMetaError& e) {
        EXPECT_STREQ(e.what(), "Format '%5.2d' invalid or incompatible with argument");
    }
}

TEST(FormatText, IgnoresSurplusArguments)
{
    EXPECT_EQ(FormatText("%d", {1, 2}), "1");
    EXPECT_EQ(FormatText("none", {1}), "none");
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(-7.6), -8);
}

TEST(RoundHalfEven, RaisesOutsideTheSixtyFourBitRange)
{
    EXPECT_EQ(RoundHalfEven(0x1p62), int64_t{1} << 62);
    EXPECT_EQ(RoundHalfEven(-0x1p63), INT64_MIN);
    EXPECT_THROW(RoundHalfEven(0x1p63), EMetaError);
    EXPECT_THROW(RoundHalfEven(INFINITY), EMetaError);
    EXPECT_THROW(RoundHalfEven(NAN), EMetaError);
}

TEST(RoundLow32, KeepsTheLowThirtyTwoBits)
{
    EXPECT_EQ(RoundLow32(3000.5), 3000);
    EXPECT_EQ(RoundLow32(4294967295.0), -1);
    EXPECT_EQ(RoundLow32(4294967296.0 + 5), 5);
    EXPECT_EQ(RoundLow32(-1.0), -1);
}
