#pragma once
// JPEG files for batch-run tests, built with libjpeg at test time.

#include <string>

#include "tests/support/jpeg_fixtures.h"

namespace batchfix {

// A photo with an (empty) EXIF block and a comment.
inline std::string ExifAndComment()
{
    return fixture::AfterSoi(fixture::TinyJpeg(8, 8),
                             fixture::ExifSegment(fixture::EmptyTiffLE()) + fixture::Segment(0xFE, "secret words"));
}

inline std::string ExifOnly()
{
    return fixture::AfterSoi(fixture::TinyJpeg(16, 8), fixture::ExifSegment(fixture::EmptyTiffLE()));
}

inline std::string CommentOnly()
{
    return fixture::AfterSoi(fixture::TinyJpeg(8, 16), fixture::Segment(0xFE, "keep me"));
}

// No metadata at all.
inline std::string Plain()
{
    return fixture::TinyJpeg(8, 8, true);
}

// An APP13 Photoshop block holding one IPTC caption.
inline std::string IptcSegment(const std::string& caption)
{
    std::string iptc = std::string("\x1C\x02\x78\x00", 4) + static_cast<char>(caption.size()) + caption;
    if (iptc.size() % 2) iptc += '\0';
    std::string resource = std::string("8BIM\x04\x04\x00\x00", 8);
    const auto n = static_cast<uint32_t>(iptc.size());
    resource += static_cast<char>(n >> 24);
    resource += static_cast<char>((n >> 16) & 0xFF);
    resource += static_cast<char>((n >> 8) & 0xFF);
    resource += static_cast<char>(n & 0xFF);
    resource += iptc;
    return fixture::Segment(0xED, std::string("Photoshop 3.0\0", 14) + resource);
}

// A photo with an EXIF block and the caption "private caption".
inline std::string WithIptc()
{
    return fixture::AfterSoi(fixture::TinyJpeg(8, 8),
                             fixture::ExifSegment(fixture::EmptyTiffLE()) + IptcSegment("private caption"));
}

// From the start of scan on: the bytes no cleaning may change. The head's
// segments are walked by their lengths, so a thumbnail's own SOS inside an
// APP1 or APP0 block is passed over (ITU T.81 B.1.1.4).
inline std::string ImageData(const std::string& jpeg)
{
    size_t pos = 2;
    while (pos < jpeg.size() && jpeg.size() - pos >= 4) {
        if (static_cast<unsigned char>(jpeg[pos]) != 0xFF) return {};
        const auto marker = static_cast<unsigned char>(jpeg[pos + 1]);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA) return jpeg.substr(pos);
        const size_t length = static_cast<size_t>(static_cast<unsigned char>(jpeg[pos + 2])) << 8 |
                              static_cast<unsigned char>(jpeg[pos + 3]);
        if (length < 2) return {};
        pos += 2 + length;
    }
    return {};
}

}  // namespace batchfix
