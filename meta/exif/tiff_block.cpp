#include "meta/exif/tiff_block.h"

#include "meta/exif/image_info.h"

namespace {

constexpr uint16_t kOrientationTag = 0x0112;  // TIFF 6.0, IFD0
// What stands before the TIFF header in a JPEG's EXIF block: the decoder
// addresses the block as it stands there, the TIFF header at position 9.
constexpr char kApp1Framing[] = "\0\0Exif\0\0";
constexpr size_t kFramingLength = sizeof kApp1Framing - 1;

}  // namespace

std::string OrientationTiff(int32_t orientation)
{
    std::string tiff("MM\x00\x2A\x00\x00\x00\x08" "\x00\x01", 10);
    tiff += static_cast<char>(kOrientationTag >> 8);
    tiff += static_cast<char>(kOrientationTag & 0xFF);
    tiff += std::string("\x00\x03\x00\x00\x00\x01\x00", 7);
    tiff += static_cast<char>(orientation);
    tiff += std::string(6, '\0');  // the value field's padding, then no next directory
    return tiff;
}

bool DecodeTiff(TImageInfo& decoder, std::string_view tiff)
{
    if (tiff.size() < 8 || (tiff.substr(0, 2) != "II" && tiff.substr(0, 2) != "MM")) return false;
    decoder.Block.assign(kApp1Framing, kFramingLength);
    decoder.Block.append(tiff);
    decoder.BigEndian = tiff[0] == 'M';
    const int64_t offset = decoder.GetUInt32(13);
    // TIFF offset x lies at position x + 9; offset 0 means "right after the header".
    const int64_t start = offset == 0 ? 17 : offset + 9;
    decoder.WalkDirectory(start, 9, static_cast<int64_t>(decoder.Block.size()) - 6, tDirKind::ExifKind);
    return true;
}

int32_t OrientationOf(const TImageInfo& decoder)
{
    const int32_t value = decoder.IntegerByName("Orientation");
    return value >= 1 && value <= 8 ? value : 0;
}
