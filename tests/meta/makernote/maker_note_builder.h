#pragma once
// Test fixtures: TIFF directories in either byte order and an EXIF block
// (Make in IFD0, MakerNote in the EXIF sub-directory) around a maker note.

#include <cstdint>
#include <string>
#include <vector>

namespace makernote_fixture {

std::string U16(uint32_t v, bool bigEndian);
std::string U32(uint32_t v, bool bigEndian);

// A directory whose values of more than four bytes follow it. Offsets are
// written as `origin` + their byte index in the container, `origin` being the
// offset of the container's first byte (0 for offsets counted from the note's
// first byte, its TIFF offset for offsets counted from the TIFF header).
class tDirBuilder {
public:
    explicit tDirBuilder(bool bigEndian) : FBig(bigEndian) {}
    tDirBuilder& Add(uint16_t tag, uint16_t type, uint32_t count, const std::string& value);
    tDirBuilder& Shorts(uint16_t tag, const std::vector<uint32_t>& values);
    tDirBuilder& Rationals(uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values);
    tDirBuilder& Ascii(uint16_t tag, const std::string& text);  // a zero byte is appended
    // The directory placed at byte index `at` of its container.
    std::string Build(uint32_t at, uint32_t origin) const;

private:
    struct tEntry {
        uint16_t Tag, Type;
        uint32_t Count;
        std::string Value;
    };
    bool FBig;
    std::vector<tEntry> FEntries;
};

// TIFF offset at which ExifWithMakerNote places the maker note.
inline constexpr uint32_t kMakerNoteOffset = 88;
// Its 1-based position in the APP1 segment bytes (TIFF offset + 9).
inline constexpr int64_t kMakerNotePos = kMakerNoteOffset + 9;

// A TIFF body: IFD0 with Make and the EXIF pointer, the EXIF directory with
// one MakerNote entry (UNDEFINED) at kMakerNoteOffset.
std::string TiffWithMakerNote(bool bigEndian, const std::string& make, const std::string& note);

}  // namespace makernote_fixture
