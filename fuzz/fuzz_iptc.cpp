// The IPTC container: parse an APP13 payload, build the payload back from the
// datasets and parse that again. Whenever the build succeeds, the second parse
// must give the datasets of the first. Input: the payload as it follows the
// segment length.

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/iptc/iptc_table.h"

namespace {

// An APP13 segment's bytes as the scan stores them: the length field, then the payload.
std::string SegmentBytes(const std::string& payload)
{
    const size_t n = payload.size() + 2;
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;
}

// The one place this target drives the library. False when the build refuses
// the datasets ("IPTC data too large").
bool ParseAndBuild(TIPTCdata& iptc, const std::string& segment, std::string& payload)
{
    iptc.ParseSegment(segment);
    try {
        payload = iptc.BuildSegmentPayload();
        return true;
    } catch (const EMetaError&) {
        return false;
    }
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<uint8_t>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<uint8_t>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

using tDataset = std::tuple<uint16_t, uint16_t, std::vector<std::string>>;

// The datasets a container holds, in order. A repeatable dataset holds its
// values joined with commas and is written one record per piece, blanks
// trimmed and empty pieces kept only between others; what survives that
// is the list of its non-blank pieces.
std::vector<tDataset> Datasets(const TIPTCdata& iptc)
{
    std::vector<tDataset> out;
    for (int32_t i = 0; i < iptc.TagCount(); ++i) {
        const TTagEntry e = iptc.GetEntry(i);
        if (e.RecordNo != 2 || !IsIptcMultiTag(e.TagNo)) {
            out.emplace_back(e.RecordNo, e.TagNo, std::vector<std::string>{e.Text});
            continue;
        }
        std::vector<std::string> pieces;
        std::string_view rest = e.Text;
        for (;;) {
            const size_t comma = rest.find(',');
            const std::string_view piece = Trim(rest.substr(0, comma));
            if (!piece.empty()) pieces.emplace_back(piece);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        if (!pieces.empty()) out.emplace_back(e.RecordNo, e.TagNo, std::move(pieces));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65533) return 0;  // one APP13 segment holds no more
    const std::string input(reinterpret_cast<const char*>(data), size);

    TIPTCdata first(nullptr);
    std::string payload;
    if (!ParseAndBuild(first, SegmentBytes(input), payload)) return 0;

    Check(payload.size() <= 65533, "the payload fits one APP13 segment");
    Check(payload.starts_with(std::string_view("Photoshop 3.0\0" "8BIM\x04\x04\0\0", 22)),
          "the payload starts with the signature and the IPTC resource");
    TIPTCdata second(nullptr);
    second.ParseSegment(SegmentBytes(payload));
    Check(Datasets(second) == Datasets(first), "the rebuilt payload holds the same datasets");
    return 0;
}
