#pragma once
// Boxes assembled as bytes, for the tests and seeds of the formats on the box layer.

#include <cstdint>
#include <string>

#include "meta/bmff/box_reader.h"

namespace boxfix {

inline std::string U16(uint64_t v) { return BigEndian(v, 2); }
inline std::string U32(uint64_t v) { return BigEndian(v, 4); }

inline std::string Box(const char (&type)[5], const std::string& payload, bool large = false)
{
    return BoxHeader(FourCC(type), payload.size(), large) + payload;
}

// A full box: version, three bytes of flags (none), then `payload`.
inline std::string FullBox(const char (&type)[5], int version, const std::string& payload)
{
    return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + payload);
}

}  // namespace boxfix
