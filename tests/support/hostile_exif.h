#pragma once
// Crafted EXIF blocks whose decoding must stay cheap, for the decoder's tests
// and its benchmark. TIFF bodies in big-endian order (TIFF 6.0 section 2),
// built without the 64 KiB limit of an APP1 segment so that larger blocks can
// be tried as well. Every body starts with IFD0 at offset 8; those of the
// pointer soup and the wide directory begin with ImageWidth 77 and Make
// "Crafted", so what a decoder read before it gave up stays visible.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

inline constexpr uint32_t kWidth = 77;
inline const std::string kMake = "Crafted";

inline std::string U16(uint32_t v)
{
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

inline std::string U32(uint32_t v)
{
    return U16(v >> 16) + U16(v & 0xFFFF);
}

inline std::string Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    return U16(tag) + U16(type) + U32(count) + U32(value);
}

// The APP1 segment bytes from the length field on, as a decoder is handed
// them: the length (0xFFFF when the block is too long for one), "Exif\0\0"
// and the TIFF body.
inline std::string Segment(const std::string& tiff)
{
    const size_t length = tiff.size() + 8;
    return U16(length > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(length)) + std::string("Exif\0\0", 6) + tiff;
}

// Header and IFD0 of `count` entries: ImageWidth, Make, then `rest` (count - 2
// entries, 12 bytes each), the link, and the Make text right after it.
inline std::string WithIfd0(uint32_t count, const std::string& rest)
{
    const uint32_t makeAt = 8 + 2 + 12 * count + 4;
    return std::string("MM\0\x2A", 4) + U32(8) + U16(count) + Entry(0x0100, 3, 1, kWidth << 16) +
           Entry(0x010F, 2, static_cast<uint32_t>(kMake.size() + 1), makeAt) + rest + U32(0) + kMake +
           std::string(1, '\0');
}

// About `bytes` of 12-byte EXIF pointer entries behind IFD0. The value field
// of each entry ends with the count of a directory that starts there (the low
// half of the big-endian offset it holds) and whose entries are the entries
// that follow: thousands of distinct, overlapping directories, every entry a
// pointer to another of them, loops included.
inline std::string PointerSoupTiff(size_t bytes)
{
    const uint32_t region = 8 + 2 + 12 * 3 + 4 + static_cast<uint32_t>(kMake.size() + 1);
    const uint32_t entries = bytes > region + 12 ? static_cast<uint32_t>((bytes - region) / 12) : 1;
    const size_t size = region + 12 * size_t{entries};
    const auto start = [&](uint32_t k) { return region + 12 * k + 10; };  // directory k
    // Targets whose count passes the decoder's size test (2 + 12 n within the block).
    std::vector<uint32_t> targets;
    for (uint32_t k = 0; k < entries; ++k)
        if (2 + 12 * size_t{start(k) & 0xFFFF} <= size) targets.push_back(start(k));
    if (targets.empty()) targets.push_back(start(0));
    std::string soup;
    soup.reserve(12 * size_t{entries});
    for (uint32_t k = 0; k < entries; ++k)
        soup += Entry(0x8769, 4, 1, targets[(size_t{k} * 7919) % targets.size()]);
    return WithIfd0(3, Entry(0x8769, 4, 1, targets[0])) + soup;
}

// IFD0 of `entries` entries in all: after ImageWidth and Make, entries of
// `tag` and `type` whose `count` components all start at IFD0 itself (values
// may overlap the directory, as nothing in TIFF forbids), or stand inline
// when they fit there. Count 0: as many components as reach the end of the
// block. Padded with zero bytes to at least `bytes`.
inline std::string WideDirectoryTiff(uint32_t entries, uint16_t tag, uint16_t type, uint32_t count, size_t bytes = 0)
{
    // Bytes per component of TIFF field types 0..12.
    constexpr std::array<uint32_t, 13> kSizes{0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    const size_t size = std::max(bytes, size_t{8} + 2 + 12 * size_t{entries} + 4 + kMake.size() + 1);
    if (count == 0 && type < kSizes.size() && kSizes[type] > 0)
        count = static_cast<uint32_t>((size - 8) / kSizes[type]);
    std::string rest;
    rest.reserve(12 * size_t{entries});
    for (uint32_t i = 2; i < entries; ++i) rest += Entry(tag, type, count, 8);
    std::string tiff = WithIfd0(entries, rest);
    tiff.resize(size, '\0');
    return tiff;
}

// IFD0 made of Make "Canon" and `notes` MakerNote entries, each holding
// `noteBytes` of the block from IFD0 on (0: up to the end): every note is read
// as a maker directory at its first byte, which is IFD0 again, so each maker
// walk meets every note. Padded with zero bytes to at least `bytes`.
inline std::string MakerNotesTiff(uint32_t notes, size_t bytes, uint32_t noteBytes = 0)
{
    const std::string make = "Canon";
    const uint32_t count = notes + 1;
    const uint32_t makeAt = 8 + 2 + 12 * count + 4;
    const size_t size = std::max(bytes, size_t{makeAt} + make.size() + 1);
    if (noteBytes == 0) noteBytes = static_cast<uint32_t>(size - 8);
    std::string tiff = std::string("MM\0\x2A", 4) + U32(8) + U16(count) +
                       Entry(0x010F, 2, static_cast<uint32_t>(make.size() + 1), makeAt);
    for (uint32_t i = 0; i < notes; ++i) tiff += Entry(0x927C, 7, noteBytes, 8);
    tiff += U32(0) + make + std::string(1, '\0');
    tiff.resize(size, '\0');
    return tiff;
}

// IFD0 of Make "Canon" and a MakerNote whose Canon directory holds the camera
// settings (0x0001) and the custom functions (0x000F), both the same `values`
// SHORTs of function 1, setting 1: the hooks spell out every piece.
inline std::string CanonHooksTiff(uint32_t values)
{
    const uint32_t makeAt = 8 + 2 + 2 * 12 + 4;
    const uint32_t noteAt = makeAt + 6;
    const uint32_t dataAt = noteAt + 2 + 2 * 12 + 4;
    const uint32_t noteSize = dataAt - noteAt + 2 * values;
    std::string tiff = std::string("MM\0\x2A", 4) + U32(8) + U16(2) + Entry(0x010F, 2, 6, makeAt) +
                       Entry(0x927C, 7, noteSize, noteAt) + U32(0) + std::string("Canon\0", 6);
    tiff += U16(2) + Entry(0x0001, 3, values, dataAt) + Entry(0x000F, 3, values, dataAt) + U32(0);
    tiff.reserve(tiff.size() + 2 * size_t{values});
    for (uint32_t i = 0; i < values; ++i) tiff += U16(0x0101);
    return tiff;
}

}  // namespace hostile
