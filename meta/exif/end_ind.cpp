#include "meta/exif/end_ind.h"

std::string CopyBytes(const std::string& bytes, int64_t pos, int64_t count)
{
    if (pos < 1) pos = 1;
    const auto size = static_cast<int64_t>(bytes.size());
    if (count <= 0 || pos > size) return {};
    const int64_t start = pos - 1;
    if (count > size - start) count = size - start;
    return bytes.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

namespace {
// The one bounds check for the readers.
const unsigned char* CheckedAt(const std::string& bytes, int64_t pos, int64_t n)
{
    if (!Fits(bytes, pos, n)) throw EMetaError("Read beyond the end of the EXIF block");
    return reinterpret_cast<const unsigned char*>(bytes.data()) + (pos - 1);
}
}  // namespace

uint16_t tEndInd::GetUInt16(int64_t pos) const
{
    const unsigned char* p = CheckedAt(Block, pos, 2);
    return BigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                     : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

int32_t tEndInd::GetUInt32(int64_t pos) const
{
    const unsigned char* p = CheckedAt(Block, pos, 4);
    const uint32_t v = BigEndian
        ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
        : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
    return static_cast<int32_t>(v);
}

void tEndInd::PutUInt32(std::string& bytes, uint32_t v, int64_t pos) const
{
    CheckedAt(bytes, pos, 4);
    const auto at = static_cast<size_t>(pos - 1);
    for (int i = 0; i < 4; ++i) {
        const int shift = BigEndian ? 24 - 8 * i : 8 * i;
        bytes[at + i] = static_cast<char>((v >> shift) & 0xFF);
    }
}
