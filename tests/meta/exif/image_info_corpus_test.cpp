// The EXIF decoder over real camera files, checked against exiftool.

#include <gtest/gtest.h>

#include "meta/exif/image_info.h"
#include "tests/support/exif_walk.h"
#include "tests/support/exiftool.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;

namespace {

TEST(ImageInfoCorpus, SizesAgreeWithExiftool)
{
    const auto files = CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    int compared = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TImageInfo dec(255);
        // Must end, whatever the file holds.
        if (!WalkExifSegment(dec, ExifSegmentOf(ReadFile(file)))) continue;
        int width = 0, height = 0;
        if (!ExpectedSize(file, width, height)) continue;
        EXPECT_EQ(dec.ImageWidth, width);
        EXPECT_EQ(dec.ImageHeight, height);
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
