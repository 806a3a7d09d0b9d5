#include "meta/png/png_file.h"

#include <algorithm>

#include <zlib.h>

#include "meta/exif/image_info.h"
#include "meta/exif/tiff_block.h"
#include "meta/png/chunk_reader.h"
#include "meta/png/chunks.h"
#include "meta/png/text_chunks.h"

namespace {

using namespace png;

// The iTXt keyword of an XMP packet, as Adobe names it for PNG.
constexpr std::string_view kXmpKeyword = "XML:com.adobe.xmp";

std::string BigEndian32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// The Orientation of an EXIF block, 0 when it records none or cannot be read.
int32_t OrientationIn(const std::string& tiff)
{
    TImageInfo decoder(kBuildForCleaning);
    try {
        if (!DecodeTiff(decoder, tiff)) return 0;
    } catch (const EMetaError&) {
        // A broken or too costly block: what was decoded before counts.
    }
    return OrientationOf(decoder);
}

// A run of picture data chunks, one part: its name lists the types it holds.
struct tRun {
    int64_t Chunks = 0;
    std::string Types;

    void Add(uint32_t type)
    {
        const std::string name = TypeName(type);
        if (Types.find(name) == std::string::npos) Types += (Types.empty() ? "" : "/") + name;
        ++Chunks;
    }
    std::string Name() const
    {
        return Chunks > 1 ? Types + " (" + std::to_string(Chunks) + " chunks)" : Types;
    }
};

}  // namespace

bool LooksLikePng(std::string_view first)
{
    return first.substr(0, kSignature.size()) == kSignature;
}

std::unique_ptr<tPictureFile> ScanPng(tFileHandle file, const struct stat& st, const std::string& name, bool listing)
{
    return std::make_unique<tPngFile>(std::move(file), st, name, listing);
}

std::string ExifChunk(const std::string& tiff)
{
    const std::string body = TypeName(eXIf) + tiff;
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    return BigEndian32(uint32_t(tiff.size())) + body + BigEndian32(uint32_t(crc));
}

tPngFile::tPngFile(tFileHandle file, const struct stat& st, const std::string& name, bool listing,
                   const std::vector<tPart>& copied)
    : FName(name), FMode(st.st_mode & 0777)
{
    FSource = std::move(file);
    tChunkReader reader(FSource.Get(), st.st_size, name);
    bool exifSeen = false;
    size_t listed = 0;
    size_t idatAt = SIZE_MAX, iendAt = SIZE_MAX;
    tRun run;
    auto next = copied.begin();
    while (reader.Next()) {
        const tChunk& chunk = reader.Chunk();
        // A run of picture data copied whole from the source, whose scan
        // walked it: its first chunk is read, the rest stepped over.
        while (next != copied.end() && next->Offset < chunk.Offset) ++next;
        int64_t end = chunk.End();
        if (next != copied.end() && next->Offset == chunk.Offset && IsPictureData(chunk.Type) &&
            reader.StepOver(next->Offset + next->Length - end))
            end = reader.Position();
        if (IsPictureData(chunk.Type) && run.Chunks > 0) {
            // Joined to the run before: a file of millions of chunks is a few parts.
            FParts.back().Length = end - FParts.back().Offset;
            run.Add(chunk.Type);
            FParts.back().Name = run.Name();
            if (chunk.Type == IDAT && idatAt == SIZE_MAX) idatAt = FParts.size() - 1;
            continue;
        }
        if (FParts.size() >= kMaxPngParts)
            throw EDamagedFile("more than " + std::to_string(kMaxPngParts) + " chunks besides the picture data");
        run = {};
        tPart part;
        part.Offset = chunk.Offset;
        part.Length = end - chunk.Offset;
        part.Name = TypeName(chunk.Type);
        std::string keyword;
        if (IsText(chunk.Type)) {
            keyword = KeywordOf(reader.ReadData(kKeywordBytes));
            part.Name += " " + Latin1ToUtf8(keyword);
        }
        part.Kind = KindOf(chunk.Type, keyword);
        if (IsPictureData(chunk.Type)) {
            run.Add(chunk.Type);
            if (chunk.Type == IDAT) idatAt = std::min(idatAt, FParts.size());
        }
        if (chunk.Type == IEND) iendAt = FParts.size();
        if (chunk.Type == eXIf && !exifSeen) {
            // The first eXIf is the picture's (there may be one only); its
            // orientation is what a cleaned file can keep.
            exifSeen = true;
            const std::string tiff = reader.ReadData(kMaxPngExifBytes);
            part.Orientation = OrientationIn(tiff);
            part.NothingToRemove = chunk.Length <= kMaxPngExifBytes &&
                                   (tiff.empty() || (part.Orientation > 0 && tiff == OrientationTiff(part.Orientation)));
            if (listing) Texts.ExifTiff = tiff;
        } else if (listing && IsText(chunk.Type) && listed < kMaxListedBytes) {
            const bool xmp = chunk.Type == iTXt && keyword == kXmpKeyword;
            std::string text = TextOf(reader, keyword.size(), std::min(xmp ? kMaxShownXmp : kMaxShownText,
                                                                       kMaxListedBytes - listed));
            listed += text.size();
            if (xmp && Texts.Xmp.empty())
                Texts.Xmp = std::move(text);
            else
                Texts.Lines.emplace_back(Latin1ToUtf8(keyword), std::move(text));
        }
        FParts.push_back(std::move(part));
    }
    if (reader.Position() < reader.Size())
        FParts.push_back({tPartKind::Other, reader.Position(), reader.Size() - reader.Position(), "bytes after IEND"});
    FPictureAt = std::min(idatAt, iendAt);
}

const tPlan& tPngFile::Plan(const tChoices& choices)
{
    FPlan = tPlan();
    FPlan.SourceFd = FSource.Get();
    FPlan.SourceMode = FMode;
    int32_t orientation = 0;
    for (const tPart& part : FParts)
        if (part.Kind == tPartKind::Exif && FateOf(part, choices) == tFate::Rewrite && orientation == 0)
            orientation = part.Orientation;
    FPlan.AddRange(0, int64_t(kSignature.size()));
    for (size_t i = 0; i < FParts.size(); ++i) {
        // EXIF stands before the picture data (PNG extensions 1.5.0, eXIf).
        if (i == FPictureAt && orientation > 0) FPlan.AddBytes(ExifChunk(OrientationTiff(orientation)));
        if (FateOf(FParts[i], choices) == tFate::Keep) FPlan.AddRange(FParts[i].Offset, FParts[i].Length);
    }
    return FPlan;
}

std::unique_ptr<tPictureFile> tPngFile::Reread(int fd, const std::vector<tPart>& copied) const
{
    struct stat st;
    tFileHandle again = OwnCopy(fd, st);
    return std::make_unique<tPngFile>(std::move(again), st, FName, false, copied);
}
