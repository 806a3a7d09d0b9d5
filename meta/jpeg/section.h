#pragma once

#include <cstdint>
#include <string>

// What an APPn block is, by its marker and the identifier its payload starts with.
enum class tBlockKind : uint8_t {
    Other,        // tables, frame, markers, and APPn blocks not listed here
    Jfif,         // APP0 "JFIF": what the picture needs
    Exif,         // APP1 "Exif"
    Xmp,          // APP1 "http://ns.adobe.com/xap/1.0/"
    ExtendedXmp,  // APP1 "http://ns.adobe.com/xmp/extension/"
    Icc,          // APP2 "ICC_PROFILE": the colours
    Mpf,          // APP2 "MPF": the index of the further pictures
    GainMap,      // APP2 of ISO 21496-1: HDR gain-map parameters
    Photoshop,    // APP13: Photoshop resources, IPTC among them (a choice of its own)
    Adobe,        // APP14 "Adobe": the colour transform
    OtherApp,     // any other APPn block: camera makers' and programs' metadata
};

// One JPEG segment of the head, or a run of like segments that are passed
// through as they stand.
struct tSection {
    std::string Bytes;       // from the two big-endian length bytes on; empty unless held
    int32_t Marker = 0;      // the code that follows FF
    int32_t SegLength = 0;   // value of the length field; equals Bytes.size() when held
    // Where the segment stands in the source: from its first fill byte to just
    // past its end. -1 for an entry that a setter added.
    int64_t Start = -1;
    int64_t End = -1;
    int32_t Count = 1;       // segments in the run
    bool ExifHeader = false; // an APP1 whose payload starts with "Exif"
    tBlockKind Kind = tBlockKind::Other;

    bool Held() const { return !Bytes.empty(); }
    bool FromSource() const { return Start >= 0; }
};

// A reference into a TimgData's segment table: an index, or kNoRef.
using tSectionRef = int32_t;
constexpr tSectionRef kNoRef = -1;
