#pragma once
// JPEG marker codes (ITU T.81, Annex B): the byte that follows FF.

#include <cstdint>

namespace marker {
constexpr uint8_t TEM = 0x01;
constexpr uint8_t RST0 = 0xD0;
constexpr uint8_t RST7 = 0xD7;
constexpr uint8_t SOI = 0xD8;
constexpr uint8_t EOI = 0xD9;
constexpr uint8_t SOS = 0xDA;
constexpr uint8_t APP0 = 0xE0;   // JFIF
constexpr uint8_t APP1 = 0xE1;   // EXIF (or XMP)
constexpr uint8_t APP2 = 0xE2;   // ICC profile, MPF
constexpr uint8_t APP13 = 0xED;  // Photoshop 3.0 / IPTC
constexpr uint8_t APP14 = 0xEE;  // Adobe
constexpr uint8_t APP15 = 0xEF;
constexpr uint8_t COM = 0xFE;
constexpr uint8_t Fill = 0xFF;

// TEM, RSTn, SOI and EOI stand alone: no length field follows them (T.81, B.1.1.3).
constexpr bool HasLength(uint8_t code)
{
    return !(code == TEM || (code >= RST0 && code <= EOI));
}
}  // namespace marker
