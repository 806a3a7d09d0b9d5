#include "meta/jpeg/mpf.h"

namespace {

constexpr uint16_t kMpEntryTag = 0xB002;  // CIPA DC-007, 5.2.3.3
constexpr size_t kEntrySize = 16;

struct tReader {
    const std::string& Bytes;
    bool Big;
    // Bounds checked by subtraction so they cannot wrap.
    bool Has(size_t at, size_t n) const { return n <= Bytes.size() && at <= Bytes.size() - n; }
    uint32_t U(size_t at, size_t n) const
    {
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) {
            const auto b = static_cast<uint8_t>(Bytes[at + (Big ? i : n - 1 - i)]);
            v = v << 8 | b;
        }
        return v;
    }
};

void Put32(std::string& bytes, size_t at, uint32_t v, bool big)
{
    for (size_t i = 0; i < 4; ++i) {
        const size_t shift = big ? 24 - 8 * i : 8 * i;
        bytes[at + i] = static_cast<char>((v >> shift) & 0xFF);
    }
}

}  // namespace

std::vector<tMpfEntry> ReadMpfEntries(const std::string& bytes, bool& bigEndian)
{
    std::vector<tMpfEntry> entries;
    const size_t header = kMpfHeaderAt;
    if (bytes.size() < header + 8 || bytes.compare(2, 4, std::string("MPF\0", 4)) != 0) return entries;
    const std::string order = bytes.substr(header, 2);
    if (order != "II" && order != "MM") return entries;
    bigEndian = order == "MM";
    const tReader in{bytes, bigEndian};
    const size_t ifd = header + in.U(header + 4, 4);
    if (ifd < header || !in.Has(ifd, 2)) return entries;
    const uint32_t count = in.U(ifd, 2);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = ifd + 2 + 12 * size_t{i};
        if (!in.Has(e, 12)) break;
        if (in.U(e, 2) != kMpEntryTag) continue;
        const uint32_t length = in.U(e + 4, 4);
        const size_t values = header + in.U(e + 8, 4);
        for (size_t k = 0; k < length / kEntrySize; ++k) {
            const size_t at = values + k * kEntrySize;
            if (at < header || !in.Has(at, kEntrySize)) break;
            entries.push_back({at, in.U(at + 4, 4), in.U(at + 8, 4)});
        }
        break;
    }
    return entries;
}

void WriteMpfEntry(std::string& bytes, const tMpfEntry& entry, bool bigEndian)
{
    if (entry.At + kEntrySize > bytes.size()) return;
    Put32(bytes, entry.At + 4, entry.Size, bigEndian);
    Put32(bytes, entry.At + 8, entry.Offset, bigEndian);
}
