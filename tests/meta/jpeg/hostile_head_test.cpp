// Heads built to hurt the segment walk: every one ends in a defined outcome,
// and none of them passes as metadata-free when it holds metadata.
#include <gtest/gtest.h>

#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

const std::string kExif = ExifSegment(EmptyTiffLE());
const std::string kCom = Segment(0xFE, "where and who");
const std::string kIptc = Segment(0xED, "Photoshop 3.0\0"s);

struct tOutcome {
    bool Result;   // what ScanFile returns
    bool Damaged;
};

class HostileHead : public ::testing::Test {
protected:
    tOutcome Scan(const std::string& bytes)
    {
        const bool result = data.ScanFile(dir.Write("h.jpg", bytes));
        return {result, data.Damaged};
    }
    TempDir dir;
    TimgData data{255};
};

TEST_F(HostileHead, ShortAndBrokenHeadsHaveADefinedOutcome)
{
    const std::string image = TinyJpeg();
    const struct {
        const char* What;
        std::string Bytes;
        tOutcome Expected;
    } cases[] = {
        {"empty file", "", {false, false}},
        {"one byte", "\xFF", {false, false}},
        {"not SOI", "\xFF\xD9" + kExif + image.substr(2), {false, false}},
        {"SOI alone", "\xFF\xD8"s, {false, true}},
        {"length 0", "\xFF\xD8\xFF\xE1\x00\x00"s + kExif + image.substr(2), {false, true}},
        {"length 1", "\xFF\xD8"s + kExif + "\xFF\xE1\x00\x01"s + image.substr(2), {false, true}},
        {"length past the end", "\xFF\xD8"s + kExif + "\xFF\xE2\xFF\xFF" "ICC"s, {false, true}},
        {"end before SOS", "\xFF\xD8"s + kExif, {false, true}},
        {"EOI before SOS", "\xFF\xD8"s + kCom + "\xFF\xD9"s, {true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const tOutcome got = Scan(c.Bytes);
        EXPECT_EQ(got.Result, c.Expected.Result);
        EXPECT_EQ(got.Damaged, c.Expected.Damaged);
    }
}

TEST_F(HostileHead, EveryTruncationIsDamagedOrWhole)
{
    const std::string file = AfterSoi(TinyJpeg(16, 16), kExif + kIptc + kCom);
    const size_t sos = SosOffset(file);
    const size_t scanHeaderEnd = sos + 2 + static_cast<uint8_t>(file[sos + 2]) * 256u + static_cast<uint8_t>(file[sos + 3]);
    for (size_t length = 2; length < file.size(); ++length) {
        SCOPED_TRACE(length);
        const tOutcome got = Scan(file.substr(0, length));
        // Cut before the scan header is whole, the head is damaged; after it,
        // the head is whole and its metadata is seen.
        if (length < scanHeaderEnd) {
            EXPECT_TRUE(got.Damaged);
            EXPECT_FALSE(got.Result);
        } else {
            EXPECT_FALSE(got.Damaged);
            EXPECT_TRUE(got.Result);
        }
    }
}

TEST_F(HostileHead, MetadataBehindMassesOfSegmentsOrFillBytesIsSeen)
{
    std::string tenThousandEmpty;
    for (int i = 0; i < 10000; ++i) tenThousandEmpty += Segment(0xE5, "");
    std::string blocks;
    for (int i = 0; i < 1000; ++i) blocks += Segment(i % 2 ? 0xED : 0xE2, std::string(65531, 'b'));
    const struct {
        const char* What;
        std::string Head;
    } cases[] = {
        {"10,000 zero-payload segments", tenThousandEmpty + kExif + kCom},
        {"10^6 fill bytes", std::string(1000000, '\xFF') + kExif + kCom},
        {"1,000 blocks of 64 KB", blocks + kExif + kCom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string image = TinyJpeg();
        ASSERT_TRUE(data.ScanFile(dir.Write("m.jpg", AfterSoi(image, c.Head))));
        ASSERT_NE(data.ExifRef, kNoRef);
        EXPECT_EQ(data.Section(data.CommentRef)->Bytes, kCom.substr(2));
        // The table stays small however many segments the head has.
        EXPECT_LT(data.SegmentCount, 1100);
        data.ExifRef = kNoRef;
        data.ReplaceComment("");
        if (data.IptcContainer) data.ReplaceIptcSegment("Photoshop 3.0\0"s);
        data.SaveAs(dir / "m-out.jpg");
        const std::string out = ReadFile(dir / "m-out.jpg");
        EXPECT_EQ(out.find("Exif"), std::string::npos);
        EXPECT_EQ(out.find("where and who"), std::string::npos);
        EXPECT_EQ(out.substr(SosOffset(out)), image.substr(SosOffset(image)));
        std::remove((dir / "m-out.jpg").c_str());
    }
}

}  // namespace
