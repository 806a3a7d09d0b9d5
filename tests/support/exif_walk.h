#pragma once
// Decodes an EXIF APP1 segment with a bare decoder, as the container opens
// it: byte order from the TIFF header, IFD0 from its offset, then the derived
// 35 mm focal length. For tests of the decoder and the maker walk that need no
// container (link meta_exif).

#include <string>

#include "meta/exif/image_info.h"

namespace fixture {

// `segment` from the length bytes on (positions as in the container). False,
// with nothing walked, when it holds no "Exif" identifier, no byte-order mark
// or no first-directory offset.
inline bool WalkExifSegment(TImageInfo& dec, const std::string& segment)
{
    if (segment.size() < 16 || segment.compare(2, 4, "Exif") != 0) return false;
    const std::string order = segment.substr(8, 2);
    if (order != "II" && order != "MM") return false;
    dec.Block = segment;
    dec.BigEndian = order == "MM";
    const int64_t offset = dec.GetUInt32(13);
    // TIFF offset x lies at position x + 9; offset 0 means "right after the header".
    dec.WalkDirectory(offset == 0 ? 17 : offset + 9, 9, static_cast<int64_t>(segment.size()) - 6,
                      tDirKind::ExifKind);
    dec.DeriveFocal35();
    return true;
}

}  // namespace fixture
