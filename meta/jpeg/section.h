#pragma once

#include <cstdint>
#include <string>

// One stored JPEG segment.
struct tSection {
    std::string Bytes;       // from the two big-endian length bytes on
    int32_t Marker = 0;      // the code that follows FF
    int32_t SegLength = 0;   // value of the length field; equals Bytes.size()
};

// A reference into a TimgData's segment table: an index, or kNoRef.
using tSectionRef = int32_t;
constexpr tSectionRef kNoRef = -1;
