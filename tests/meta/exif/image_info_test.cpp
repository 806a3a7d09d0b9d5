#include <gtest/gtest.h>

#include <algorithm>

#include "meta/exif/exif_tags.h"
#include "meta/exif/image_info.h"
#include "tests/support/exif_walk.h"
#include "tests/support/hostile_exif.h"
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
    // 0xFFFFFFF8 + 9 wraps to position 1 when read as signed: the length
    // bytes would be taken for an entry count.
    t.SetFirstDirectory(t.AddDirectory({t.Long(0x8769, 0x7FFFFFF0), t.Short(0x0100, 7),
                                        t.Long(0x8825, 0xFFFFFFFF), t.Long(0xA005, 0xFFFFFFF8),
                                        t.Short(0x0101, 9)}));
    Walk();
    EXPECT_EQ(dec.ImageWidth, 7);
    EXPECT_EQ(dec.ImageHeight, 9);
    EXPECT_EQ(status, "");
}

TEST_P(Decoder, EntriesWhoseValueIsNotInTheBlockAreSkipped)
{
    // Each case a Make entry that must not be read at all (no value from the
    // start of the block, none wrapped into an inline one), then a width.
    // Offsets are unsigned; sizes are component size x count in 64 bits.
    // The TIFF body is 8 + 2 + 2 x 12 + 4 = 38 bytes long.
    const struct {
        const char* Case;
        tIfdEntry Entry;
    } cases[] = {
        {"type 13", {0x010F, 13, 1, t.U32(0x41414141)}},
        {"type 0", {0x010F, 0, 4, t.U32(0x41414141)}},
        {"type 0xFFFF", {0x010F, 0xFFFF, 4, t.U32(0x41414141)}},
        {"offset 2^31", {0x010F, 2, 8, t.U32(0x80000000)}},
        {"offset -20 read as signed", {0x010F, 2, 8, t.U32(0xFFFFFFEC)}},
        {"offset wrapping to position 0", {0x010F, 2, 8, t.U32(0xFFFFFFF7)}},
        {"offset wrapping to position 1", {0x010F, 2, 8, t.U32(0xFFFFFFF8)}},
        {"LONG count 0x40000001 (4 bytes modulo 2^32)", {0x010F, 4, 0x40000001, "Make"}},
        {"LONG count 0x40000000 (0 bytes modulo 2^32)", {0x010F, 4, 0x40000000, t.U32(8)}},
        {"LONG count 0x20000001 (negative as 32 bits)", {0x010F, 4, 0x20000001, t.U32(8)}},
        {"DOUBLE count 0xFFFFFFFF", {0x010F, 12, 0xFFFFFFFF, t.U32(8)}},
        {"value running past the end", {0x010F, 2, 9, t.U32(30)}},
        {"value one byte past the end", {0x010F, 2, 5, t.U32(34)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        t = TiffBuilder(GetParam());
        dec = TImageInfo(255);
        t.SetFirstDirectory(t.AddDirectory({c.Entry, t.Short(0x0100, 5)}));
        ASSERT_EQ(t.Bytes().size(), 38u);
        Walk();
        EXPECT_EQ(dec.ImageWidth, 5);
        EXPECT_EQ(dec.MakeText, "");
        ASSERT_EQ(dec.TagCount, 1);
        EXPECT_EQ(dec.TagList[0].TagNo, 0x0100);
        EXPECT_EQ(dec.Listing.rfind("\r\n"), 0u) << dec.Listing;  // one line
    }
    // Values that end at the last byte of the block are read; TIFF offset x
    // lies at index x + 8 of the segment bytes.
    for (const uint32_t count : {8u, 5u}) {
        const uint32_t offset = 38 - count;
        t = TiffBuilder(GetParam());
        dec = TImageInfo(255);
        t.SetFirstDirectory(t.AddDirectory({{0x010F, 2, count, t.U32(offset)}, t.Short(0x0100, 5)}));
        Walk();
        ASSERT_EQ(dec.TagCount, 2);
        EXPECT_EQ(dec.TagList[0].RawBytes, dec.Block.substr(offset + 8, count));
        EXPECT_EQ(dec.Block.size(), offset + 8 + count);
    }
}

TEST_P(Decoder, AsciiIsTheValueUpToItsFirstZeroOrWhole)
{
    const struct {
        const char* Case;
        tIfdEntry Entry;
        const char* Make;
    } cases[] = {
        {"terminated", t.Ascii(0x010F, "Canon"), "Canon"},
        {"unterminated, out of line", {0x010F, 2, 21, "EASTMAN KODAK COMPANY"}, "EASTMAN KODAK COMPANY"},
        {"unterminated, inline", {0x010F, 2, 3, "ABC" + std::string(1, '\0')}, "ABC"},
        {"one byte", {0x010F, 2, 1, "X" + std::string(3, '\0')}, "X"},
        {"only a zero", {0x010F, 2, 1, std::string(4, '\0')}, ""},
        {"zero inside", {0x010F, 2, 6, "Ab\0cd\0"s}, "Ab"},
        {"control characters", {0x010F, 2, 5, "A\tB\nC"}, "A.B.C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        t = TiffBuilder(GetParam());
        dec = TImageInfo(255);
        // The value of the last entry is the last bytes of the block.
        t.SetFirstDirectory(t.AddDirectory({t.Short(0x0100, 5), c.Entry}));
        Walk();
        EXPECT_EQ(dec.MakeText, c.Make);
        EXPECT_TRUE(Has("Make = "s + c.Make)) << dec.Listing;
        EXPECT_EQ(dec.TagText("Make"), c.Make);
    }
}

TEST_P(Decoder, Ifd1IsListedApartAndPointsAtTheThumbnail)
{
    // IFD0 links to IFD1, whose Orientation and width describe the thumbnail
    // only; JPEGInterchangeFormat(Length) say where its bytes are.
    const std::string thumbnail = "\xFF\xD8\xFF\xDB thumbnail \xFF\xD9";
    const uint32_t at = t.AddBytes(thumbnail);
    const uint32_t ifd0 = t.AddDirectory({t.Short(0x0112, 6), t.Short(0x0100, 4000)});
    t.SetFirstDirectory(ifd0);
    const auto ifd1With = [&](uint32_t offset, uint32_t length) {
        return t.AddDirectory({t.Short(0x0103, 6), t.Short(0x0112, 1), t.Short(0x0100, 160),
                               t.Long(0x0201, offset), t.Long(0x0202, length)});
    };
    const struct {
        const char* Case;
        uint32_t Offset, Length;
        bool Held;
    } cases[] = {
        {"inside the block", at, static_cast<uint32_t>(thumbnail.size()), true},
        {"running past the block", at, 0xFFFFFF00, false},
        {"offset past the block", 0xFFFFFFF0, 16, false},
    };
    const std::string body = t.Bytes();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        t = TiffBuilder(GetParam());
        t.AddBytes(body.substr(8));
        t.SetFirstDirectory(ifd0);
        t.SetNextDirectory(ifd0, ifd1With(c.Offset, c.Length));
        dec = TImageInfo(255);
        Walk();
        EXPECT_EQ(dec.IntegerByName("Orientation"), 6);
        EXPECT_EQ(dec.ImageWidth, 4000);
        EXPECT_EQ(dec.TagCount, 2);
        EXPECT_EQ(dec.Listing.find("Compression"), std::string::npos) << dec.Listing;
        EXPECT_EQ(dec.ThumbnailListing, "\r\nCompression = Jpeg\r\nOrientation = Normal\r\nImage Width = 160"
                                        "\r\nJPEG Interchange Format = " + std::to_string(c.Offset) +
                                        "\r\nJPEG Interchange Format Length = " + std::to_string(c.Length));
        EXPECT_EQ(dec.ThumbnailLength, c.Length);
        EXPECT_EQ(dec.ThumbnailBytes(), c.Held ? thumbnail : "");
    }
    // A link back to IFD0, or to nowhere, lists no IFD1.
    for (const uint32_t link : {ifd0, 0xFFFFFFF0u}) {
        t = TiffBuilder(GetParam());
        t.AddBytes(body.substr(8));
        t.SetFirstDirectory(ifd0);
        t.SetNextDirectory(ifd0, link);
        dec = TImageInfo(255);
        Walk();
        EXPECT_EQ(dec.ThumbnailListing, "");
        EXPECT_EQ(dec.TagCount, 2);
        EXPECT_EQ(status, "");
    }
}

TEST_P(Decoder, ZeroDenominatorsRenderAndCountAsZero)
{
    const uint32_t gps = t.AddDirectory({{0x0002, 5, 3, t.U32(1) + t.U32(0) + t.U32(2) + t.U32(0) + t.U32(3) + t.U32(0)},
                                         {0x0007, 5, 3, t.U32(9) + t.U32(0) + t.U32(0) + t.U32(0) + t.U32(5) + t.U32(0)}});
    t.SetFirstDirectory(t.AddDirectory({
        t.Rational(0x829A, 1, 0),                              // ExposureTime, "%s sec"
        t.Rational(0x829D, 28, 0),                             // FNumber, "F%0.1f" of the number
        {0x9201, 10, 1, t.U32(5) + t.U32(0)},                  // ShutterSpeedValue, APEX hook
        t.Rational(0x9202, 0, 0),                              // ApertureValue, APEX hook
        {0x9204, 10, 1, t.U32(0xFFFFFFFF) + t.U32(0)},         // ExposureBiasValue, -1/0
        t.Long(0x8825, gps),
        t.Short(0x0100, 5),
    }));
    Walk();
    EXPECT_TRUE(Has("Exposure Time = 1/0 sec")) << dec.Listing;
    EXPECT_TRUE(Has("F Number = F0.0")) << dec.Listing;
    EXPECT_TRUE(Has("Shutter Speed Value = 1.0000 sec")) << dec.Listing;
    EXPECT_TRUE(Has("Aperture Value = 0/0")) << dec.Listing;
    EXPECT_TRUE(Has("Exposure Bias Value = -1/0")) << dec.Listing;
    EXPECT_TRUE(Has("GPS Latitude = 0 Degrees 0 Minutes 0 Seconds")) << dec.Listing;
    EXPECT_TRUE(Has("GPS Time Stamp = 0:0:0")) << dec.Listing;
    EXPECT_EQ(dec.NumericByName("FNumber"), 0.0);
    EXPECT_EQ(dec.NumericByName("ExposureBiasValue"), 0.0);
    EXPECT_EQ(dec.ImageWidth, 5);  // the walk went on
}

TEST_P(Decoder, UnknownTagsAreListedButNotKept)
{
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x1234, 1), t.Short(0x0112, 3)}));
    Walk();
    EXPECT_TRUE(Has("Unknown = 1"));
    EXPECT_EQ(dec.TagCount, 1);
    EXPECT_EQ(dec.TagList[0].TagName, "Orientation");
}

TEST_P(Decoder, ForCleaningOnlyTheSizesAndTheOrientationAreKept)
{
    const tIfdEntry maker{0x927C, 7, 16, std::string(16, 'm')};
    const uint32_t sub = t.AddDirectory({t.Long(0xA002, 3000), t.Short(0xA003, 2000), maker, t.Short(0x0112, 3)});
    t.SetFirstDirectory(t.AddDirectory(
        {t.Ascii(0x010F, "Canon"), t.Short(0x0100, 160), t.Long(0x8769, sub), t.Short(0x0112, 6)}));
    Walk();
    const TImageInfo full = std::move(dec);
    dec = TImageInfo(kBuildForCleaning);
    bool makerWalked = false;
    dec.OnMakerNote = [&](TImageInfo&) { makerWalked = true; };
    Walk();
    EXPECT_FALSE(makerWalked);
    EXPECT_EQ(dec.Listing, "");
    // Both Orientation entries, in walk order: the one the full walk finds first.
    EXPECT_EQ(dec.TagCount, 2);
    EXPECT_EQ(dec.IntegerByName("Orientation"), 3);
    EXPECT_EQ(dec.IntegerByName("Orientation"), full.IntegerByName("Orientation"));
    EXPECT_EQ(dec.IntegerByName("Make"), 0);
    EXPECT_EQ(std::tie(dec.ImageWidth, dec.ImageHeight, dec.WidthPos, dec.HeightPos, dec.WidthType, dec.HeightType),
              std::tie(full.ImageWidth, full.ImageHeight, full.WidthPos, full.HeightPos, full.WidthType,
                       full.HeightType));
    EXPECT_EQ(dec.ImageWidth, 3000);
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

// Blocks built to be costly: the walk stops at a cap of the block's budget,
// reports it, and keeps what it decoded before.
class Budget : public ::testing::Test {
protected:
    Budget() { dec.OnStatus = [this](const std::string& text) { status = text; }; }
    void Walk(const std::string& tiff)
    {
        const std::string seg = hostile::Segment(tiff);
        dec.Block = seg;
        dec.BigEndian = tiff.compare(0, 2, "MM") == 0;
        const int64_t ifd0 = static_cast<uint32_t>(dec.GetUInt32(13));
        dec.WalkDirectory(ifd0 + 9, 9, static_cast<int64_t>(seg.size()) - 6, tDirKind::ExifKind);
    }
    static std::string Spent(int64_t cap, const char* what)
    {
        return "Error Detected = EXIF block too large to decode: more than " + std::to_string(cap) + " " + what;
    }

    TImageInfo dec{255};
    std::string status;
};

// IFD0 (Make, width) pointing at `n` distinct one-entry directories, the
// k-th of which records height k.
std::string ManyDirectories(int n)
{
    TiffBuilder t(true);
    std::vector<tIfdEntry> ifd0{t.Ascii(0x010F, hostile::kMake), t.Short(0x0100, hostile::kWidth)};
    for (int k = 1; k <= n; ++k) ifd0.push_back(t.Long(0x8769, t.AddDirectory({t.Short(0x0101, static_cast<uint16_t>(k))})));
    t.SetFirstDirectory(t.AddDirectory(ifd0));
    return t.Bytes();
}

TEST_F(Budget, CostlyBlocksStopAtACapAndKeepWhatCameBefore)
{
    constexpr size_t kMiB = size_t{1} << 20;
    const struct {
        const char* Case;
        std::string Tiff;
        std::string Status;
    } cases[] = {
        {"distinct directories", ManyDirectories(100), Spent(kMaxDirectoriesPerBlock, "directories")},
        {"loops and fan-out: overlapping directories, each entry a pointer", hostile::PointerSoupTiff(65000),
         Spent(kMaxEntriesPerBlock, "entries")},
        {"the same, 1 MiB", hostile::PointerSoupTiff(kMiB), Spent(kMaxEntriesPerBlock, "entries")},
        {"5400 entries, each the whole block", hostile::WideDirectoryTiff(5400, 0x9286, 7, 0),
         Spent(kMaxKeptBytesPerBlock, "value bytes")},
        {"65535 small entries", hostile::WideDirectoryTiff(65535, 0x010E, 2, 4, kMiB),
         Spent(kMaxEntriesPerBlock, "entries")},
        {"large values rendered through codes", hostile::WideDirectoryTiff(6, 0x0112, 3, 131072, kMiB),
         Spent(kMaxKeptBytesPerBlock, "value bytes")},
        {"rationals looked up by all the text so far", hostile::WideDirectoryTiff(6, 0x0112, 5, 32768, kMiB),
         Spent(kMaxKeptBytesPerBlock, "value bytes")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        dec = TImageInfo(255);
        dec.OnStatus = [this](const std::string& text) { status = text; };
        status.clear();
        Walk(c.Tiff);
        EXPECT_EQ(status, c.Status);
        EXPECT_EQ(dec.ImageWidth, static_cast<int32_t>(hostile::kWidth));
        EXPECT_EQ(dec.MakeText, hostile::kMake);
        EXPECT_EQ(dec.TagText("Make"), hostile::kMake);
        EXPECT_LE(dec.Budget().Directories(), kMaxDirectoriesPerBlock);
        EXPECT_LE(dec.Budget().Entries(), kMaxEntriesPerBlock);
        EXPECT_LE(dec.Budget().KeptBytes(), kMaxKeptBytesPerBlock);
    }
}

TEST_F(Budget, DirectoriesAreCountedInWalkOrder)
{
    Walk(ManyDirectories(100));
    // IFD0 and the first 63 directories it points at; the 64th pointer entry
    // is kept, its directory is not entered.
    EXPECT_EQ(dec.Budget().Directories(), kMaxDirectoriesPerBlock);
    EXPECT_EQ(dec.ImageHeight, kMaxDirectoriesPerBlock - 1);
    EXPECT_EQ(dec.TagCount, 2 + 2 * (kMaxDirectoriesPerBlock - 1) + 1);
}

TEST_F(Budget, ADirectoryOf5400SmallEntriesIsDecodedWhole)
{
    Walk(hostile::WideDirectoryTiff(5400, 0x010E, 2, 4));
    EXPECT_EQ(status, "");
    EXPECT_EQ(dec.TagCount, 5400);
    EXPECT_EQ(dec.Budget().Entries(), 5400);
    EXPECT_EQ(std::count(dec.Listing.begin(), dec.Listing.end(), '\n'), 5400);
    EXPECT_EQ(dec.TagList[5399].TagName, "ImageDescription");
}

TEST_F(Budget, EachBlockStartsAfresh)
{
    Walk(hostile::PointerSoupTiff(65000));
    ASSERT_EQ(status, Spent(kMaxEntriesPerBlock, "entries"));
    // The same decoder on the next block: a spent budget does not carry over.
    status.clear();
    TiffBuilder t(true);
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x0101, 9)}));
    Walk(t.Bytes());
    EXPECT_EQ(status, "");
    EXPECT_EQ(dec.ImageHeight, 9);
    EXPECT_EQ(dec.Budget().Entries(), 1);
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
    EXPECT_NE(dec.Listing.find("\r\nFocal Length in 35mm Film = 70.87 mm (computed)"), std::string::npos)
        << dec.Listing;
}

TEST_F(Focal35, OnlyFromASensorSizeThatCanBeTold)
{
    const struct {
        const char* Case;
        std::vector<tIfdEntry> Ifd0;
        const char* Text;  // empty: no row
    } cases[] = {
        {"no focal-plane resolution: no guessed factor", {t.Rational(0x920A, 15, 2), t.Short(0x0128, 2)}, ""},
        // A Canon EOS 40D picture resized to 100 x 68: the rationals still
        // hold the 22.2 x 14.8 mm sensor (exiftool: 218.5 mm).
        {"Canon, resized",
         {t.Ascii(0x010F, "Canon"), t.Short(0xA002, 100), t.Short(0xA003, 68), t.Rational(0x920A, 135, 1),
          t.Rational(0xA20E, 3888000, 876), t.Rational(0xA20F, 2592000, 583), t.Short(0xA210, 2)},
         "218.54"},
        {"another make, resized: a 0.6 mm sensor is no sensor",
         {t.Ascii(0x010F, "Nikon"), t.Short(0xA002, 100), t.Short(0xA003, 68), t.Rational(0x920A, 135, 1),
          t.Rational(0xA20E, 3888000, 876), t.Rational(0xA20F, 2592000, 583), t.Short(0xA210, 2)},
         ""},
        {"Canon rationals of another shape, resized",
         {t.Ascii(0x010F, "Canon"), t.Short(0xA002, 100), t.Short(0xA003, 68), t.Rational(0x920A, 135, 1),
          t.Rational(0xA20E, 4438, 1), t.Rational(0xA20F, 4446, 1), t.Short(0xA210, 2)},
         ""},
        {"centimetres, unit recorded", {t.Short(0xA002, 3600), t.Short(0xA003, 2400), t.Rational(0x920A, 50, 1),
                                        t.Rational(0xA20E, 1000, 1), t.Rational(0xA20F, 1000, 1), t.Short(0xA210, 3)},
         "50.00"},
        {"inches when no unit is recorded", {t.Short(0xA002, 3600), t.Short(0xA003, 2400), t.Rational(0x920A, 50, 1),
                                             t.Rational(0xA20E, 2540, 1), t.Rational(0xA20F, 2540, 1)},
         "50.00"},
        {"a unit that is none", {t.Short(0xA002, 3600), t.Short(0xA003, 2400), t.Rational(0x920A, 50, 1),
                                 t.Rational(0xA20E, 2540, 1), t.Rational(0xA20F, 2540, 1), t.Short(0xA210, 1)},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        t = TiffBuilder(false);
        dec = TImageInfo(255);
        Walk(c.Ifd0);
        EXPECT_EQ(dec.TagText("FocalLengthIn35mmFilm"), c.Text);
        EXPECT_EQ(dec.Listing.find("(computed)") != std::string::npos, *c.Text != '\0') << dec.Listing;
    }
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

TEST_F(MakerWalk, ValuesInNeitherTheMakerBytesNorTheExifBlockAreSkipped)
{
    // Offsets are unsigned, so none leads back to the first bytes of either;
    // sizes are not taken modulo 2^32. A type without a size (13) is listed
    // with the text "0", as before.
    const std::string maker = Maker({{2, 7, 6, le.U32(0x80000000)}, {2, 7, 6, le.U32(0xFFFFFFF0)},
                                     {2, 7, 6, le.U32(100)}, {2, 4, 0x40000001, "ABCD"}, {2, 13, 1, le.U32(5)},
                                     {2, 3, 1, le.U32(8)}});
    ASSERT_LT(maker.size(), 100u);
    ASSERT_LT(exifBlock.size(), 9u + 100u);
    dec.WalkMakerDirectory(maker, MakerTable(), 0, 1, 9);
    EXPECT_EQ(dec.MakerListing, "\r\nSecond = 0!\r\nSecond = 8!");
    EXPECT_EQ(dec.TagCount, 2);
    EXPECT_EQ(status, "");
    EXPECT_EQ(dec.Block, exifBlock);
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

TEST_P(Sync, FieldsTheBytesDoNotHoldWholeAreLeftAsTheyAre)
{
    Scan({t.Long(0xA002, 640), t.Short(0xA003, 480)}, 32, 24);
    ASSERT_LT(dec.WidthPos, dec.HeightPos);
    const std::string synced = after;
    // Bytes that end inside a value field: that field stays as it was and
    // nothing raises; a field the bytes hold whole is still brought up to date.
    const struct {
        const char* Case;
        int64_t Keep;     // bytes kept
        bool WidthDone;
    } cases[] = {
        {"cut inside the width's LONG", dec.WidthPos - 1 + 2, false},
        {"cut right before the width's LONG", dec.WidthPos - 1, false},
        {"cut inside the height's SHORT", dec.HeightPos - 1 + 1, true},
        {"nothing left", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const std::string cut = before.substr(0, static_cast<size_t>(c.Keep));
        std::string bytes = cut;
        EXPECT_NO_THROW(dec.SyncDimensions(bytes, 24, 32));
        std::string expected = cut;
        const auto width = static_cast<size_t>(dec.WidthPos - 1);
        if (c.WidthDone) expected.replace(width, 4, synced, width, 4);
        EXPECT_EQ(bytes, expected);
    }
}

TEST_P(Sync, WidthWhoseValueFieldIsCutByTheBlockIsNotRecorded)
{
    // The block ends two bytes into the width's LONG value field (the
    // directory's link is gone too): the entry is not read, so nothing is
    // synced and nothing raises.
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x0101, 480), t.Long(0x0100, 640)}));
    const std::string tiff = t.Bytes().substr(0, t.Bytes().size() - 4 - 2);
    before = ExifSegment(tiff).substr(2);
    ASSERT_TRUE(WalkExifSegment(dec, before));
    EXPECT_EQ(dec.ImageHeight, 480);
    EXPECT_EQ(dec.ImageWidth, 0);
    EXPECT_EQ(dec.WidthPos, 0);
    after = before;
    EXPECT_NO_THROW(dec.SyncDimensions(after, 24, 32));
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, Sync, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

}  // namespace
