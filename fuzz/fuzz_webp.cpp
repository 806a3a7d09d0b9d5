// A WebP file scanned and, when it scans, cleaned with a few choice sets
// (EXIF, other metadata, keep the orientation) into a copy, as the batch run
// does. A damaged file (EDamagedFile) is a normal outcome; any other
// exception is a fault, and so is a copy that fails the check before publish.
//
// Invariants of a copy, checked by a walk of this target's own:
//  - it is a RIFF whose size is its length less 8 and a kept trailer;
//  - its chunks are the source's in order, byte for byte (pad bytes too),
//    less the removed kinds: no EXIF but the orientation alone (where the
//    first EXIF stood), no XMP or unknown chunk with "other"; a VP8X chunk
//    differs at most in its EXIF and XMP flags; a frame (ANMF) differs only
//    with "other", and then is its header and its alpha and bitstream
//    chunks byte for byte, no unknown chunk left inside;
//  - it scans again, holding nothing the choices remove.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/exif/tiff_block.h"
#include "meta/riff/webp_file.h"

namespace {

namespace fs = std::filesystem;

const tFuzzScratch& Scratch()
{
    static const tFuzzScratch scratch("webp", "webp");
    return scratch;
}

struct tChunk {
    std::string FourCC, Payload, Raw;
};

uint32_t U32(const std::string& b, size_t at)
{
    return uint32_t{uint8_t(b[at])} | uint32_t{uint8_t(b[at + 1])} << 8 | uint32_t{uint8_t(b[at + 2])} << 16 |
           uint32_t{uint8_t(b[at + 3])} << 24;
}

// The chunks of `bytes` from `pos` to `end`, whose sizes all fit (a copy's must).
std::vector<tChunk> Chunks(const std::string& bytes, size_t pos, size_t end)
{
    std::vector<tChunk> chunks;
    while (pos < end) {
        Check(end - pos >= 8, "a chunk header fits in what holds it");
        const size_t size = U32(bytes, pos + 4), span = 8 + size + (size & 1);
        Check(span <= end - pos, "a chunk fits in what holds it");
        chunks.push_back({bytes.substr(pos, 4), bytes.substr(pos + 8, size), bytes.substr(pos, span)});
        pos += span;
    }
    return chunks;
}

// The chunks of a RIFF, and its end.
std::vector<tChunk> Walk(const std::string& file, size_t& end)
{
    Check(file.size() >= 12 && file.compare(0, 4, "RIFF") == 0, "the copy starts with a RIFF header");
    end = 8 + size_t{U32(file, 4)};
    Check(end <= file.size(), "the copy's RIFF size fits in it");
    return Chunks(file, 12, end);
}

bool InFrameByRight(const std::string& fourCC)
{
    return fourCC == "ALPH" || fourCC == "VP8 " || fourCC == "VP8L";
}

// A frame as "other" leaves it: its header, then its alpha and bitstream chunks.
std::string FrameWithoutUnknown(const tChunk& frame)
{
    Check(frame.Payload.size() >= 16, "a frame holds its header");
    std::string payload = frame.Payload.substr(0, 16);
    for (const tChunk& inner : Chunks(frame.Payload, 16, frame.Payload.size()))
        if (InFrameByRight(inner.FourCC)) payload += inner.Raw;
    return payload;
}

bool Known(const std::string& fourCC)
{
    for (const char* k : {"EXIF", "VP8X", "ICCP", "VP8 ", "VP8L", "ALPH", "ANIM", "ANMF"})
        if (fourCC == k) return true;
    return false;
}

bool OrientationAlone(const std::string& payload)
{
    for (int32_t o = 2; o <= 8; ++o)
        if (payload == OrientationTiff(o)) return true;
    return false;
}

std::unique_ptr<tPictureFile> Scan(const std::string& name, bool listing)
{
    struct stat st;
    tFileHandle file(OpenForReading(name, st));
    return ScanWebp(std::move(file), st, name, listing);
}

void CheckCopy(const std::string& input, const std::string& output, const tChoices& c)
{
    size_t inEnd = 0, outEnd = 0;
    const std::vector<tChunk> in = Walk(input, inEnd), out = Walk(output, outEnd);
    const std::string trailer = c.Other ? std::string() : input.substr(inEnd);
    Check(outEnd == output.size() - trailer.size() && output.substr(outEnd) == trailer,
          "the RIFF size is the copy's length less 8 and the kept trailer");
    size_t o = 0;
    bool firstExif = true;
    for (const tChunk& chunk : in) {
        const bool exif = chunk.FourCC == "EXIF";
        if (exif && c.Exif) {
            // The first EXIF may stay as its orientation alone.
            if (firstExif && c.KeepOrientation && o < out.size() && out[o].FourCC == "EXIF") {
                Check(OrientationAlone(out[o].Payload), "an EXIF kept is the orientation alone");
                ++o;
            }
            firstExif = false;
            continue;
        }
        firstExif &= !exif;
        if (c.Other && (chunk.FourCC == "XMP " || !Known(chunk.FourCC))) continue;
        Check(o < out.size(), "every kept chunk is in the copy");
        if (chunk.FourCC == "ANMF" && c.Other) {
            Check(out[o].FourCC == "ANMF" && out[o].Payload == FrameWithoutUnknown(chunk),
                  "a frame keeps its header, alpha and bitstream byte for byte and loses its unknown chunks");
            for (const tChunk& inner : Chunks(out[o].Payload, 16, out[o].Payload.size()))
                Check(InFrameByRight(inner.FourCC), "no frame of the copy holds an unknown chunk");
        } else if (chunk.FourCC == "VP8X" && chunk.Payload.size() > 0)
            Check(out[o].Raw.substr(0, 8) == chunk.Raw.substr(0, 8) && out[o].Raw.substr(9) == chunk.Raw.substr(9) &&
                      ((out[o].Payload[0] ^ chunk.Payload[0]) & ~(kVp8xExifFlag | kVp8xXmpFlag)) == 0,
                  "a VP8X chunk changes at most in its EXIF and XMP flags");
        else
            Check(out[o].Raw == chunk.Raw, "a kept chunk is the source's byte for byte");
        ++o;
    }
    Check(o == out.size(), "the copy holds no chunk but the kept ones");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const tFuzzScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    try {
        Scan(scratch.Source, true);
    } catch (const EDamagedFile&) {
        scratch.RemoveFiles();
        return 0;
    }
    const auto folder = std::make_shared<const tOutputFolder>(scratch.Dir, scratch.Target, true);
    // EXIF and other, EXIF keeping the orientation, other alone.
    const bool picks[][3] = {{true, true, false}, {true, false, true}, {false, true, false}};
    for (const auto& pick : picks) {
        tChoices c;
        c.Exif = pick[0];
        c.Other = pick[1];
        c.KeepOrientation = pick[2];
        const auto picture = Scan(scratch.Source, false);
        const tPlan& plan = picture->Plan(c);
        {
            tPendingFile out(folder, scratch.Target, plan.SourceMode);
            try {
                picture->Write(plan, out, scratch.Source, c);
            } catch (const ECheckFailed&) {
                Check(false, "the copy passes the check before publish");
            }
            out.Publish(NameOf(scratch.Target), true);
        }
        CheckCopy(input, ReadFile(scratch.Target), c);
        Check(!Scan(scratch.Target, false)->Removes(c), "the copy scans and holds nothing the choices remove");
    }
    scratch.RemoveFiles();
    return 0;
}
