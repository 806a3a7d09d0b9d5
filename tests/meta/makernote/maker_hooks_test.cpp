#include "meta/makernote/maker_hooks.h"

#include <gtest/gtest.h>

#include <locale>
#include <string>

namespace {

// A locale whose decimal separator is a comma, as on a German desktop.
struct tCommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

// Lines of a hook result, split at CR LF.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

TEST(LensInfoHook, FormatsFocalAndApertureRanges)
{
    EXPECT_EQ(LensInfoHook("180/10, 700/10, 35/10, 45/10"), "18.0-70.0(mm)  F3.5-F4.5");
    EXPECT_EQ(LensInfoHook("50/1, 50/1, 14/10, 14/10"), "50.0-50.0(mm)  F1.4-F1.4");
    EXPECT_EQ(LensInfoHook("24/1, 120/1, 35/10, 56/10"), "24.0-120.0(mm)  F3.5-F5.6");
}

TEST(LensInfoHook, UsesAPointWhateverTheLocale)
{
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new tCommaDecimal));
    const std::string result = LensInfoHook("180/10, 700/10, 35/10, 45/10");
    std::locale::global(saved);
    EXPECT_EQ(result, "18.0-70.0(mm)  F3.5-F4.5");
}

TEST(LensInfoHook, UnreadableNumbersCountAsZero)
{
    // No separator: the first three are 0, the fourth is read from the whole text.
    EXPECT_EQ(LensInfoHook("45/10"), "0.0-0.0(mm)  F0.0-F4.5");
    EXPECT_EQ(LensInfoHook(""), "0.0-0.0(mm)  F0.0-F0.0");
    EXPECT_EQ(LensInfoHook("180/0, x/10, 35/10, 45/"), "0.0-0.0(mm)  F3.5-F0.0");
    // Two values only: the second cut finds no separator and reads nothing.
    EXPECT_EQ(LensInfoHook("180/10, 700/10"), "18.0-0.0(mm)  F0.0-F70.0");
    EXPECT_EQ(LensInfoHook("\"abc\""), "0.0-0.0(mm)  F0.0-F0.0");
}

TEST(CanonSettingsHook, ListsEveryFieldLineByLine)
{
    const std::string result = CanonSettingsHook("0, 2, 0, 3");
    const std::vector<std::string> lines = Lines(result);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[0], "0, 2, 0, 3");
    EXPECT_EQ(lines[1], "Macro mode = Normal");
    EXPECT_EQ(lines[2], "Self Timer =  0");
    EXPECT_EQ(lines[3], "Compression Rate = Basic");
    EXPECT_EQ(lines[4], "Flash Mode = ");
    EXPECT_EQ(lines[5], "Drive Mode = ");
    EXPECT_EQ(lines[6], "Focus Mode = ");
    EXPECT_EQ(lines[16], "Long focal = ");
    EXPECT_EQ(lines[20], "Focus Mode = ");
    EXPECT_EQ(result.substr(result.size() - 15), "\r\nFocus Mode = ");
}

TEST(CanonSettingsHook, DecodesAFullCameraSettingsArray)
{
    // 33 values as a PowerShot stores them; piece k is value k.
    const int values[] = {66, 2, 0, 2, 0, 0, 0, 1, 65535, 0, 0, 2, 0, 1, 0, 65535, 15, 3,
                          0, 12291, 1, 0, 0, 213, 71, 1000, 0, 0, 0, 0, 0, 0, 1};
    std::string text;
    for (int v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
    const std::vector<std::string> lines = Lines(CanonSettingsHook(text));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[1], "Macro mode = Normal");
    EXPECT_EQ(lines[2], "Self Timer =  0");
    EXPECT_EQ(lines[3], "Compression Rate = Normal");
    EXPECT_EQ(lines[4], "Flash Mode = Not fired");
    EXPECT_EQ(lines[5], "Drive Mode = Single");
    EXPECT_EQ(lines[6], "Focus Mode = AI Servo");
    EXPECT_EQ(lines[7], "Image Size = Large");
    EXPECT_EQ(lines[8], "Easy Shoot = Landscape");
    EXPECT_EQ(lines[9], "Contrast = High");
    EXPECT_EQ(lines[10], "Saturation = Normal");
    EXPECT_EQ(lines[11], "Sharpness = Low");
    EXPECT_EQ(lines[12], "CCD ISO = auto");
    EXPECT_EQ(lines[13], "Metering Mode = Evaluative");
    EXPECT_EQ(lines[14], "AF Point = Center");
    EXPECT_EQ(lines[15], "Exposure Mode = Program");
    EXPECT_EQ(lines[16], "Long focal =  213");
    EXPECT_EQ(lines[17], "Short focal =  71");
    EXPECT_EQ(lines[18], "Focal Units =  1000");
    EXPECT_EQ(lines[20], "Focus Mode = Continuous");
}

TEST(CanonShotHook, NamesWhiteBalanceAndFlashBias)
{
    std::string text = "0";
    for (int k = 1; k <= 18; ++k) text += ", " + std::to_string(k == 7 ? 2 : k == 15 ? 65504 : k * 10);
    const std::vector<std::string> lines = Lines(CanonShotHook(text));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], text);
    EXPECT_EQ(lines[1], "White balance = Cloudy");
    EXPECT_EQ(lines[2], "Sequence Number =  80");
    EXPECT_EQ(lines[3], "OpticalZoom Step =  100");
    EXPECT_EQ(lines[4], "AF point =  130");
    EXPECT_EQ(lines[5], "Flash bias = -1 EV");
    EXPECT_EQ(lines[6], "Distance =  180");
}

TEST(CanonCustomHook, VisitsEveryPieceButTheLast)
{
    EXPECT_EQ(CanonCustomHook("8, 257, 513"), "8, 257, 513\r\nNoise Reduction =  On");
    EXPECT_EQ(CanonCustomHook("3585, 513, 0"),
              "3585, 513, 0\r\nSuperimposed Display =  Off\r\nShutter AE Lock Button = AE lock/AF");
    EXPECT_EQ(CanonCustomHook("3841, 1"), "3841, 1\r\nShutter Release w/o CF Card = Disable");
}

TEST(CanonCustomHook, ManyThousandPiecesGiveALineEach)
{
    // 60 000 values of function 1 (Noise Reduction) setting 1; the last piece
    // is never visited.
    std::string text = "257";
    for (int i = 1; i < 60000; ++i) text += ", 257";
    const std::string out = CanonCustomHook(text);
    EXPECT_EQ(out.rfind(text, 0), 0u);
    const std::string line = "\r\nNoise Reduction =  On";
    EXPECT_EQ(out.size(), text.size() + 59999 * line.size());
    EXPECT_EQ(out.substr(out.size() - line.size()), line);
}

TEST(CanonCustomHook, AddsNothingForUnknownOrUnreadablePieces)
{
    EXPECT_EQ(CanonCustomHook("513"), "513");
    EXPECT_EQ(CanonCustomHook("\"abc\""), "\"abc\"");
    // Function 16 and above, function 0 and negative numbers name nothing.
    EXPECT_EQ(CanonCustomHook("4096, 255, -257, 1"), "4096, 255, -257, 1");
    // A piece that is no whole number adds nothing; the others still count.
    EXPECT_EQ(CanonCustomHook("x, 12.5, 769, 0"), "x, 12.5, 769, 0\r\nMirror Lockup = Enable");
    // A setting without a pair leaves the line's value empty.
    EXPECT_EQ(CanonCustomHook("777, 0"), "777, 0\r\nMirror Lockup = ");
}
