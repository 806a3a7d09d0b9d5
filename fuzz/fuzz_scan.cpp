// The head scan: the segment walk over bytes as ScanFile reads a file, the
// choice of the EXIF block and its decoding. Only the library's own error type
// may leave the walk (ScanFile turns it into a status text); anything else is
// a fault that a catch-all would hide.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "meta/exif/image_info.h"
#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"

namespace {

// The one place this target drives the library.
void Scan(TimgData& img, const std::string& bytes)
{
    tByteSource in(bytes);
    try {
        img.WalkSegments(in);
    } catch (const EMetaError&) {
    }
}

void CheckRef(const TimgData& img, tSectionRef ref, uint8_t code, const char* what)
{
    if (ref == kNoRef) return;
    const tSection* s = img.Section(ref);
    Check(s != nullptr && s->Marker == code, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TimgData img(255);
    Scan(img, bytes);

    Check(img.SegmentCount == static_cast<int32_t>(img.SegmentTable.size()), "segment count matches the table");
    int64_t end = 2;
    for (const tSection& s : img.SegmentTable) {
        // Segments in file order, each where the last ended (fill bytes included).
        Check(s.FromSource() && s.Start == end && s.End > s.Start, "segments follow each other");
        end = s.End;
        if (!s.Held()) continue;
        Check(s.SegLength >= 2 && s.Bytes.size() == static_cast<size_t>(s.SegLength),
              "a held segment holds its length field and as many bytes as it says");
        Check(static_cast<uint8_t>(s.Bytes[0]) * 256 + static_cast<uint8_t>(s.Bytes[1]) == s.SegLength,
              "a segment's length field is its length");
    }
    Check(img.SegmentCount <= 1100, "a head of any size keeps a short table");
    for (const tSectionRef ref : {img.ExifRef, img.IptcRef, img.CommentRef, img.App0Ref, img.MpfRef, img.XmpRef})
        Check(ref == kNoRef || img.Section(ref)->Held(), "a referenced segment is held");
    CheckRef(img, img.ExifRef, marker::APP1, "the EXIF block is an APP1");
    CheckRef(img, img.IptcRef, marker::APP13, "the IPTC block is an APP13");
    CheckRef(img, img.CommentRef, marker::COM, "the comment is a COM");
    CheckRef(img, img.App0Ref, marker::APP0, "APP0 is an APP0");
    Check((img.ExifRef != kNoRef) == (img.ExifDecoder != nullptr), "a decoder exactly for an EXIF block");
    Check((img.IptcRef != kNoRef) == (img.IptcContainer != nullptr), "a container exactly for an APP13");
    if (img.ExifDecoder) {
        const TImageInfo& d = *img.ExifDecoder;
        Check(d.TagCount >= 0 && static_cast<size_t>(d.TagCount) <= d.TagList.size(), "tag count within the list");
        // The maker-note walk borrows the decoder's block and must hand it back.
        Check(d.Block.empty() || d.Block == img.Section(img.ExifRef)->Bytes, "the decoder's block is the EXIF block");
        Check(d.BigEndian == img.BigEndian || d.Block.empty(), "the decoder keeps the block's byte order");
    }
    return 0;
}
