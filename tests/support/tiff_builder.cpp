#include "tests/support/tiff_builder.h"

namespace fixture {

TiffBuilder::TiffBuilder(bool bigEndian) : FBig(bigEndian)
{
    FBytes = (bigEndian ? "MM" : "II") + U16(42) + U32(8);
}

std::string TiffBuilder::U16(uint16_t v) const
{
    std::string s(2, '\0');
    s[FBig ? 0 : 1] = static_cast<char>(v >> 8);
    s[FBig ? 1 : 0] = static_cast<char>(v & 0xFF);
    return s;
}

std::string TiffBuilder::U32(uint32_t v) const
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[FBig ? 3 - i : i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

tIfdEntry TiffBuilder::Ascii(uint16_t tag, const std::string& text) const
{
    std::string v = text + '\0';
    const auto count = static_cast<uint32_t>(v.size());
    if (v.size() < 4) v.resize(4, '\0');
    return {tag, 2, count, v};
}

uint32_t TiffBuilder::AddBytes(const std::string& bytes)
{
    const auto at = static_cast<uint32_t>(FBytes.size());
    FBytes += bytes;
    return at;
}

uint32_t TiffBuilder::AddDirectory(const std::vector<tIfdEntry>& entries)
{
    const auto dir = static_cast<uint32_t>(FBytes.size());
    const auto n = static_cast<uint32_t>(entries.size());
    uint32_t data = dir + 2 + 12 * n + 4;
    std::string table = U16(static_cast<uint16_t>(n)), values;
    for (const tIfdEntry& e : entries) {
        table += U16(e.Tag) + U16(e.Type) + U32(e.Count);
        if (e.Value.size() <= 4) {
            table += e.Value + std::string(4 - e.Value.size(), '\0');
        } else {
            table += U32(data + static_cast<uint32_t>(values.size()));
            values += e.Value;
        }
    }
    FBytes += table + U32(0) + values;
    return dir;
}

void TiffBuilder::SetFirstDirectory(uint32_t offset)
{
    FBytes.replace(4, 4, U32(offset));
}

void TiffBuilder::SetNextDirectory(uint32_t dir, uint32_t next)
{
    const auto at = static_cast<size_t>(dir);
    const unsigned n = static_cast<unsigned char>(FBytes.at(at + (FBig ? 1 : 0))) |
                       static_cast<unsigned char>(FBytes.at(at + (FBig ? 0 : 1))) << 8;
    FBytes.replace(at + 2 + 12 * n, 4, U32(next));
}

}  // namespace fixture
