#include <gtest/gtest.h>

#include "meta/jpeg/jpeg_image.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

TEST(JpegImage, ReportsFrameSizeAndRoundTripsBytes)
{
    TempDir dir;
    const std::string bytes = TinyJpeg(30, 20) + "trailing \0 bytes"s;
    TJPEGImage img;
    img.LoadFile(dir.Write("a.jpg", bytes));
    EXPECT_EQ(img.Width(), 30);
    EXPECT_EQ(img.Height(), 20);
    std::string out;
    img.SaveStream(out);
    EXPECT_EQ(out, bytes);
}

TEST(JpegImage, LargeFrameSizeComesFromTheHeader)
{
    // Patch the SOF0 size fields: only the header is read, never the data.
    std::string jpeg = TinyJpeg(8, 8);
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg.replace(sof + 5, 4, "\x07\xD0\x0B\xB8");  // height 2000, width 3000
    TJPEGImage img;
    img.LoadBytes(jpeg);
    EXPECT_EQ(img.Width(), 3000);
    EXPECT_EQ(img.Height(), 2000);
}

TEST(JpegImage, EmptyFileIsZeroByZero)
{
    TempDir dir;
    TJPEGImage img;
    img.LoadFile(dir.Write("e.jpg", ""));
    EXPECT_EQ(img.Width(), 0);
    EXPECT_EQ(img.Height(), 0);
    EXPECT_TRUE(img.Bytes().empty());
}

TEST(JpegImage, RejectedHeaderRaisesJpegErrorWithCode)
{
    TJPEGImage img;
    try {
        img.LoadBytes("not a jpeg at all");
        FAIL();
    } catch (const EJPEG& e) {
        const std::string msg = e.what();
        EXPECT_EQ(msg.rfind("JPEG error #", 0), 0u) << msg;
        EXPECT_GT(std::stoi(msg.substr(12)), 0);
        EXPECT_EQ(e.Code, std::stoi(msg.substr(12)));
        // libjpeg's own words for the code, with the bytes it found.
        EXPECT_EQ(e.Text, "Not a JPEG file: starts with 0x6e 0x6f");
    }
    // A head with no frame header ends in a libjpeg error too, never an exit.
    EXPECT_THROW(img.LoadBytes("\xFF\xD8\xFF\xFE\x00\x03x"s), EJPEG);
}

TEST(JpegImage, MissingFileCannotBeOpened)
{
    TJPEGImage img;
    try {
        img.LoadFile("/nonexistent/x.jpg");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file /nonexistent/x.jpg.\n\nNo such file or directory");
    }
}

}  // namespace
