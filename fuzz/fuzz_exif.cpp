// The EXIF decoder over one APP1 payload ("Exif\0\0" and a TIFF body), maker
// notes included: the directory walk, every value rendered, the maker note
// chosen by the make and walked. Input: the payload as it follows the length.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "meta/exif/image_info.h"
#include "meta/makernote/ms_info.h"

namespace {

// The one place this target drives the library: what the container does over
// an EXIF block (identifier, byte order, first-directory offset, the walk from
// there; TIFF offset x at 1-based position x + 9).
void Decode(TImageInfo& d, const std::string& block)
{
    if (block.size() < 16 || block.compare(2, 4, "Exif") != 0) return;
    const std::string order = block.substr(8, 2);
    if (order != "II" && order != "MM") return;
    d.Block = block;
    d.BigEndian = order == "MM";
    const int64_t offset = d.GetUInt32(13);
    const int64_t start = offset == 0 ? 17 : offset + 9;
    d.WalkDirectory(start, 9, static_cast<int64_t>(block.size()) - 6, tDirKind::ExifKind);
    d.DeriveFocal35();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As stored by the scan: the length field, then the payload (at most 65533 bytes).
    const std::string payload(reinterpret_cast<const char*>(data), size < 65533 ? size : 65533);
    const size_t n = payload.size() + 2;
    const std::string block = std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;

    TImageInfo d(255);
    // As the container installs it: the maker note is decoded at its entry.
    d.OnMakerNote = [](TImageInfo& decoder) { TmsInfo(decoder.TiffMode, &decoder).DecodeMakerNote(); };
    Decode(d, block);
    if (d.Block.empty()) return 0;

    Check(d.TagCount >= 0 && static_cast<size_t>(d.TagCount) <= d.TagList.size(), "tag count within the list");
    // The decoding budget holds: no block, however built, lists more entries than that.
    Check(d.TagCount <= 8192 + 1, "the entries stay within the decoding budget");
    for (int32_t i = 0; i < d.TagCount; ++i)
        Check(d.TagList[static_cast<size_t>(i)].TagNo != 0, "listed entries name a tag");
    // The maker-note walk borrows the block and the byte order; both come back.
    Check(d.Block == block, "the decoder's block is unchanged");
    Check(d.BigEndian == (block[8] == 'M'), "the block's byte order is unchanged");
    return 0;
}
