#pragma once
// JPEG marker codes (ITU T.81, Annex B): the byte that follows FF.

#include <cstdint>

namespace marker {
constexpr uint8_t SOI = 0xD8;
constexpr uint8_t EOI = 0xD9;
constexpr uint8_t SOS = 0xDA;
constexpr uint8_t APP0 = 0xE0;   // JFIF
constexpr uint8_t APP1 = 0xE1;   // EXIF (or XMP)
constexpr uint8_t APP13 = 0xED;  // Photoshop 3.0 / IPTC
constexpr uint8_t COM = 0xFE;
constexpr uint8_t Fill = 0xFF;
}  // namespace marker
