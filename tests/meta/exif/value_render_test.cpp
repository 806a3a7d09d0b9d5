#include <gtest/gtest.h>

#include <initializer_list>

#include "meta/exif/decode_budget.h"
#include "meta/exif/exif_tags.h"
#include "meta/exif/image_info.h"
#include "meta/exif/value_render.h"

namespace {

tEndInd Order(bool bigEndian)
{
    tEndInd order;
    order.BigEndian = bigEndian;
    return order;
}
const tEndInd kMM = Order(true);
const tEndInd kII = Order(false);

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

// A value of an EXIF tag rendered with the codes and template of its row.
std::string RenderTag(uint16_t tag, const std::string& raw, uint32_t type, const tEndInd& order = kMM)
{
    const TTagEntry row = LookupDirTag(tag, tDirKind::ExifKind);
    return RenderValue(order, raw, type, row.ValueCodes, row.Template);
}

constexpr uint32_t kShort = 3, kLong = 4, kRational = 5, kSByte = 6, kSShort = 8, kSRational = 10, kFloat = 11,
                   kDouble = 12, kAscii = 2;

}  // namespace

TEST(ComponentSize, GivesBytesPerComponentAndZeroOutsideTheTypes)
{
    EXPECT_EQ(ComponentSize(0), 0);
    EXPECT_EQ(ComponentSize(1), 1);
    EXPECT_EQ(ComponentSize(3), 2);
    EXPECT_EQ(ComponentSize(5), 8);
    EXPECT_EQ(ComponentSize(8), 2);
    EXPECT_EQ(ComponentSize(11), 4);
    EXPECT_EQ(ComponentSize(12), 8);
    EXPECT_EQ(ComponentSize(13), 0);
    EXPECT_EQ(ComponentSize(0xFFFF), 0);
}

TEST(BytesToInt, ReadsInTheBlockByteOrder)
{
    EXPECT_EQ(BytesToInt(kMM, Bytes({0x01, 0x02})), 0x0102);
    EXPECT_EQ(BytesToInt(kII, Bytes({0x01, 0x02})), 0x0201);
    EXPECT_EQ(BytesToInt(kMM, Bytes({0x12, 0x34, 0x56, 0x78})), 0x12345678);
    EXPECT_EQ(BytesToInt(kII, Bytes({0x12, 0x34, 0x56, 0x78})), 0x78563412);
    EXPECT_EQ(BytesToInt(kII, ""), 0);
}

TEST(BytesToInt, ExtendsNoSignButWrapsFourBytes)
{
    EXPECT_EQ(BytesToInt(kMM, Bytes({0xFF})), 255);
    EXPECT_EQ(BytesToInt(kII, Bytes({0xFF, 0xFF})), 65535);
    EXPECT_EQ(BytesToInt(kMM, Bytes({0xFF, 0xFF, 0xFF, 0xFF})), -1);
}

TEST(BytesToInt, KeepsTheLowThirtyTwoBitsOfLongerValues)
{
    const std::string six = Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    EXPECT_EQ(BytesToInt(kMM, six), 0x03040506);  // the last four decide
    EXPECT_EQ(BytesToInt(kII, six), 0x04030201);  // the first four decide
}

TEST(RenderValue, FormatsTheNumberWhenTheTemplateHasNoTextSlot)
{
    EXPECT_EQ(RenderTag(0x011A, Bytes({0, 0, 0, 72, 0, 0, 0, 1}), kRational), "72.00");
    EXPECT_EQ(RenderTag(0x829D, Bytes({0, 0, 0, 28, 0, 0, 0, 10}), kRational), "F2.8");
    // ApertureValue is an APEX value: no template, its hook makes the f-number.
    EXPECT_EQ(RenderTag(0x9202, Bytes({0, 0, 1, 41, 0, 0, 0, 100}), kRational), "297/100");
    EXPECT_EQ(RenderTag(0xA405, Bytes({0, 28}), kShort), "28.00 mm");
    EXPECT_EQ(RenderTag(0x920A, Bytes({50, 0, 0, 0, 1, 0, 0, 0}), kRational, kII), "50.00 mm");
}

TEST(RenderValue, PutsTheTextIntoATemplateWithTextSlot)
{
    EXPECT_EQ(RenderTag(0x829A, Bytes({0, 0, 0, 1, 0, 0, 0, 60}), kRational), "1/60 sec");
}

TEST(RenderValue, LooksNumbersUpInTheCodes)
{
    EXPECT_EQ(RenderTag(0x0128, Bytes({0, 2}), kShort), "Inch");
    EXPECT_EQ(RenderTag(0x0112, Bytes({0, 3}), kShort), "Rotated 180\xB0");
    EXPECT_EQ(RenderTag(0x0112, Bytes({2, 0}), kShort, kII), "");
    EXPECT_EQ(RenderTag(0x0103, Bytes({0, 6}), kShort), "Jpeg");
    // Pairs written after ", " are never found.
    EXPECT_EQ(RenderTag(0x0103, Bytes({0, 1}), kShort), "");
    EXPECT_EQ(RenderTag(0x0106, Bytes({0, 2}), kShort), "");
}

TEST(RenderValue, ShowsNothingForANumberWithoutAPair)
{
    const std::string codes = "1:None Specified,2:Inch,3:Centimeter";
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 5, 0, 2}), kShort, codes, ""), "Inch");
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 2, 0, 5}), kShort, codes, ""), "Inch, ");
}

TEST(RenderValue, LooksRationalsUpByAllTheTextSoFar)
{
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 0, 0, 1, 0, 0, 0, 2}), kRational, "1/2:half", ""), "1/2half");
}

TEST(RenderValue, JoinsComponents)
{
    const std::string mm = Bytes({0, 8, 0, 8, 0, 8});
    const std::string ii = Bytes({8, 0, 8, 0, 8, 0});
    EXPECT_EQ(RenderValue(kMM, mm, kShort, "", ""), "8, 8, 8");
    EXPECT_EQ(RenderValue(kII, ii, kShort, "", ""), "8, 8, 8");
    EXPECT_EQ(RenderValue(kII, Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0}), kSRational, "",
                          ""),
              "1/2, -3/4");
}

TEST(RenderValue, PrintsRationalsUnreduced)
{
    EXPECT_EQ(RenderValue(kMM, std::string(8, '\0'), kRational, "", ""), "0/0");
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 0, 0, 4, 0, 0, 0, 0}), kRational, "", ""), "4/0");
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 0, 0, 2, 0, 0, 0, 4}), kRational, "", ""), "2/4");
}

TEST(RenderValue, ReadsIntegersSignedOrUnsignedAsTheirTypeIs)
{
    // A thumbnail length or an offset past 2^31 is no negative number; an
    // SSHORT -2 (a Nikon saturation step) is no 65534.
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF, 0xFF, 0xFF, 0xFF}), kLong, "", ""), "4294967295");
    EXPECT_EQ(RenderValue(kII, Bytes({0, 0, 0, 0x80}), kLong, "", ""), "2147483648");
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF, 0xFF}), kShort, "", ""), "65535");
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF}), 1, "", ""), "255");
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF, 0xFE}), kSShort, "", ""), "-2");
    EXPECT_EQ(RenderValue(kII, Bytes({0xFE, 0xFF, 0x01, 0x00}), kSShort, "", ""), "-2, 1");
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF}), kSByte, "", ""), "-1");
    EXPECT_EQ(RenderValue(kMM, Bytes({0xFF, 0xFF, 0xFF, 0xFE}), 9, "", ""), "-2");
}

TEST(RenderValue, LeavesFloatingPointValuesUndecoded)
{
    EXPECT_EQ(RenderValue(kMM, Bytes({0x3F, 0x80, 0, 0}), kFloat, "", ""), "-9999.99");
    EXPECT_EQ(RenderValue(kMM, std::string(8, '\x40'), kDouble, "", ""), "-9999.99");
    EXPECT_EQ(RenderTag(0x011A, std::string(8, '\x40'), kDouble), " 0.00");
}

TEST(RenderValue, RendersWholeComponentsOnly)
{
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 7, 9}), kShort, "", ""), "7");
    EXPECT_EQ(RenderValue(kMM, Bytes({7}), kShort, "", ""), "");
    EXPECT_EQ(RenderValue(kMM, "", kLong, "", ""), "");
}

TEST(RenderValue, GivesZeroForTypesWithoutSizeBeforeTheTemplate)
{
    EXPECT_EQ(RenderValue(kMM, Bytes({1, 2}), 0, "", "%5.2f"), "0");
    EXPECT_EQ(RenderValue(kMM, Bytes({1, 2}), 13, "", "%s sec"), "0");
    EXPECT_EQ(RenderValue(kMM, "ab", kAscii, "", ""), "?, ?");
}

TEST(RenderValue, RaisesWhenTheTemplateDoesNotFitItsArgument)
{
    const std::string seventy = Bytes({0, 0, 0, 72, 0, 0, 0, 1});
    EXPECT_THROW(RenderValue(kMM, seventy, kRational, "", "%d"), EMetaError);
    EXPECT_THROW(RenderValue(kMM, seventy, kRational, "", "%s %d"), EMetaError);
    EXPECT_THROW(RenderValue(kMM, seventy, kRational, "", "%5.2q"), EMetaError);
}

TEST(NumericValue, ReadsAllBytesOfIntegerValues)
{
    EXPECT_EQ(NumericValue(kMM, Bytes({0, 8, 0, 8, 0, 8}), kShort), 8 * 65536 + 8);
    EXPECT_EQ(NumericValue(kII, Bytes({8, 0, 8, 0, 8, 0}), kShort), 8 * 65536 + 8);
    EXPECT_EQ(NumericValue(kII, Bytes({0xB8, 0x0B, 0, 0}), kLong), 3000);
}

TEST(NumericValue, DividesRationals)
{
    EXPECT_DOUBLE_EQ(NumericValue(kMM, Bytes({0, 0, 0, 28, 0, 0, 0, 10}), kRational), 2.8);
    EXPECT_DOUBLE_EQ(NumericValue(kII, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}), kSRational), -0.5);
    EXPECT_EQ(NumericValue(kMM, std::string(8, '\0'), kRational), 0);
    EXPECT_EQ(NumericValue(kMM, Bytes({0, 0, 0, 5}), kRational), 0);  // no denominator bytes
}

TEST(NumericValue, GivesZeroForOtherTypes)
{
    for (uint32_t type : {0u, 2u, 7u, 11u, 12u, 13u, 300u})
        EXPECT_EQ(NumericValue(kMM, Bytes({0x3F, 0x80, 0, 0, 0, 0, 0, 1}), type), 0) << type;
}

TEST(CodeLookup, FindsTheWordOfAKey)
{
    const std::string units = "1:None Specified,2:Inch,3:Centimeter";
    EXPECT_EQ(CodeLookup(units, "2"), "Inch");
    EXPECT_EQ(CodeLookup(units, "1"), "None Specified");
    EXPECT_EQ(CodeLookup(units, "3"), "Centimeter");
    EXPECT_EQ(CodeLookup(units, " 2\t"), "Inch");  // the key is trimmed
    EXPECT_EQ(CodeLookup(units, "4"), "");
    EXPECT_EQ(CodeLookup(units, ""), "");
}

TEST(CodeLookup, MatchesWholeNumbersOnly)
{
    EXPECT_EQ(CodeLookup("11:Eleven,1:One", "1"), "One");
    EXPECT_EQ(CodeLookup("11:Eleven", "1"), "");
}

TEST(CodeLookup, NeverFindsAPairWrittenAfterABlank)
{
    EXPECT_EQ(CodeLookup("6:Jpeg, 1:TIFF", "6"), "Jpeg");
    EXPECT_EQ(CodeLookup("6:Jpeg, 1:TIFF", "1"), "");
    EXPECT_EQ(CodeLookup("1:Monochrome, 2:RGB, 6:YCbCr", "1"), "Monochrome");
    EXPECT_EQ(CodeLookup("1:Monochrome, 2:RGB, 6:YCbCr", "6"), "");
}

TEST(CleanText, KeepsFiftyCharactersAndDotsControlCharacters)
{
    EXPECT_EQ(CleanText(std::string(60, 'x')), std::string(50, 'x'));
    EXPECT_EQ(CleanText("a\tb"), "a.b");
    EXPECT_EQ(CleanText(std::string("a\0b\x1F", 4)), "a.b.");
    EXPECT_EQ(CleanText("Rotated 180\xB0"), "Rotated 180\xB0");  // high bytes are text
    EXPECT_EQ(CleanText(""), "");
}

TEST(ParseRational, DividesTwoIntegers)
{
    EXPECT_DOUBLE_EQ(ParseRational("28/10"), 2.8);
    EXPECT_DOUBLE_EQ(ParseRational(" -3/ 4"), -0.75);
    EXPECT_DOUBLE_EQ(ParseRational("+6/3"), 2.0);
}

TEST(ParseRational, GivesZeroOnAnyFailure)
{
    EXPECT_EQ(ParseRational("5"), 0);
    EXPECT_EQ(ParseRational("1/0"), 0);
    EXPECT_EQ(ParseRational("x/2"), 0);
    EXPECT_EQ(ParseRational("/2"), 0);
    EXPECT_EQ(ParseRational("3/4 "), 0);
    EXPECT_EQ(ParseRational("1/2, 3/4"), 0);
    EXPECT_EQ(ParseRational("2147483648/1"), 0);
}

TEST(TryParseInteger, AcceptsBlanksSignAndDigitsOnly)
{
    int32_t v = 0;
    EXPECT_TRUE(TryParseInteger("  -2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(TryParseInteger("95", v));
    EXPECT_EQ(v, 95);
    EXPECT_FALSE(TryParseInteger("2147483648", v));
    EXPECT_FALSE(TryParseInteger("", v));
    EXPECT_FALSE(TryParseInteger("-", v));
    EXPECT_FALSE(TryParseInteger("1, 0", v));
    EXPECT_FALSE(TryParseInteger("7 ", v));
}

TEST(RenderValue, ChargesTheTextAsItGrows)
{
    tDecodeBudget budget;
    EXPECT_EQ(RenderValue(kMM, Bytes({0, 8, 0, 8, 0, 8}), kShort, "", "", &budget), "8, 8, 8");
    EXPECT_EQ(budget.KeptBytes(), 7);
    // Rationals are looked up by all the text so far: longer than the codes, it
    // finds nothing, and the text is the same as without that shortcut.
    const std::string twoHalves = Bytes({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2});
    EXPECT_EQ(RenderValue(kMM, twoHalves, kRational, "1/2:half", "", &budget), "1/2half, 1/2");
    EXPECT_EQ(CodeLookup("1:a", "a much longer key than the codes"), "");
}
