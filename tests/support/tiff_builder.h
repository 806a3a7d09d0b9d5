#pragma once
// Builds TIFF bodies (header and directories) in either byte order for tests.

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

struct tIfdEntry {
    uint16_t Tag;
    uint16_t Type;
    uint32_t Count;
    std::string Value;  // encoded value bytes; more than 4 are stored out of line
};

class TiffBuilder {
public:
    explicit TiffBuilder(bool bigEndian);

    std::string U16(uint16_t v) const;
    std::string U32(uint32_t v) const;
    // A SHORT, LONG or RATIONAL entry holding one value.
    tIfdEntry Short(uint16_t tag, uint16_t v) const { return {tag, 3, 1, U16(v) + std::string(2, '\0')}; }
    tIfdEntry Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, U32(v)}; }
    tIfdEntry Rational(uint16_t tag, uint32_t num, uint32_t den) const { return {tag, 5, 1, U32(num) + U32(den)}; }
    tIfdEntry Ascii(uint16_t tag, const std::string& text) const;

    // Appends a directory (with a zero next-directory link) and the values that
    // do not fit inline; returns its TIFF offset.
    uint32_t AddDirectory(const std::vector<tIfdEntry>& entries);
    // Appends raw bytes; returns their TIFF offset.
    uint32_t AddBytes(const std::string& bytes);
    void SetFirstDirectory(uint32_t offset);
    // Links the directory at `dir` to the one at `next` (TIFF 6.0: IFD0 to IFD1).
    void SetNextDirectory(uint32_t dir, uint32_t next);
    // TIFF offset at which the value field of entry `index` of the directory at
    // `dir` lies (add 9 for its 1-based position in an APP1 segment).
    static uint32_t ValueField(uint32_t dir, int index) { return dir + 2 + 12 * index + 8; }

    const std::string& Bytes() const { return FBytes; }

private:
    bool FBig;
    std::string FBytes;
};

}  // namespace fixture
