#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <thread>
#include <vector>

#include "meta/exif/exif_tags.h"
#include "meta/exif/image_info.h"
#include "meta/exif/tag_hooks.h"

namespace {

const TTagEntry& ExifRow(uint16_t tag)
{
    for (const TTagEntry& row : ExifTagTable())
        if (row.TagNo == tag) return row;
    throw std::runtime_error("no row for tag " + std::to_string(tag));
}

}  // namespace

TEST(ExifTagTable, HasAllTagsInAscendingUniqueOrderThenUnknown)
{
    const auto& table = ExifTagTable();
    ASSERT_EQ(table.size(), 251u);
    std::set<uint16_t> seen;
    for (int i = 0; i < kExifUnknownRow; ++i) {
        EXPECT_NE(table[i].TagNo, 0) << "row " << i;
        if (i > 0) {
            EXPECT_LT(table[i - 1].TagNo, table[i].TagNo) << "row " << i;
        }
        seen.insert(table[i].TagNo);
    }
    EXPECT_EQ(seen.size(), 250u);
    EXPECT_EQ(table[250].TagNo, 0);
    EXPECT_EQ(table[250].TagName, "Unknown");
    EXPECT_EQ(table[250].Label, "Unknown");
    EXPECT_EQ(table.front().TagNo, 0x0001);
    EXPECT_EQ(table[249].TagNo, 0xA420);
}

TEST(ExifTagTable, KeepsNamesLetterForLetter)
{
    EXPECT_EQ(ExifRow(0x0122).TagName, "GrayReponseUnit");
    EXPECT_EQ(ExifRow(0x0123).TagName, "GrayReponseCurve");
    EXPECT_EQ(ExifRow(0xA405).TagName, "FocalLengthin35mmFilm");
    EXPECT_EQ(ExifRow(0x0152).TagName, "ExtraSample");
    EXPECT_EQ(ExifRow(0x923F).TagName, "StoNits");
    EXPECT_EQ(ExifRow(0x83BB).TagName, "IPTC/NAA");
    EXPECT_EQ(ExifRow(0x9216).TagName, "TIFF/EPStandardID");
    EXPECT_EQ(ExifRow(0x5024).TagName, "ThumbnailPhotometricInterp");
    EXPECT_EQ(ExifRow(0x80E3).TagName, "Matteing");
    // Twins share a name.
    EXPECT_EQ(ExifRow(0x828E).TagName, ExifRow(0xA302).TagName);
    EXPECT_EQ(ExifRow(0x9210).TagName, ExifRow(0xA210).TagName);
}

TEST(ExifTagTable, CarriesCodesTemplatesAndHooks)
{
    EXPECT_EQ(ExifRow(0x0112).ValueCodes,
              "1:Normal,3:Rotated 180\xB0,6:CounterClockwise 90\xB0,8:Clockwise 90\xB0");
    EXPECT_EQ(ExifRow(0x0103).ValueCodes, "6:Jpeg, 1:TIFF");
    EXPECT_EQ(ExifRow(0xA210).ValueCodes, "1:None Specified,2:Inch,3:Centimeter");
    EXPECT_EQ(ExifRow(0x011B).Template, "%5.2f");
    EXPECT_EQ(ExifRow(0x829D).Template, "F%0.1f");
    EXPECT_EQ(ExifRow(0x9202).Hook, &ApertureHook);
    EXPECT_EQ(ExifRow(0x9205).Hook, &ApertureHook);
    EXPECT_EQ(ExifRow(0xA405).Template, "%5.2f mm");
    EXPECT_EQ(ExifRow(0x829A).Template, "%s sec");
    EXPECT_EQ(ExifRow(0x9101).Hook, &ComponentsHook);
    EXPECT_EQ(ExifRow(0x9201).Hook, &ShutterHook);
    EXPECT_EQ(ExifRow(0x9209).Hook, &FlashHook);
    EXPECT_EQ(ExifRow(0x9286).Hook, &CommentHook);

    int hooked = 0, coded = 0, templated = 0;
    for (const TTagEntry& row : ExifTagTable()) {
        hooked += row.Hook != nullptr;
        coded += !row.ValueCodes.empty();
        templated += !row.Template.empty();
        EXPECT_EQ(row.Origin, 0);
        EXPECT_EQ(row.FieldType, 0);
        EXPECT_TRUE(row.Text.empty());
    }
    EXPECT_EQ(hooked, 6);
    EXPECT_EQ(coded, 24);
    EXPECT_EQ(templated, 6);
}

TEST(GpsTagTable, HoldsTags0To30InOrderWithTheirHooks)
{
    const auto& table = GpsTagTable();
    ASSERT_EQ(table.size(), 31u);
    for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].TagNo, i);
    EXPECT_EQ(table[0].TagName, "GPSVersionID");
    EXPECT_EQ(table[0x17].TagName, "GPSDestBearingkRef");
    EXPECT_EQ(table[0x1E].TagName, "GPSDifferential");
    for (int tag : {0x02, 0x04, 0x14, 0x16}) EXPECT_EQ(table[tag].Hook, &GpsAngleHook) << tag;
    EXPECT_EQ(table[0x07].Hook, &GpsTimeHook);
    EXPECT_EQ(table[0x05].ValueCodes, "0:Sealevel");
}

TEST(PrepareTagTables, FillsEmptyLabelsAndKeepsPresetOnes)
{
    PrepareTagTables();
    PrepareTagTables();  // a second call changes nothing
    EXPECT_EQ(ExifRow(0x0100).Label, "Image Width");
    EXPECT_EQ(ExifRow(0x9216).Label, "TIFF/EP Standard ID");
    EXPECT_EQ(ExifRow(0xA216).Label, "TIFF/EP Standard ID");
    EXPECT_EQ(ExifRow(0x83BB).Label, "IPTC/NAA");
    EXPECT_EQ(ExifRow(0xA405).Label, "Focal Length in 35mm Film");
    EXPECT_EQ(ExifRow(0x0122).Label, "Gray Response Unit");
    EXPECT_EQ(GpsTagTable()[0].Label, "GPS Version ID");
    EXPECT_EQ(GpsTagTable()[0x17].Label, "GPS Dest Bearing Ref");
    // Every label reads as words: no small letter runs into a capital or a
    // digit, no capital run into a word ("ISOSpeed"), but in "YCbCr" and
    // plurals ("IFDs").
    auto wordsApart = [](std::string label) {
        for (size_t at; (at = label.find("YCbCr")) != std::string::npos;) label.replace(at, 5, "Ycbcr");
        for (size_t at; (at = label.find("IFDs")) != std::string::npos;) label.replace(at, 4, "IFD");
        for (size_t i = 1; i < label.size(); ++i) {
            const char a = label[i - 1], b = label[i];
            if (std::islower(static_cast<unsigned char>(a)) && (std::isupper(static_cast<unsigned char>(b)) ||
                                                                std::isdigit(static_cast<unsigned char>(b))))
                return false;
            if (i + 1 < label.size() && std::isupper(static_cast<unsigned char>(a)) &&
                std::isupper(static_cast<unsigned char>(b)) && std::islower(static_cast<unsigned char>(label[i + 1])))
                return false;
        }
        return true;
    };
    for (const TTagEntry& row : ExifTagTable()) {
        EXPECT_FALSE(row.Label.empty()) << row.TagName;
        EXPECT_TRUE(wordsApart(row.Label)) << row.Label;
    }
    for (const TTagEntry& row : GpsTagTable()) {
        EXPECT_FALSE(row.Label.empty()) << row.TagName;
        EXPECT_TRUE(wordsApart(row.Label)) << row.Label;
    }
}

TEST(PrepareTagTables, GivesOneTableToConcurrentCallers)
{
    std::vector<const std::vector<TTagEntry>*> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] {
            PrepareTagTables();
            slot = &ExifTagTable();
        });
    for (auto& t : threads) t.join();
    for (auto* table : seen) EXPECT_EQ(table, &ExifTagTable());
}

TEST(SpaceName, StartsAWordAfterASmallLetterOrDigitAndAtTheEndOfACapitalRun)
{
    EXPECT_EQ(SpaceName("ImageWidth"), "Image Width");
    EXPECT_EQ(SpaceName("ISOSpeedRatings"), "ISO Speed Ratings");
    EXPECT_EQ(SpaceName("GPSVersionID"), "GPS Version ID");
    EXPECT_EQ(SpaceName("GPSDOP"), "GPSDOP");
    EXPECT_EQ(SpaceName("XResolution"), "X Resolution");
    EXPECT_EQ(SpaceName("TIFF/EPStandardID"), "TIFF/EP Standard ID");
    EXPECT_EQ(SpaceName("T4Options"), "T4 Options");
    EXPECT_EQ(SpaceName("YCbCrPositioning"), "YCbCr Positioning");
    EXPECT_EQ(SpaceName("ThumbnailYCbCrCoefficients"), "Thumbnail YCbCr Coefficients");
    EXPECT_EQ(SpaceName("aB"), "a B");
    EXPECT_EQ(SpaceName(""), "");
}

TEST(LookupDirTag, FindsRowsOfTheKindsTable)
{
    EXPECT_EQ(LookupDirTag(0x0112, tDirKind::ExifKind).TagName, "Orientation");
    EXPECT_EQ(LookupDirTag(0x0001, tDirKind::ExifKind).TagName, "InteroperabilityIndex");
    EXPECT_EQ(LookupDirTag(0xA420, tDirKind::ExifKind).TagName, "ImageUniqueID");
    EXPECT_EQ(LookupDirTag(0x001E, tDirKind::GpsKind).TagName, "GPSDifferential");
    EXPECT_EQ(LookupDirTag(0x0002, tDirKind::GpsKind).Hook, &GpsAngleHook);
}

TEST(LookupDirTag, NamesGpsVersionIdButLeavesItsTagNumberZero)
{
    const TTagEntry row = LookupDirTag(0x0000, tDirKind::GpsKind);
    EXPECT_EQ(row.TagName, "GPSVersionID");
    EXPECT_EQ(row.TagNo, 0);
}

TEST(LookupDirTag, GivesTheUnknownRowWhenNothingMatches)
{
    for (const TTagEntry& row : {LookupDirTag(0x1234, tDirKind::ExifKind), LookupDirTag(0x0000, tDirKind::ExifKind),
                                 LookupDirTag(0x0112, tDirKind::GpsKind),
                                 LookupDirTag(0x0001, static_cast<tDirKind>(9))}) {
        EXPECT_EQ(row.TagNo, 0);
        EXPECT_EQ(row.TagName, "Unknown");
        EXPECT_EQ(row.Label, "Unknown");
        EXPECT_EQ(row.Hook, nullptr);
    }
}

TEST(LookupDirTag, HandsOutACopyThatLeavesTheTableAlone)
{
    TTagEntry entry = LookupDirTag(0x010F, tDirKind::ExifKind);
    entry.Text = "Camera";
    EXPECT_TRUE(ExifRow(0x010F).Text.empty());
}

TEST(StaticTagIndex, MatchesNamesIgnoringAsciiCase)
{
    const int32_t focal = StaticTagIndex("FocalLengthIn35mmFilm");
    ASSERT_GE(focal, 0);
    EXPECT_EQ(ExifTagTable()[focal].TagNo, 0xA405);
    EXPECT_EQ(StaticTagIndex("imagewidth"), StaticTagIndex("ImageWidth"));
    // A shared name gives the lower row.
    EXPECT_EQ(ExifTagTable()[StaticTagIndex("FocalPlaneResolutionUnit")].TagNo, 0x9210);
}

TEST(StaticTagIndex, GivesMinusOneForNamesNotInTheTags)
{
    EXPECT_EQ(StaticTagIndex("Unknown"), -1);  // the "Unknown" row is not searched
    EXPECT_EQ(StaticTagIndex("GPSLatitude"), -1);
    EXPECT_EQ(StaticTagIndex(""), -1);
    EXPECT_EQ(StaticTagIndex("ImageWidt"), -1);
}
