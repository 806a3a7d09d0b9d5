// Over real camera files, when ../shared/corpus is present.

#include <gtest/gtest.h>

#include <filesystem>

#include "meta/exif/image_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_image.h"
#include "tests/support/exiftool.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;
namespace fs = std::filesystem;

namespace {

// Head segments (marker, offset) up to SOS.
std::vector<std::pair<uint8_t, size_t>> HeadMarkers(const std::string& jpeg)
{
    std::vector<std::pair<uint8_t, size_t>> out;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
        const auto code = static_cast<uint8_t>(jpeg[pos + 1]);
        if (code == 0xFF) { ++pos; continue; }
        out.push_back({code, pos});
        if (code == 0xDA) break;
        pos += 2 + static_cast<uint8_t>(jpeg[pos + 2]) * 256u + static_cast<uint8_t>(jpeg[pos + 3]);
    }
    return out;
}

TEST(Corpus, StrippedFilesHoldNoExifOnlyTheEmptyCommentAndTheSameImageData)
{
    const auto files = CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    TempDir out;
    int cleaned = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TimgData data(255);
        if (!data.ScanFile(file)) continue;
        data.ReplaceComment("");
        data.ExifRef = kNoRef;
        const std::string target = out / (std::to_string(cleaned) + ".jpg");
        try {
            data.SaveAs(target);
        } catch (const EJPEG&) {
            continue;  // libjpeg rejects the header (the deliberately damaged file)
        }
        ++cleaned;
        const std::string in = ReadFile(file), res = ReadFile(target);
        int comments = 0;
        for (const auto& [code, at] : HeadMarkers(res)) {
            if (code == 0xE1) {
                EXPECT_NE(res.compare(at + 4, 4, "Exif"), 0) << "Exif block left";
            }
            if (code == 0xFE) {
                ++comments;
                EXPECT_EQ(res.substr(at, 4), std::string("\xFF\xFE\x00\x02", 4));
            }
        }
        EXPECT_EQ(comments, 1);
        // The embedded thumbnail has its own SOS: find the frame's by walking the head.
        const auto headIn = HeadMarkers(in), headOut = HeadMarkers(res);
        ASSERT_EQ(headIn.back().first, 0xDA);
        ASSERT_EQ(headOut.back().first, 0xDA);
        const size_t sosIn = headIn.back().second, sosOut = headOut.back().second;
        EXPECT_TRUE(in.compare(sosIn, std::string::npos, res, sosOut, std::string::npos) == 0)
            << "image data differs";
    }
    EXPECT_GT(cleaned, 10);
}

TEST(Corpus, IptcStrippedOutputGetsTheRealSize)
{
    const auto files = CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir out;
    int synced = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TimgData data(255);
        if (!data.ScanFile(file) || !data.ExifDecoder || data.ExifDecoder->ImageWidth <= 0) continue;
        TJPEGImage holder;
        try {
            holder.LoadFile(file);
        } catch (const EMetaError&) {
            continue;
        }
        const TImageInfo& dec = *data.ExifDecoder;
        if (holder.Width() == dec.ImageWidth && holder.Height() == dec.ImageHeight) continue;
        if (dec.WidthCount != 1 || dec.HeightCount != 1) continue;
        const std::string target = out / (std::to_string(synced) + ".jpg");
        TIPTCdata iptc(&data);
        iptc.WriteFile(target, file);
        int width = 0, height = 0;
        ASSERT_TRUE(ExpectedSize(target, width, height));
        EXPECT_EQ(width, holder.Width());
        EXPECT_EQ(height, holder.Height());
        ++synced;
    }
    EXPECT_GT(synced, 5);
}

}  // namespace
