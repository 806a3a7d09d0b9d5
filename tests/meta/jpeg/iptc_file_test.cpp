#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "tests/meta/iptc/iptc_bytes.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;
using iptcbytes::Record;

namespace {

const std::string kApp0 = Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const std::string kExif = ExifSegment(EmptyTiffLE());
const std::string kApp2 = Segment(0xE2, "ICC_PROFILE");
const std::string kCom = Segment(0xFE, "hello");
// What a user would not want to publish.
const std::string kOldIptc =
    Segment(0xED, iptcbytes::IptcBlock(Record(2, 0, std::string("\0\2", 2)) + Record(2, 25, "secret") +
                                       Record(2, 25, "more") + Record(2, 90, "Hometown"))
                      .substr(2));

const std::string kEmptyApp13 = Segment(
    0xED, std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\x08\x1C\x02\0\0\x02\0\x02\0" "8BIM\x04\x0B\0\0\0\0\0\0", 46));

// The bytes from the SOS marker on, found by walking the head's segments (an
// EXIF thumbnail holds FF DA bytes of its own).
std::string FromSos(const std::string& jpeg)
{
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
        if (static_cast<uint8_t>(jpeg[pos + 1]) == 0xDA) return jpeg.substr(pos);
        pos += 2 + static_cast<uint8_t>(jpeg[pos + 2]) * 256u + static_cast<uint8_t>(jpeg[pos + 3]);
    }
    ADD_FAILURE() << "no SOS in the head";
    return {};
}

// What exiftool prints for `args` on a file.
std::string Exiftool(const std::string& args, const std::string& path)
{
    const std::string cmd = "exiftool " + args + " '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    if (!pipe) throw std::runtime_error("cannot run exiftool");
    std::string out;
    std::array<char, 256> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe.get())) out.append(buf.data(), n);
    return out;
}

// IPTC tags, one "Name: value" a line. The record version every written
// block starts with is no user data and is left out.
std::string ExiftoolIptc(const std::string& path)
{
    return Exiftool("-s -s -IPTC:All --IPTC:ApplicationRecordVersion", path);
}

bool HaveExiftool() { return std::system("exiftool -ver >/dev/null 2>&1") == 0; }

class IptcFile : public ::testing::Test {
protected:
    std::string Source(const std::string& segments, const std::string& name = "src.jpg")
    {
        return dir.Write(name, AfterSoi(TinyJpeg(), segments));
    }
    TempDir dir;
    TimgData img{255};
};

}  // namespace

TEST_F(IptcFile, ClearedContainerWritesTheMinimalBlockInPlaceOfTheOld)
{
    const std::string head = kApp0 + kExif + kApp2 + kOldIptc;
    const std::string src = Source(head);
    ASSERT_TRUE(img.ScanFile(src));
    ASSERT_NE(img.IptcContainer, nullptr);
    img.IptcContainer->Clear();
    const std::string target = dir / "out.jpg";
    img.IptcContainer->WriteFile(target, src);

    // The EXIF block heads the file (its APP0 is lost), the new APP13 follows;
    // APP2 comes from the rest; the old APP13 is replaced, not kept.
    const std::string out = ReadFile(target);
    EXPECT_EQ(out, "\xFF\xD8" + kExif + kEmptyApp13 + kApp2 + ReadFile(src).substr(2 + head.size()));
    EXPECT_EQ(out.find("secret"), std::string::npos);

    TimgData back(255);
    ASSERT_TRUE(back.ScanFile(target));
    ASSERT_NE(back.IptcContainer, nullptr);
    EXPECT_FALSE(back.IptcContainer->ReadFile(target));
    ASSERT_NE(back.IptcContainer, nullptr);
    EXPECT_EQ(back.IptcContainer->TagCount(), 0);
}

TEST_F(IptcFile, ExiftoolFindsNoDatasetInTheCleanedFile)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    const std::string src = Source(kOldIptc + kCom);
    // The check can see what it looks for.
    ASSERT_NE(ExiftoolIptc(src).find("secret"), std::string::npos);

    ASSERT_TRUE(img.ScanFile(src));
    img.IptcContainer->Clear();
    const std::string target = dir / "clean.jpg";
    img.IptcContainer->WriteFile(target, src);
    EXPECT_EQ(ExiftoolIptc(target), "");
    // ... and does see the block itself.
    EXPECT_EQ(Exiftool("-s -s -s -IPTC:ApplicationRecordVersion", target), "2\n");
}

TEST_F(IptcFile, ExiftoolAndWeAgreeOnExtendedLengths)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool not installed";
    // Ours, read by exiftool.
    const std::string caption(40000, 'c');
    const std::string src = Source(kOldIptc);
    ASSERT_TRUE(img.ScanFile(src));
    img.IptcContainer->SetTagValue("ImageCaption", caption);
    const std::string target = dir / "long.jpg";
    img.IptcContainer->WriteFile(target, src);
    EXPECT_EQ(Exiftool("-b -IPTC:Caption-Abstract", target), caption);

    // exiftool's, read by us.
    const std::string written(40000, 'e');
    const std::string theirs = Source(kCom, "theirs.jpg");
    Exiftool("-m -q -overwrite_original -IPTC:Caption-Abstract=" + written, theirs);
    TimgData back(255);
    ASSERT_TRUE(back.ScanFile(theirs));
    ASSERT_NE(back.IptcContainer, nullptr);
    EXPECT_TRUE(back.IptcContainer->ReadFile(theirs));
    ASSERT_NE(back.IptcContainer, nullptr);
    EXPECT_EQ(back.IptcContainer->GetTagValue("ImageCaption", "?"), written);
}

TEST_F(IptcFile, ReadFileFillsTheContainerTheParentHoldsAfterItsScan)
{
    const std::string src = Source(kApp0 + kOldIptc);
    ASSERT_TRUE(img.ScanFile(src));
    // The scan inside frees the container running ReadFile; the datasets land
    // in the one the parent holds afterwards.
    EXPECT_TRUE(img.IptcContainer->ReadFile(src));
    ASSERT_NE(img.IptcContainer, nullptr);
    EXPECT_EQ(img.IptcContainer->GetTagValue("Keywords", "?"), "secret,more");
    EXPECT_EQ(img.IptcContainer->GetTagValue("City", "?"), "Hometown");

    // Reading a file without APP13 leaves the parent without a container.
    const std::string plain = Source(kCom, "plain.jpg");
    EXPECT_FALSE(img.IptcContainer->ReadFile(plain));
    EXPECT_EQ(img.IptcContainer, nullptr);
    EXPECT_EQ(img.SourceName, plain);
}

TEST_F(IptcFile, ContainerNotHeldByTheParentReadsIntoItself)
{
    const std::string src = Source(kOldIptc);
    TIPTCdata own(&img);
    own.SetTagValue("ObjectName", "stale");
    EXPECT_TRUE(own.ReadFile(src));
    EXPECT_EQ(own.GetTagValue("Keywords", "?"), "secret,more");
    EXPECT_EQ(own.LookupTag("ObjectName"), -1);
    ASSERT_NE(img.IptcContainer, nullptr);
    EXPECT_EQ(img.IptcContainer->GetTagValue("Keywords", "?"), "secret,more");

    EXPECT_FALSE(own.ReadFile(dir / "missing.jpg"));
    EXPECT_EQ(own.TagCount(), 0);
}

TEST_F(IptcFile, EmptySourceRewritesTheTargetItself)
{
    const std::string target = Source(kExif + kOldIptc, "photo.jpg");
    const std::string before = ReadFile(target);
    ASSERT_TRUE(img.ScanFile(target));
    ASSERT_TRUE(img.IptcContainer->ReadFile(target));
    img.IptcContainer->RemoveTag("City");
    img.IptcContainer->SetTagValue("ObjectName", "kept");
    img.IptcContainer->WriteFile(target, "");

    const std::string after = ReadFile(target);
    EXPECT_EQ(after.find("Hometown"), std::string::npos);
    EXPECT_EQ(FromSos(after), FromSos(before));
    TimgData back(255);
    ASSERT_TRUE(back.ScanFile(target));
    ASSERT_TRUE(back.IptcContainer->ReadFile(target));
    EXPECT_EQ(back.IptcContainer->GetTagValue("Keywords", "?"), "secret,more");
    EXPECT_EQ(back.IptcContainer->GetTagValue("ObjectName", "?"), "kept");
    EXPECT_EQ(back.IptcContainer->TagCount(), 2);
}

TEST_F(IptcFile, FileWithoutApp13GetsOne)
{
    const std::string src = Source(kCom);
    ASSERT_TRUE(img.ScanFile(src));
    ASSERT_EQ(img.IptcRef, kNoRef);
    TIPTCdata c(&img);
    c.WriteFile(dir / "out.jpg", src);
    ASSERT_NE(img.IptcRef, kNoRef);
    const std::string out = ReadFile(dir / "out.jpg");
    // No APP0 or EXIF: the JFIF header stands first, then the new APP13.
    EXPECT_EQ(out.substr(20, kEmptyApp13.size()), kEmptyApp13);
    EXPECT_EQ(FromSos(out), FromSos(ReadFile(src)));
}

TEST_F(IptcFile, FailuresChangeNothing)
{
    const std::string src = Source(kOldIptc);
    ASSERT_TRUE(img.ScanFile(src));
    const std::string section = img.Section(img.IptcRef)->Bytes;
    const int32_t count = img.SegmentCount;
    const std::string target = dir / "out.jpg";

    EXPECT_THROW(img.IptcContainer->WriteFile(target, dir / "missing.jpg"), std::runtime_error);
    EXPECT_EQ(img.Section(img.IptcRef)->Bytes, section);
    EXPECT_FALSE(Exists(target));

    img.IptcContainer->SetTagValue("ImageCaption", std::string(70000, 'c'));
    try {
        img.IptcContainer->WriteFile(target, src);
        FAIL() << "no error";
    } catch (const EMetaError& e) {
        EXPECT_STREQ(e.what(), "IPTC data too large");
    }
    EXPECT_EQ(img.Section(img.IptcRef)->Bytes, section);
    EXPECT_EQ(img.SegmentCount, count);
    EXPECT_FALSE(Exists(target));
}

TEST_F(IptcFile, CameraFilesGetAnEmptyBlockAndKeepTheirImageBytes)
{
    const auto files = CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "no corpus";
    int written = 0;
    for (const std::string& src : files) {
        SCOPED_TRACE(src);
        TimgData data(255);
        if (!data.ScanFile(src)) continue;
        TIPTCdata c(&data);
        const std::string target = dir / ("out" + std::to_string(written) + ".jpg");
        try {
            c.WriteFile(target, src);
        } catch (const EMetaError&) {
            continue;  // a header libjpeg rejects: the holder refuses the file
        }
        ++written;
        const std::string in = ReadFile(src), out = ReadFile(target);
        EXPECT_EQ(FromSos(out), FromSos(in));
        TimgData back(255);
        ASSERT_TRUE(back.ScanFile(target));
        ASSERT_NE(back.IptcContainer, nullptr);
        EXPECT_FALSE(back.IptcContainer->ReadFile(target));
    }
    EXPECT_GT(written, 0);
}
