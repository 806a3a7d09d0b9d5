#pragma once
// JPEG files for batch-run tests, built with libjpeg at test time.

#include <cstdint>
#include <map>
#include <string>

#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

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

// A TIFF block naming the phone that took the picture, as PNG's eXIf and
// WebP's EXIF chunks carry it.
inline std::string PhoneTiff()
{
    fixture::TiffBuilder t(false);
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "PhoneMaker"), t.Ascii(0x0110, "Phone X1")}));
    return t.Bytes();
}

inline std::string BigEndian32(uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// The CRC of PNG chunks (ISO 3309, as PNG's annex D computes it).
inline uint32_t PngCrc(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

inline std::string PngChunk(const std::string& type, const std::string& data)
{
    return BigEndian32(static_cast<uint32_t>(data.size())) + type + data + BigEndian32(PngCrc(type + data));
}

// A one-pixel grey PNG whose eXIf chunk names the phone.
inline std::string PhonePng()
{
    const std::string header = BigEndian32(1) + BigEndian32(1) + std::string("\x08\0\0\0\0", 5);
    // zlib, one stored deflate block holding the row: filter 0, pixel 0; Adler-32 of it.
    const std::string idat("\x78\x01\x01\x02\x00\xFD\xFF\x00\x00\x00\x02\x00\x01", 13);
    return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", header) + PngChunk("eXIf", PhoneTiff()) +
           PngChunk("IDAT", idat) + PngChunk("IEND", "");
}

// A WebP (RIFF) with a lossless picture chunk and an EXIF chunk naming the phone.
inline std::string PhoneWebp()
{
    auto little32 = [](uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    auto chunk = [&](const std::string& fourcc, std::string data) {
        const uint32_t size = static_cast<uint32_t>(data.size());
        if (size % 2 != 0) data += '\0';
        return fourcc + little32(size) + data;
    };
    const std::string vp8x = chunk("VP8X", std::string("\x08\0\0\0\0\0\0\0\0\0", 10));  // EXIF flag, 1x1
    const std::string vp8l = chunk("VP8L", std::string("\x2F\0\0\0\0\x88\x88\x08\0", 9));
    const std::string body = "WEBP" + vp8x + vp8l + chunk("EXIF", PhoneTiff());
    return "RIFF" + little32(static_cast<uint32_t>(body.size())) + body;
}

// A start folder's files: three JPEGs, one without metadata; a PNG and a
// WebP that name the phone; a TIFF; a PNG and zeros under JPEG names.
inline std::map<std::string, std::string> MixedFolder()
{
    return {{"a.jpg", ExifAndComment()},
            {"b.jpg", Plain()},
            {"c.JPEG", CommentOnly()},
            {"phone.png", PhonePng()},
            {"photo.webp", PhoneWebp()},
            {"scan.TIF", std::string("MM\0*\0\0\0\x08", 8)},
            {"IMG_0001.jpg", PhonePng()},
            {"zeros.jpg", std::string(4096, '\0')},
            {"notes.txt", "not a photo"}};
}

// The files MixedFolder cleans: every JPEG, PNG and WebP with something to
// remove, whatever its name says.
inline std::set<std::string> MixedCleaned()
{
    return {"a.jpg", "c.JPEG", "phone.png", "photo.webp", "IMG_0001.jpg"};
}

// The files MixedFolder leaves alone, each with its reason as the CLI words it.
inline std::map<std::string, std::string> MixedLeftAlone()
{
    return {{"scan.TIF", "type not supported."}, {"zeros.jpg", "not a picture Zorezaz can clean."}};
}

}  // namespace batchfix
