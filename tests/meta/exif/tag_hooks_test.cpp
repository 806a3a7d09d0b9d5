#include <gtest/gtest.h>

#include "meta/exif/end_ind.h"
#include "meta/exif/tag_hooks.h"
#include "meta/exif/value_render.h"

namespace {

// How the directory walk renders an UNDEFINED value: quoted, cut at the first zero byte.
std::string Undefined(const std::string& raw)
{
    return "\"" + raw.substr(0, raw.find('\0')) + "\"";
}

}  // namespace

TEST(ComponentsHook, NamesTheChannels)
{
    EXPECT_EQ(ComponentsHook(Undefined(std::string("\x01\x02\x03\x00", 4))), "YCbCr");
    EXPECT_EQ(ComponentsHook(Undefined(std::string("\x04\x05\x06\x00", 4))), "RGB");
    EXPECT_EQ(ComponentsHook("x\x03\x07\x01\x02\x01"), "CrYCb");  // positions 2..5 only
}

TEST(ComponentsHook, TreatsPositionsPastTheEndAsEmpty)
{
    EXPECT_EQ(ComponentsHook(""), "");
    EXPECT_EQ(ComponentsHook("\""), "");
    EXPECT_EQ(ComponentsHook(Undefined("")), "");
}

TEST(ShutterHook, GivesTheExposureTimeAndItsReciprocal)
{
    EXPECT_EQ(ShutterHook("7/1"), "0.0078 sec (1/128)");
    EXPECT_EQ(ShutterHook("1/1"), "0.5000 sec (1/2)");
    EXPECT_EQ(ShutterHook("0/1"), "1.0000 sec");
    EXPECT_EQ(ShutterHook("-1/1"), "2.0000 sec");
    EXPECT_EQ(ShutterHook("no rational"), "1.0000 sec");
}

TEST(ShutterHook, RaisesWhenTheReciprocalDoesNotFitSixtyFourBits)
{
    EXPECT_EQ(ShutterHook("62/1").rfind("0.0000 sec (1/46116860184273", 0), 0u);
    EXPECT_THROW(ShutterHook("63/1"), EMetaError);
    EXPECT_THROW(ShutterHook("5000/1"), EMetaError);
}

TEST(ShutterHook, RaisesWhenTwoToTheValueComesOutAsZero)
{
    EXPECT_THROW(ShutterHook("-5000/1"), EMetaError);
    EXPECT_EQ(ShutterHook("-10/1"), "1024.0000 sec");
}

TEST(ApertureHook, GivesTheFNumberOfTheApexValue)
{
    // exiftool on the corpus: Canon 40D 368640/65536 is F7.0, PowerShot S40
    // 149/32 F5.0 and its MaxApertureValue 194698/65536 F2.8.
    EXPECT_EQ(ApertureHook("368640/65536"), "F7.0");
    EXPECT_EQ(ApertureHook("149/32"), "F5.0");
    EXPECT_EQ(ApertureHook("194698/65536"), "F2.8");
    EXPECT_EQ(ApertureHook("6/1"), "F8.0");
    EXPECT_EQ(ApertureHook("0/1"), "F1.0");
    for (const char* shown : {"0/0", "no rational", "1/1, 2/1", "3000/1"})
        EXPECT_EQ(ApertureHook(shown), shown) << shown;
}

TEST(FlashHook, SpellsOutTheFlashBits)
{
    EXPECT_EQ(FlashHook("0"), "Off");
    EXPECT_EQ(FlashHook("16"), "Off, surpressed");
    EXPECT_EQ(FlashHook("25"), "On, auto mode");
    EXPECT_EQ(FlashHook("95"), "On, strobe return, auto mode, red-eye reduction");
    EXPECT_EQ(FlashHook("3"), "On, UNKNOWN");
    EXPECT_EQ(FlashHook("13"), "On, no strobe return, forced");
    EXPECT_EQ(FlashHook("32"), "Off, no flash function");
}

TEST(FlashHook, RaisesOnTextThatIsNotAPlainInteger)
{
    tEndInd order;
    order.BigEndian = true;
    const std::string countTwo = RenderValue(order, std::string("\0\1\0\0", 4), 3, "", "");
    ASSERT_EQ(countTwo, "1, 0");
    EXPECT_THROW(FlashHook(countTwo), EMetaError);
    EXPECT_THROW(FlashHook("28/10"), EMetaError);
    EXPECT_THROW(FlashHook("-9999.99"), EMetaError);
    EXPECT_THROW(FlashHook(""), EMetaError);
}

TEST(CommentHook, DropsTheCharacterCode)
{
    EXPECT_EQ(CommentHook(Undefined(std::string("ASCII\0\0\0Hello", 13))), "");
    EXPECT_EQ(CommentHook("ASCII\1\1\1Hello"), "Hello");
    EXPECT_EQ(CommentHook("12345678"), "");
    EXPECT_EQ(CommentHook("123456789"), "9");
}

TEST(GpsTimeHook, JoinsHoursMinutesAndSeconds)
{
    EXPECT_EQ(GpsTimeHook("14/1, 30/1, 5/1"), "14:30:5");
    EXPECT_EQ(GpsTimeHook("7/1, 5/1, 3049/100"), "7:5:30");
}

TEST(GpsTimeHook, ReadsATextWithoutCommasAsSecondsOnly)
{
    EXPECT_EQ(GpsTimeHook("14/1"), "0:0:14");
}

TEST(GpsAngleHook, GivesDegreesMinutesAndSeconds)
{
    EXPECT_EQ(GpsAngleHook("40/1, 26/1, 4632/100"), "40 Degrees 26 Minutes 46 Seconds");
}

TEST(GpsAngleHook, TurnsFractionalMinutesIntoSecondsWhenSecondsAreZero)
{
    EXPECT_EQ(GpsAngleHook("40/1, 2646/100, 0/1"), "40 Degrees 26 Minutes 28 Seconds");
    EXPECT_EQ(GpsAngleHook("-40/1, -2646/100, 0/1"), "-40 Degrees -26 Minutes -28 Seconds");
}
