#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "meta/exif/image_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"
#include "tests/support/file_permissions.h"
#include "tests/support/hostile_exif.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

const std::string kApp0 = Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const std::string kExif = ExifSegment(EmptyTiffLE());
const std::string kXmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));
const std::string kApp2 = Segment(0xE2, "ICC_PROFILE");
const std::string kIptc = Segment(0xED, "Photoshop 3.0");
const std::string kCom = Segment(0xFE, "hello");

class Scan : public ::testing::Test {
protected:
    bool ScanHead(const std::string& segments, const std::string& name = "a.jpg")
    {
        return data.ScanFile(dir.Write(name, AfterSoi(TinyJpeg(), segments)));
    }
    int32_t MarkerOf(tSectionRef ref) { return data.Section(ref)->Marker; }

    TempDir dir;
    TimgData data{255};
};

TEST_F(Scan, CameraLayoutTakesExifAtEntryZero)
{
    ASSERT_TRUE(ScanHead(kExif));
    EXPECT_EQ(data.ExifRef, 0);
    EXPECT_FALSE(data.BigEndian);
    EXPECT_EQ(data.StatusText, "<none>");
    ASSERT_NE(data.ExifDecoder, nullptr);
    EXPECT_EQ(data.ExifDecoder->Block, data.Section(0)->Bytes);
}

TEST_F(Scan, App0ThenExif)
{
    ASSERT_TRUE(ScanHead(kApp0 + kExif));
    EXPECT_EQ(data.App0Ref, 0);
    EXPECT_EQ(data.ExifRef, 1);
}

TEST_F(Scan, BigEndianExifSetsTheOrder)
{
    const std::string tiff("MM\0\x2A\0\0\0\x08\0\0\0\0\0\0", 14);
    ASSERT_TRUE(ScanHead(ExifSegment(tiff)));
    EXPECT_TRUE(data.BigEndian);
}

TEST_F(Scan, FindsExifBehindOtherSegments)
{
    // APP0, APP2 (ICC), APP1 Exif is a real-world layout.
    ASSERT_TRUE(ScanHead(kApp0 + kApp2 + kExif));
    EXPECT_EQ(data.ExifRef, 2);
    ASSERT_TRUE(ScanHead(kApp0 + kApp2 + Segment(0xDB, "q") + Segment(0xDB, "q") + kCom));
    EXPECT_EQ(MarkerOf(data.CommentRef), marker::COM);
}

TEST_F(Scan, XmpIsNeverTakenForExif)
{
    ASSERT_TRUE(ScanHead(kExif + kXmp));
    EXPECT_EQ(data.ExifRef, 0);
    ASSERT_TRUE(ScanHead(kXmp + kExif));
    EXPECT_EQ(data.ExifRef, 1);
}

TEST_F(Scan, App1WithoutExifHeaderAtTheStartStillCounts)
{
    ASSERT_TRUE(ScanHead(kXmp));
    EXPECT_EQ(data.ExifRef, 0);
    EXPECT_EQ(data.StatusText, "<none>");
    // The later of two leading non-Exif APP1 blocks wins; a third-place one is not taken.
    ASSERT_TRUE(ScanHead(kXmp + kXmp));
    EXPECT_EQ(data.ExifRef, 1);
    EXPECT_FALSE(ScanHead(kApp0 + kApp2 + kXmp));
}

TEST_F(Scan, LastCommentAndFirstIptcAreReferenced)
{
    ASSERT_TRUE(ScanHead(kCom + Segment(0xFE, "second") + kIptc + Segment(0xED, "Photoshop 3.0 b")));
    EXPECT_EQ(data.CommentRef, 1);
    EXPECT_EQ(data.IptcRef, 2);
    EXPECT_NE(data.IptcContainer, nullptr);
    EXPECT_EQ(MarkerOf(data.SegmentCount - 1), marker::SOS);
}

TEST_F(Scan, NoMetadataIsFalse)
{
    EXPECT_FALSE(ScanHead(kApp0 + kApp2));
    EXPECT_EQ(data.StatusText, "Not an EXIF file");
    EXPECT_EQ(data.ExifDecoder, nullptr);
    EXPECT_EQ(data.IptcContainer, nullptr);
}

TEST_F(Scan, WalkStopsAtSos)
{
    // A COM after SOS belongs to the image data and is never read.
    std::string jpeg = TinyJpeg();
    const size_t sos = SosOffset(jpeg);
    jpeg.insert(sos + 4, "\xFF\xFE\x00\x03x");
    EXPECT_FALSE(data.ScanFile(dir.Write("b.jpg", jpeg)));
    EXPECT_EQ(MarkerOf(data.SegmentCount - 1), marker::SOS);
}

TEST_F(Scan, SeesMetadataPastTwentySegments)
{
    std::string many;
    for (int i = 0; i < 25; ++i) many += Segment(0xE5, "x");
    ASSERT_TRUE(ScanHead(many + kCom));
    EXPECT_EQ(data.CommentRef, 25);
}

TEST_F(Scan, FillBytesBeforeAMarkerAreSkipped)
{
    ASSERT_TRUE(ScanHead(std::string("\xFF\xFF\xFF", 3) + kCom));
    EXPECT_EQ(MarkerOf(data.CommentRef), marker::COM);
    EXPECT_EQ(data.Section(data.CommentRef)->Bytes, kCom.substr(2));
}

TEST_F(Scan, AHeadThatCannotBeReadToTheImageIsDamaged)
{
    const std::string head = "\xFF\xD8" + kCom;
    const std::string exif = "\xFF\xD8" + kExif + kCom;
    const std::string damaged[] = {
        "\xFF\xD8"s,                                     // nothing after SOI
        head,                                             // the end of the file before SOS
        head + "\xFF",                                    // a marker without its code
        head + "\xFF\xE1\x00"s,                           // half a length field
        head + "\xFF\xFE\x00\x40" "abc"s,                 // a body cut short
        "\xFF\xD8" + kExif.substr(0, 10),                 // the Exif block cut short
        exif + std::string("\xFF\xE3\x00\x01", 4),        // a length below 2 after the Exif block
        exif + std::string("\xFF\xE3\x00\x00", 4) + TinyJpeg().substr(2),
    };
    for (size_t i = 0; i < std::size(damaged); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(data.ScanFile(dir.Write("t.jpg", damaged[i])));
        EXPECT_TRUE(data.Damaged);
        EXPECT_EQ(data.StatusText, "Damaged JPEG header");
    }
    // A segment cut short is kept but not examined.
    data.ScanFile(dir.Write("t.jpg", head + "\xFF\xFE\x00\x40" "abc"s));
    EXPECT_EQ(data.CommentRef, 0);
    EXPECT_EQ(data.SegmentCount, 2);
    // Not starting with SOI is not damage: it is not a JPEG at all.
    EXPECT_FALSE(data.ScanFile(dir.Write("t.jpg", "GIF89a" + kCom)));
    EXPECT_FALSE(data.Damaged);
    EXPECT_TRUE(ScanHead(kCom));
    EXPECT_FALSE(data.Damaged);
}

TEST_F(Scan, MarkersWithoutALengthAreSteppedOver)
{
    // RSTn, TEM and a stray SOI carry no length (ITU T.81, B.1.1.3): an Exif
    // block behind them must still be seen.
    for (const std::string& stray : {"\xFF\xD0"s, "\xFF\xD7"s, "\xFF\x01"s, "\xFF\xD8"s}) {
        SCOPED_TRACE(static_cast<int>(static_cast<uint8_t>(stray[1])));
        ASSERT_TRUE(ScanHead(kApp0 + stray + kExif));
        EXPECT_EQ(data.ExifRef, 2);
        EXPECT_FALSE(data.Damaged);
    }
}

TEST_F(Scan, ResultsAndStatusTexts)
{
    EXPECT_FALSE(data.ScanFile(dir / "missing.jpg"));
    EXPECT_EQ(data.StatusText, "");
    EXPECT_FALSE(data.ScanFile(dir.Path()));  // a folder is not a file
    EXPECT_FALSE(data.ScanFile(dir.Write("x.png", "\xFF\xD8" + kCom)));
    EXPECT_EQ(data.StatusText, "Not an EXIF file");
    EXPECT_FALSE(data.ScanFile(dir.Write("x.jfif", "\xFF\xD8" + kCom)));
    EXPECT_TRUE(data.ScanFile(dir.Write("X.JPG", AfterSoi(TinyJpeg(), kCom))));
    EXPECT_TRUE(data.ScanFile(dir.Write("x.Jpe", AfterSoi(TinyJpeg(), kCom))));
    EXPECT_FALSE(data.ScanFile(dir.Write("y.jpg", "GIF89a")));
    EXPECT_EQ(data.StatusText, "Not an EXIF file");
    ASSERT_EQ(mkdir((dir / "dot.d").c_str(), 0700), 0);
    EXPECT_FALSE(data.ScanFile(dir.Write("dot.d/noext", "\xFF\xD8" + kCom)));
}

TEST_F(Scan, UnreadableFileIsIllegalConstruction)
{
    const std::string path = dir.Write("locked.jpg", "\xFF\xD8" + kCom);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // reachable for nobody
    const auto failures = fixture::RunUnprivileged([&] {
        EXPECT_FALSE(data.ScanFile(path));
        EXPECT_EQ(data.StatusText, "Illegal Exif construction");
    });
    if (!failures) GTEST_SKIP() << "root reads any file";
    EXPECT_EQ(*failures, "");
}

TEST_F(Scan, FifoIsNotAFile)
{
    const std::string path = dir / "pipe.jpg";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(data.ScanFile(path));  // and does not hang
}

TEST_F(Scan, HeaderMessagesKeepTheFileCounted)
{
    // Not "Exif" but first: taken, so the status after the scan is still "<none>".
    ASSERT_TRUE(ScanHead(Segment(0xE1, "Exig\0\0II*\0\x08\0\0\0")));
    ASSERT_TRUE(ScanHead(ExifSegment(std::string("XX*\0\x08\0\0\0\0\0", 10))));
    EXPECT_EQ(data.ExifRef, 0);
    EXPECT_EQ(data.StatusText, "<none>");
    // Too short to hold the first-directory offset: still an EXIF block.
    ASSERT_TRUE(ScanHead(ExifSegment("II*")));
}

TEST_F(Scan, SourceInfoAndRescanClearsEverything)
{
    const std::string path = dir.Write("s.jpg", AfterSoi(TinyJpeg(), kExif + kIptc));
    ASSERT_TRUE(data.ScanFile(path));
    EXPECT_EQ(data.SourceName, path);
    EXPECT_EQ(data.SourceSize, static_cast<int64_t>(ReadFile(path).size()));
    EXPECT_GT(data.SourceTime, 0);
    EXPECT_FALSE(data.ScanFile(dir.Write("n.jpg", TinyJpeg())));
    EXPECT_EQ(data.ExifRef, kNoRef);
    EXPECT_EQ(data.IptcRef, kNoRef);
    EXPECT_EQ(data.ExifDecoder, nullptr);
    EXPECT_EQ(data.IptcContainer, nullptr);
}

TEST_F(Scan, TiffPathReadsTheFirstDirectoryWindow)
{
    EXPECT_TRUE(data.ScanFile(dir.Write("a.tif", EmptyTiffLE())));
    EXPECT_EQ(data.StatusText, "<none>");
    EXPECT_EQ(data.Section(data.ExifRef)->Bytes.size(), 4098u);
    EXPECT_FALSE(data.TiffMode);
    EXPECT_TRUE(data.ScanFile(dir.Write("b.TIFF", std::string("MM\0\x2A", 4))));
    EXPECT_TRUE(data.ExifDecoder->BigEndian);
    EXPECT_FALSE(data.ScanFile(dir.Write("c.tif", "P4 1 1")));
}

TEST(ScanWithBrokenExif, StillCountsAsHoldingMetadata)
{
    // IFD0 claims 3 entries but the block ends inside the first one.
    TiffBuilder t(false);
    const std::string tiff = t.Bytes() + t.U16(3) + t.U16(0x0100);
    TempDir dir;
    TimgData data(255);
    EXPECT_TRUE(data.ScanFile(dir.Write("b.jpg", AfterSoi(TinyJpeg(), ExifSegment(tiff)))));
    EXPECT_EQ(data.ExifRef, 0);
    // A failing hook in IFD0 (Flash text that is not an integer cannot happen
    // from SHORT data), so use a shutter value that overflows.
    TiffBuilder u(false);
    u.SetFirstDirectory(u.AddDirectory({{0x9201, 10, 1, u.U32(static_cast<uint32_t>(-70)) + u.U32(1)}}));
    EXPECT_TRUE(data.ScanFile(dir.Write("c.jpg", AfterSoi(TinyJpeg(), ExifSegment(u.Bytes())))));
}


TEST(ScanWithBrokenExif, BlockPastItsDecodingBudgetStillCountsAndIsStripped)
{
    // Overlapping directories pointing at one another: the walk stops at a cap.
    TempDir dir;
    const std::string src = dir.Write("soup.jpg", AfterSoi(TinyJpeg(), ExifSegment(hostile::PointerSoupTiff(65000))));
    TimgData data(255);
    EXPECT_TRUE(data.ScanFile(src));
    EXPECT_EQ(data.ExifRef, 0);
    ASSERT_TRUE(data.ExifDecoder);
    EXPECT_EQ(data.ExifDecoder->MakeText, hostile::kMake);
    data.ExifRef = kNoRef;
    data.SaveAs(dir / "out.jpg");
    EXPECT_EQ(ReadFile(dir / "out.jpg").find("Exif"), std::string::npos);
}

TEST(ScanWithBrokenExif, BogusMakerDirectoryKeepsWhatItListedAndTheScanSucceeds)
{
    // The container hands the MakerNote to the maker walk. This Olympus
    // directory claims three entries and stores one: the walk fails on the
    // second, keeps the first.
    TiffBuilder t(true);
    const std::string note = std::string("OLYMP\0\1\0", 8) + t.U16(3) + t.U16(0x0201) + t.U16(3) + t.U32(1) +
                             t.U16(2) + std::string(2, '\0');
    const uint32_t sub = t.AddDirectory({{0x927C, 7, static_cast<uint32_t>(note.size()), note}});
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "OLYMPUS"), t.Long(0x8769, sub)}));
    TempDir dir;
    TimgData data(255);
    EXPECT_TRUE(data.ScanFile(dir.Write("olympus.jpg", AfterSoi(TinyJpeg(), ExifSegment(t.Bytes())))));
    ASSERT_TRUE(data.ExifDecoder);
    EXPECT_EQ(data.ExifDecoder->MakerListing, "\r\nJpegQual = HQ");
}

}  // namespace
