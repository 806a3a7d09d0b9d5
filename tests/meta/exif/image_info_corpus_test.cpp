// The EXIF decoder over real camera files, checked against exiftool.

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

// What the decoder should have recorded: the EXIF sub-directory's size when
// present (it is walked after IFD0's), else IFD0's.
bool ExpectedSize(const std::string& file, int& width, int& height)
{
    auto tags = Exiftool("-ExifIFD:ExifImageWidth -ExifIFD:ExifImageHeight -IFD0:ImageWidth -IFD0:ImageHeight", file);
    const char* w = tags.count("ExifImageWidth") ? "ExifImageWidth" : "ImageWidth";
    const char* h = tags.count("ExifImageHeight") ? "ExifImageHeight" : "ImageHeight";
    if (!tags.count(w) || !tags.count(h)) return false;
    width = std::stoi(tags[w]);
    height = std::stoi(tags[h]);
    return true;
}

TEST(ImageInfoCorpus, SizesAgreeWithExiftool)
{
    const auto files = CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    int compared = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TimgData data(255);
        data.ScanFile(file);  // must end, whatever the file holds
        if (!data.ExifDecoder) continue;
        int width = 0, height = 0;
        if (!ExpectedSize(file, width, height)) continue;
        EXPECT_EQ(data.ExifDecoder->ImageWidth, width);
        EXPECT_EQ(data.ExifDecoder->ImageHeight, height);
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

TEST(ImageInfoCorpus, IptcStrippedOutputGetsTheRealSize)
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
