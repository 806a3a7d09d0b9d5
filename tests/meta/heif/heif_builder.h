#pragma once
// HEIF files made by hand, for the layouts the encoders do not write: iloc
// versions and field sizes, idat storage, several extents, 64-bit sizes,
// mdat before or after meta. The coded picture is made-up bytes: these files
// are read back by the scanner, not decoded.

#include <cstdint>
#include <string>

struct tHeifLayout {
    int IlocVersion = 1;
    int OffsetSize = 4, LengthSize = 4, BaseSize = 0;
    bool MetadataInIdat = false;  // EXIF and XMP in idat (construction method 1)
    bool MdatFirst = false;
    bool LargeSizes = false;      // meta and mdat with 64-bit sizes
    bool SplitExtents = false;    // the picture and the EXIF in two extents each, interleaved
    bool Thumbnail = false;       // a second coded picture referring to the first (thmb)
    // Made-up hostile variants.
    int Method = -1;              // the construction method of the EXIF item, when set
    int64_t ExifShift = 0;        // added to the EXIF item's offset
    bool TwoMetas = false;
};

// What a built file holds, to search for afterwards.
struct tHeifParts {
    std::string File;
    std::string Picture;  // the coded picture's bytes
    std::string Exif;     // the EXIF item's payload
    std::string Xmp;      // the XMP item's payload
    std::string Colr, Irot;  // the two property boxes
    int64_t PictureAt = -1;  // where the picture's (first) extent starts
};

tHeifParts BuildHeif(const tHeifLayout& layout);
