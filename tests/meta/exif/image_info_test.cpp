#include <gtest/gtest.h>

#include "meta/exif/exif_tags.h"
#include "meta/exif/image_info.h"
#include "tests/support/exif_walk.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

// Walks IFD0 of a TIFF body the way the container does for an APP1 block.
class Decoder : public ::testing::TestWithParam<bool> {
protected:
    Decoder() { dec.OnStatus = [this](const std::string& text) { status = text; }; }
    void Walk()
    {
        const std::string seg = ExifSegment(t.Bytes()).substr(2);  // from the length bytes on
        dec.BigEndian = GetParam();
        dec.Block = seg;
        dec.WalkDirectory(int64_t{dec.GetUInt32(13)} + 9, 9, static_cast<int64_t>(seg.size()) - 6,
                          tDirKind::ExifKind);
    }
    bool Has(const std::string& line) const { return dec.Listing.find("\r\n" + line) != std::string::npos; }

    TiffBuilder t{GetParam()};
    TImageInfo dec{255};
    std::string status;  // what the walk reported through OnStatus
};

TEST_P(Decoder, SizeFromTheExifSubDirectoryWinsOverIfd0)
{
    const uint32_t sub = t.AddDirectory({t.Long(0xA002, 3000), t.Short(0xA003, 2000)});
    t.SetFirstDirectory(t.AddDirectory(
        {t.Ascii(0x010F, "Canon"), t.Short(0x0100, 160), t.Short(0x0101, 120), t.Long(0x8769, sub)}));
    Walk();
    EXPECT_EQ(dec.ImageWidth, 3000);
    EXPECT_EQ(dec.ImageHeight, 2000);
    EXPECT_EQ(dec.WidthPos, TiffBuilder::ValueField(sub, 0) + 9);
    EXPECT_EQ(dec.HeightPos, TiffBuilder::ValueField(sub, 1) + 9);
    EXPECT_EQ(dec.MakeText, "Canon");  // without its terminating zero
    EXPECT_TRUE(Has("Make = Canon"));
    EXPECT_EQ(dec.TagText("make"), "Canon");
    EXPECT_EQ(dec.IntegerByName("ExifImageWidth"), 3000);
}

TEST_P(Decoder, EmptyDirectoryDoesNothing)
{
    t.SetFirstDirectory(t.AddDirectory({}));
    Walk();
    EXPECT_EQ(dec.TagCount, 0);
    EXPECT_EQ(dec.Listing, "");
}

TEST_P(Decoder, OversizedCountIsReportedAndNothingIsRead)
{
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x0100, 7)}));
    std::string bytes = t.Bytes();
    bytes.replace(8, 2, t.U16(5000));  // 2 + 12 x 5000 bytes do not fit
    t = TiffBuilder(GetParam());
    t.AddBytes(bytes.substr(8));
    Walk();
    EXPECT_EQ(status, "Illegally sized directory");
    EXPECT_EQ(dec.ImageWidth, 0);
}

TEST_P(Decoder, EntriesRunningPastTheBlockKeepWhatCameBefore)
{
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x0100, 7), t.Short(0x0101, 9)}));
    std::string bytes = t.Bytes();
    // Claims three entries (which passes the size test) but the block ends after two.
    bytes.replace(8, 2, t.U16(3));
    t = TiffBuilder(GetParam());
    t.AddBytes(bytes.substr(8, 2 + 24));
    EXPECT_NO_THROW(Walk());
    EXPECT_EQ(dec.ImageWidth, 7);
    EXPECT_EQ(dec.ImageHeight, 9);
}

TEST_P(Decoder, BrokenSubDirectoryEndsThereAndIfd0GoesOn)
{
    t.SetFirstDirectory(t.AddDirectory({t.Long(0x8769, 0x7FFFFFF0), t.Short(0x0100, 7),
                                        t.Long(0x8825, 0xFFFFFFFF), t.Short(0x0101, 9)}));
    Walk();
    EXPECT_EQ(dec.ImageWidth, 7);
    EXPECT_EQ(dec.ImageHeight, 9);
}

TEST_P(Decoder, ValueOffsetBeforeTheBlockReadsFromItsStart)
{
    // Offset -20 gives a position below 1: the clamped copy starts at position 1.
    t.SetFirstDirectory(t.AddDirectory({{0x010E, 7, 8, t.U32(0xFFFFFFEC) + "pad4"}}));
    std::string bytes = t.Bytes();
    // The builder stored the 8 bytes out of line; point the entry at -20 instead.
    bytes.replace(8 + 2 + 8, 4, t.U32(0xFFFFFFEC));
    t = TiffBuilder(GetParam());
    t.AddBytes(bytes.substr(8));
    Walk();
    ASSERT_EQ(dec.TagCount, 1);
    EXPECT_EQ(dec.TagList[0].RawBytes, dec.Block.substr(0, 8));
}

TEST_P(Decoder, BadTypesAndWrappedSizesAreSkipped)
{
    t.SetFirstDirectory(t.AddDirectory({
        {0x010E, 13, 1, t.U32(1)},            // no such type
        {0x010F, 4, 0x40000000, t.U32(1)},    // 4 x 2^30 wraps to 0
        {0x0110, 4, 0x20000001, t.U32(1)},    // wraps negative: inline, no bytes
        t.Short(0x0100, 5),
    }));
    Walk();
    EXPECT_EQ(dec.ImageWidth, 5);
    EXPECT_EQ(dec.MakeText, "");
    ASSERT_EQ(dec.FindTagIndex("Model"), 0);
    EXPECT_EQ(dec.TagList[0].RawBytes, "");
}

TEST_P(Decoder, UnknownTagsAreListedButNotKept)
{
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x1234, 1), t.Short(0x0112, 3)}));
    Walk();
    EXPECT_TRUE(Has("Unknown = 1"));
    EXPECT_EQ(dec.TagCount, 1);
    EXPECT_EQ(dec.TagList[0].TagName, "Orientation");
}

TEST_P(Decoder, PointerCyclesEnd)
{
    // IFD0 -> EXIF -> IFD0, and GPS <-> interoperability.
    const uint32_t ifd0 = 8;
    const uint32_t exif = ifd0 + 2 + 12 * 3 + 4;
    const uint32_t gps = exif + 2 + 12 * 2 + 4;
    const uint32_t interop = gps + 2 + 12 * 1 + 4;
    t.AddDirectory({t.Long(0x8769, exif), t.Long(0x8825, gps), t.Short(0x0100, 1)});
    t.AddDirectory({t.Long(0x8769, ifd0), t.Long(0xA005, interop)});
    t.AddDirectory({t.Long(0x8825, interop)});
    t.AddDirectory({t.Long(0x8825, gps)});
    Walk();
    EXPECT_EQ(dec.ImageWidth, 1);  // IFD0 went on after its pointers
}

TEST_P(Decoder, DeepNestingEnds)
{
    // A chain of distinct directories, each pointing at the next.
    uint32_t next = 0;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 40; ++i) offsets.push_back(8 + static_cast<uint32_t>(i) * (2 + 12 + 4));
    for (int i = 0; i < 40; ++i) {
        next = i + 1 < 40 ? offsets[static_cast<size_t>(i) + 1] : 8;
        t.AddDirectory({t.Long(0x8769, next)});
    }
    EXPECT_NO_THROW(Walk());
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, Decoder, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

TEST(DecoderTagList, GrowsBy25WhenOneSlotIsLeft)
{
    TImageInfo dec(255);
    TTagEntry e;
    e.TagNo = 1;
    EXPECT_EQ(dec.AddTag(BlankTag), -1);
    EXPECT_EQ(dec.TagCapacity, 0);
    EXPECT_EQ(dec.AddTag(e), 0);
    EXPECT_EQ(dec.TagCapacity, 25);
    for (int i = 1; i < 25; ++i) dec.AddTag(e);
    EXPECT_EQ(dec.TagCount, 25);
    EXPECT_EQ(dec.TagCapacity, 50);
}

class Focal35 : public ::testing::Test {
protected:
    void Walk(const std::vector<tIfdEntry>& ifd0)
    {
        t.SetFirstDirectory(t.AddDirectory(ifd0));
        const std::string seg = ExifSegment(t.Bytes()).substr(2);
        dec.Block = seg;
        dec.WalkDirectory(17, 9, static_cast<int64_t>(seg.size()) - 6, tDirKind::ExifKind);
        dec.DeriveFocal35();
    }
    TiffBuilder t{false};
    TImageInfo dec{255};
};

TEST_F(Focal35, FromFocalPlaneResolution)
{
    Walk({t.Short(0x0100, 3000), t.Short(0x0101, 2000), t.Rational(0x920A, 50, 1),
          t.Rational(0xA20E, 3000, 1), t.Rational(0xA20F, 3000, 1), t.Short(0xA210, 2)});
    EXPECT_EQ(dec.TagText("FocalLengthIn35mmFilm"), "70.87");
    EXPECT_NE(dec.Listing.find(" = 70.87"), std::string::npos);
}

TEST_F(Focal35, FallsBackToFactor45)
{
    Walk({t.Rational(0x920A, 15, 2), t.Short(0x0128, 2)});
    EXPECT_EQ(dec.TagText("FocalLengthIn35mmFilm"), "33.75");
}

TEST_F(Focal35, NothingAddedWithoutUnitOrFocalOrWhenPresent)
{
    Walk({t.Rational(0x920A, 50, 1), t.Short(0x0128, 1)});
    EXPECT_LT(dec.FindTagIndex("FocalLengthIn35mmFilm"), 0);
    TImageInfo other(255);
    TiffBuilder u(false);
    u.SetFirstDirectory(u.AddDirectory({t.Short(0x0128, 2), t.Short(0xA405, 28)}));
    other.Block = ExifSegment(u.Bytes()).substr(2);
    other.WalkDirectory(17, 9, 1000, tDirKind::ExifKind);
    other.DeriveFocal35();
    EXPECT_EQ(other.TagCount, 2);
}

// A tiny maker table: row 0, a hooked row, a skipped row.
std::string Shout(const std::string& s) { return s + "!"; }
const std::vector<TTagEntry>& MakerTable()
{
    static const std::vector<TTagEntry> table = [] {
        std::vector<TTagEntry> rows(3);
        rows[0].TagNo = 1, rows[0].TagName = rows[0].Label = "First";
        rows[1].TagNo = 2, rows[1].TagName = rows[1].Label = "Second", rows[1].Hook = Shout;
        rows[2].TagNo = 3, rows[2].TagName = rows[2].Label = "sKiP";
        return rows;
    }();
    return table;
}

class MakerWalk : public ::testing::Test {
protected:
    MakerWalk()
    {
        dec.Block = exifBlock;
        dec.OnStatus = [this](const std::string& text) { status = text; };
    }
    // A maker directory at offset 0, offsets counted from the first maker byte.
    std::string Maker(const std::vector<tIfdEntry>& entries)
    {
        TiffBuilder t(false);
        return t.Bytes().substr(0, 0) + [&] {
            std::string s = t.U16(static_cast<uint16_t>(entries.size()));
            for (const auto& e : entries) s += t.U16(e.Tag) + t.U16(e.Type) + t.U32(e.Count) + e.Value;
            return s;
        }();
    }
    const std::string exifBlock = "EXIFBLOCK-0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRS"s;
    TImageInfo dec{255};
    std::string status;
    TiffBuilder le{false};
};

TEST_F(MakerWalk, ListsRowZeroKeepsHookedRowsAndSkipsSkip)
{
    const std::string maker = Maker({{1, 3, 1, le.U32(7)}, {2, 3, 1, le.U32(8)}, {3, 3, 1, le.U32(9)},
                                     {0x99, 3, 1, le.U32(5)}});
    dec.WalkMakerDirectory(maker, MakerTable(), 0, 1, 9);
    EXPECT_EQ(dec.MakerListing, "\r\nFirst = 7\r\nSecond = 8!\r\nUnknown = 5");
    ASSERT_EQ(dec.TagCount, 1);
    EXPECT_EQ(dec.TagList[0].TagName, "Second");
    EXPECT_EQ(dec.TagList[0].Origin, 1);
    EXPECT_EQ(dec.Block, exifBlock);
}

TEST_F(MakerWalk, ValuesPastTheMakerBytesComeFromTheExifBlock)
{
    // Entry 1: 6 bytes ending exactly at the last maker byte. Entry 2: 6 bytes
    // starting 2 before the end: taken from the EXIF block at 9 + offset.
    std::string maker = Maker({{2, 7, 6, le.U32(26)}, {2, 7, 6, le.U32(30)}});
    maker += "ABCDEF";  // maker bytes 27..32 (1-based), TIFF-style offset 26 with base 1
    dec.WalkMakerDirectory(maker, MakerTable(), 0, 1, 9);
    ASSERT_EQ(dec.TagCount, 2);
    EXPECT_EQ(dec.TagList[0].RawBytes, "ABCDEF");
    EXPECT_EQ(dec.TagList[1].RawBytes, exifBlock.substr(9 + 30 - 1, 6));
}

TEST_F(MakerWalk, DirectoryBeyondTheBytesIsRecordedAndContained)
{
    status = "<none>";
    EXPECT_NO_THROW(dec.WalkMakerDirectory("tiny", MakerTable(), 100, 101, 9));
    EXPECT_EQ(status.rfind("Error Detected = ", 0), 0u);
    EXPECT_GT(status.size(), std::string("Error Detected = ").size());
    EXPECT_EQ(dec.Block, exifBlock);
    EXPECT_EQ(dec.TagCount, 0);
}

class Sync : public ::testing::TestWithParam<bool> {
protected:
    // An EXIF block whose sub-directory records width and height with
    // `entries`, brought up to date for an image of realW x realH.
    void Scan(const std::vector<tIfdEntry>& entries, int realW, int realH)
    {
        const uint32_t sub = t.AddDirectory(entries);
        t.SetFirstDirectory(t.AddDirectory({t.Long(0x8769, sub)}));
        before = ExifSegment(t.Bytes()).substr(2);
        ASSERT_TRUE(WalkExifSegment(dec, before));
        after = before;
        dec.SyncDimensions(after, realH, realW);
    }
    std::string At(int64_t pos, size_t n) const { return after.substr(static_cast<size_t>(pos - 1), n); }

    TiffBuilder t{GetParam()};
    TImageInfo dec{255};
    std::string before, after;
};

TEST_P(Sync, LongAndShortAreWrittenInTheirOwnWidth)
{
    Scan({t.Long(0xA002, 640), t.Short(0xA003, 480)}, 32, 24);
    EXPECT_EQ(At(dec.WidthPos, 4), t.U32(32));
    EXPECT_EQ(At(dec.HeightPos, 4), t.U16(24) + std::string(2, '\0'));
    EXPECT_EQ(after.size(), before.size());
}

TEST_P(Sync, OtherEntriesAreLeftAlone)
{
    // Count 2 (an offset) for the width, RATIONAL for the height.
    Scan({{0xA002, 3, 2, t.U16(640) + t.U16(1)}, t.Rational(0xA003, 480, 1)}, 32, 24);
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, Sync, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

}  // namespace
