#include "meta/riff/webp_file.h"

#include <algorithm>
#include <array>

#include "meta/exif/image_info.h"
#include "meta/exif/tiff_block.h"

namespace {

// The chunks of the WebP container (Google's WebP container format).
struct tChunkKind {
    std::string_view FourCC;
    tPartKind Kind;
};
constexpr std::array<tChunkKind, 9> kChunkKinds{{
    {"EXIF", tPartKind::Exif},
    {"XMP ", tPartKind::Other},
    {"VP8X", tPartKind::Display},     // canvas size and which chunks follow
    {"ICCP", tPartKind::Display},     // colour profile
    {"VP8 ", tPartKind::Picture},     // lossy
    {"VP8L", tPartKind::Picture},     // lossless
    {"ALPH", tPartKind::Picture},     // alpha of a lossy picture
    {"ANIM", tPartKind::Picture},     // animation: loop count, background
    {"ANMF", tPartKind::Picture},     // one frame, its bitstream inside
}};

// Some writers put the JPEG APP1 framing before the TIFF header.
constexpr std::string_view kExifFraming{"Exif\0\0", 6};

// The FourCC as a listing may show it: bytes other than printable ASCII as "?".
std::string Printable(const std::string& fourCC)
{
    std::string name = fourCC;
    for (char& c : name)
        if (c < 0x20 || c > 0x7E) c = '?';
    return name;
}

std::string_view TiffOf(std::string_view exif)
{
    if (exif.starts_with(kExifFraming)) exif.remove_prefix(kExifFraming.size());
    return exif;
}

// The orientation the EXIF records in IFD0 (0: none, or none readable).
int32_t OrientationIn(std::string_view tiff)
{
    TImageInfo decoder(kBuildForCleaning);
    try {
        DecodeTiff(decoder, tiff);
    } catch (const EMetaError&) {
        // What was decoded before the error stands.
    }
    return OrientationOf(decoder);
}

// The chunks a frame holds by right; any other in a frame is unknown.
bool FrameChunkKnown(const std::string& fourCC)
{
    return fourCC == "ALPH" || fourCC == "VP8 " || fourCC == "VP8L";
}

// The chunks inside the frame `frame` (an ANMF), after its header; every one
// read spends one of `budget`.
std::vector<tRiffChunk> FrameChunks(int fd, const tRiffChunk& frame, int64_t& budget)
{
    if (frame.Size < kFrameHeaderLength) throw EDamagedFile("a frame ends inside its header");
    return ReadChunks(fd, frame.PayloadOffset() + kFrameHeaderLength, frame.PayloadOffset() + frame.Size, budget,
                      {"more chunks in frames than any animation holds", "a chunk header runs past the end of its frame",
                       "a chunk runs past the end of its frame", "a chunk's pad byte runs past the end of its frame"});
}

bool HasImage(const tRiff& riff)
{
    bool still = false, anim = false, frame = false;
    for (const tRiffChunk& c : riff.Chunks) {
        still |= c.FourCC == "VP8 " || c.FourCC == "VP8L";
        anim |= c.FourCC == "ANIM";
        frame |= c.FourCC == "ANMF";
    }
    return still || (anim && frame);
}

}  // namespace

tPartKind WebpChunkKind(const std::string& fourCC)
{
    for (const tChunkKind& k : kChunkKinds)
        if (k.FourCC == fourCC) return k.Kind;
    return tPartKind::Other;
}

bool LooksLikeWebp(std::string_view first)
{
    return first.size() >= 12 && first.starts_with("RIFF") && first.substr(8, 4) == "WEBP";
}

std::unique_ptr<tPictureFile> ScanWebp(tFileHandle file, const struct stat& st, const std::string&, bool listing)
{
    tRiff riff = ReadRiff(file.Get(), st.st_size);
    if (riff.Form != "WEBP") throw EDamagedFile("the RIFF holds no WebP");
    if (!HasImage(riff)) throw EDamagedFile("no image chunk");
    return std::make_unique<tWebpFile>(std::move(file), std::move(riff), st.st_mode & 0777, listing);
}

tWebpFile::tWebpFile(tFileHandle file, tRiff riff, mode_t mode, bool listing)
    : FRiff(std::move(riff)), FMode(mode)
{
    FSource = std::move(file);
    const int fd = FSource.Get();
    FParts.push_back({tPartKind::Picture, 0, kRiffHeaderLength, "RIFF"});
    FParts.back().Adjusted = true;
    bool exifSeen = false, xmpSeen = false;
    const tRiffChunk* previous = nullptr;
    bool previousApart = false;  // the previous chunk is a frame with unknown chunks: it joins no run
    int64_t frameBudget = kMaxFrameChunks;
    auto newPart = [&](tPartKind kind, const tRiffChunk& chunk, const std::string& name) {
        if (FParts.size() >= kMaxWebpParts) throw EDamagedFile("more runs of chunks than any picture holds");
        FParts.push_back({kind, chunk.Offset, chunk.Span(), name});
    };
    for (const tRiffChunk& chunk : FRiff.Chunks) {
        tChunkNote note;
        const tPartKind kind = WebpChunkKind(chunk.FourCC);
        std::vector<tRiffChunk> inside;
        if (chunk.FourCC == "ANMF") inside = FrameChunks(fd, chunk, frameBudget);
        const bool apart = std::any_of(inside.begin(), inside.end(),
                                       [](const tRiffChunk& c) { return !FrameChunkKnown(c.FourCC); });
        // EXIF chunks stay apart: each has its own orientation; so does a
        // frame with unknown chunks, which may be written anew.
        if (previous && previous->FourCC == chunk.FourCC && kind != tPartKind::Exif && !apart && !previousApart) {
            FParts.back().Length += chunk.Span();
        } else {
            newPart(kind, chunk, Printable(chunk.FourCC));
        }
        note.Part = FParts.size() - 1;
        tPart& part = FParts.back();
        const int64_t read = std::min(chunk.Size, kMaxWebpPayloadRead);
        if (chunk.FourCC == "VP8X" && chunk.Size > 0) {
            part.Adjusted = true;
            note.Flags = static_cast<uint8_t>(ReadRiffBytes(fd, chunk.PayloadOffset(), 1)[0]);
        } else if (kind == tPartKind::Exif && !exifSeen) {
            // Readers take the first EXIF chunk; the ones after it hold no orientation that counts.
            exifSeen = true;
            const std::string payload = ReadRiffBytes(fd, chunk.PayloadOffset(), read);
            const std::string_view tiff = TiffOf(payload);
            part.Orientation = OrientationIn(tiff);
            // Only our own block counts as the orientation alone: a framed one is written anew.
            part.NothingToRemove = part.Orientation > 1 && payload == OrientationTiff(part.Orientation);
            if (listing) Texts.ExifTiff = tiff;
        } else if (chunk.FourCC == "XMP " && !xmpSeen && listing) {
            xmpSeen = true;
            Texts.Xmp = ReadRiffBytes(fd, chunk.PayloadOffset(), read);
        } else if (apart) {
            // Its unknown chunks are parts of their own, runs of one FourCC joined as above.
            part.Adjusted = true;
            const tRiffChunk* before = nullptr;
            for (const tRiffChunk& c : inside) {
                size_t at = note.Part;
                if (!FrameChunkKnown(c.FourCC)) {
                    if (before && before->FourCC == c.FourCC)
                        FParts.back().Length += c.Span();
                    else
                        newPart(tPartKind::Other, c, "ANMF/" + Printable(c.FourCC));
                    at = FParts.size() - 1;
                }
                note.Inside.push_back({c, at});
                before = FrameChunkKnown(c.FourCC) ? nullptr : &c;
            }
        }
        FNotes.push_back(std::move(note));
        previous = &chunk;
        previousApart = apart;
    }
    if (FRiff.End < FRiff.FileSize)
        FParts.push_back({tPartKind::Other, FRiff.End, FRiff.FileSize - FRiff.End, "trailer"});
}

const tPlan& tWebpFile::Plan(const tChoices& choices)
{
    FPlan = tPlan();
    FPlan.SourceFd = FSource.Get();
    FPlan.SourceMode = FMode;

    // What goes decides the VP8X flags, so the fates come first.
    std::vector<tFate> fates;
    fates.reserve(FRiff.Chunks.size());
    bool exifChanged = false, xmpChanged = false, exifOut = false, xmpOut = false;
    for (size_t i = 0; i < FRiff.Chunks.size(); ++i) {
        const tFate fate = FateOf(FParts[FNotes[i].Part], choices);
        fates.push_back(fate);
        const std::string& fourCC = FRiff.Chunks[i].FourCC;
        if (fourCC == "EXIF") {
            exifChanged |= fate != tFate::Keep;
            exifOut |= fate != tFate::Drop;
        } else if (fourCC == "XMP ") {
            xmpChanged |= fate != tFate::Keep;
            xmpOut |= fate != tFate::Drop;
        }
    }

    FPlan.AddBytes("RIFF" + LittleEndian32(0) + FRiff.Form);  // the size is set below
    for (size_t i = 0; i < FRiff.Chunks.size(); ++i) {
        const tRiffChunk& chunk = FRiff.Chunks[i];
        const tPart& part = FParts[FNotes[i].Part];
        if (fates[i] == tFate::Drop) continue;
        if (fates[i] == tFate::Rewrite) {
            // Only an EXIF chunk is ever rewritten: the orientation alone, where the old one stood.
            FPlan.AddBytes(RiffChunk("EXIF", OrientationTiff(part.Orientation)));
            continue;
        }
        if (!FNotes[i].Inside.empty() && WriteFrame(chunk, FNotes[i].Inside, choices)) continue;
        if (FNotes[i].Flags >= 0) {
            auto flags = static_cast<uint8_t>(FNotes[i].Flags);
            if (exifChanged) flags = exifOut ? flags | kVp8xExifFlag : flags & ~kVp8xExifFlag;
            if (xmpChanged) flags = xmpOut ? flags | kVp8xXmpFlag : flags & ~kVp8xXmpFlag;
            if (flags != FNotes[i].Flags) {
                FPlan.AddBytes(ReadRiffBytes(FSource.Get(), chunk.Offset, kChunkHeaderLength) +
                               static_cast<char>(flags));
                FPlan.AddRange(chunk.PayloadOffset() + 1, chunk.Span() - kChunkHeaderLength - 1);
                continue;
            }
        }
        FPlan.AddRange(chunk.Offset, chunk.Span());
    }
    const int64_t riffEnd = FPlan.Length;
    if (FRiff.End < FRiff.FileSize) {
        const tPart& trailer = FParts.back();
        if (FateOf(trailer, choices) == tFate::Keep) FPlan.AddRange(trailer.Offset, trailer.Length);
    }
    // A rewritten orientation may be longer than the EXIF it replaces.
    if (riffEnd - 8 > int64_t{0xFFFFFFFF}) throw EDamagedFile("the cleaned file would be too large for a RIFF");
    FPlan.Pieces.front().Bytes.replace(4, 4, LittleEndian32(static_cast<uint32_t>(riffEnd - 8)));
    return FPlan;
}

bool tWebpFile::WriteFrame(const tRiffChunk& frame, const std::vector<tInnerChunk>& inside, const tChoices& choices)
{
    int64_t size = kFrameHeaderLength;
    for (const tInnerChunk& c : inside)
        if (FateOf(FParts[c.Part], choices) == tFate::Keep) size += c.Chunk.Span();
    if (size == frame.Size) return false;
    // No larger than the frame was: the size fits where its own did. Every
    // span is even, so the frame needs no pad byte.
    FPlan.AddBytes("ANMF" + LittleEndian32(static_cast<uint32_t>(size)));
    FPlan.AddRange(frame.PayloadOffset(), kFrameHeaderLength);
    // An unknown chunk is never rewritten: what does not stay goes whole.
    for (const tInnerChunk& c : inside)
        if (FateOf(FParts[c.Part], choices) == tFate::Keep) FPlan.AddRange(c.Chunk.Offset, c.Chunk.Span());
    return true;
}

std::unique_ptr<tPictureFile> tWebpFile::Reread(int fd, const std::vector<tPart>&) const
{
    struct stat st;
    tFileHandle copy = OwnCopy(fd, st);
    return ScanWebp(std::move(copy), st, {}, false);
}
