#include "maker_note_builder.h"

#include <stdexcept>

namespace makernote_fixture {

std::string U16(uint32_t v, bool bigEndian)
{
    const char lo = static_cast<char>(v & 0xFF), hi = static_cast<char>((v >> 8) & 0xFF);
    return bigEndian ? std::string{hi, lo} : std::string{lo, hi};
}

std::string U32(uint32_t v, bool bigEndian)
{
    return bigEndian ? U16(v >> 16, true) + U16(v & 0xFFFF, true) : U16(v & 0xFFFF, false) + U16(v >> 16, false);
}

tDirBuilder& tDirBuilder::Add(uint16_t tag, uint16_t type, uint32_t count, const std::string& value)
{
    FEntries.push_back({tag, type, count, value});
    return *this;
}

tDirBuilder& tDirBuilder::Shorts(uint16_t tag, const std::vector<uint32_t>& values)
{
    std::string bytes;
    for (uint32_t v : values) bytes += U16(v, FBig);
    return Add(tag, 3, static_cast<uint32_t>(values.size()), bytes);
}

tDirBuilder& tDirBuilder::Rationals(uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values)
{
    std::string bytes;
    for (const auto& [num, den] : values) bytes += U32(num, FBig) + U32(den, FBig);
    return Add(tag, 5, static_cast<uint32_t>(values.size()), bytes);
}

tDirBuilder& tDirBuilder::Ascii(uint16_t tag, const std::string& text)
{
    return Add(tag, 2, static_cast<uint32_t>(text.size() + 1), text + std::string(1, '\0'));
}

std::string tDirBuilder::Build(uint32_t at, uint32_t origin) const
{
    const uint32_t dataStart = at + 2 + 12 * static_cast<uint32_t>(FEntries.size()) + 4;
    std::string dir = U16(static_cast<uint32_t>(FEntries.size()), FBig);
    std::string data;
    for (const tEntry& e : FEntries) {
        dir += U16(e.Tag, FBig) + U16(e.Type, FBig) + U32(e.Count, FBig);
        if (e.Value.size() <= 4) {
            dir += e.Value + std::string(4 - e.Value.size(), '\0');
        } else {
            dir += U32(origin + dataStart + static_cast<uint32_t>(data.size()), FBig);
            data += e.Value;
        }
    }
    return dir + U32(0, FBig) + data;
}

std::string TiffWithMakerNote(bool bigEndian, const std::string& make, const std::string& note)
{
    constexpr uint32_t kIfd0 = 8, kExifIfd = 38, kMakeAt = 56;
    if (make.size() >= kMakerNoteOffset - kMakeAt) throw std::invalid_argument("make too long");
    std::string tiff = bigEndian ? std::string("MM\0\x2A", 4) : std::string("II\x2A\0", 4);
    tiff += U32(kIfd0, bigEndian);
    tiff += U16(2, bigEndian);
    tiff += U16(0x010F, bigEndian) + U16(2, bigEndian) + U32(static_cast<uint32_t>(make.size() + 1), bigEndian) +
            U32(kMakeAt, bigEndian);
    tiff += U16(0x8769, bigEndian) + U16(4, bigEndian) + U32(1, bigEndian) + U32(kExifIfd, bigEndian);
    tiff += U32(0, bigEndian);
    tiff += U16(1, bigEndian);
    tiff += U16(0x927C, bigEndian) + U16(7, bigEndian) + U32(static_cast<uint32_t>(note.size()), bigEndian) +
            U32(kMakerNoteOffset, bigEndian);
    tiff += U32(0, bigEndian);
    tiff += make;
    tiff.resize(kMakerNoteOffset, '\0');
    return tiff + note;
}

}  // namespace makernote_fixture
