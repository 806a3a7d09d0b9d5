#pragma once
// A WebP file (a RIFF of form "WEBP") as the format table sees it: its
// chunks as parts, and the unknown chunks inside animation frames too; a
// plan that copies the kept chunks byte for byte and makes anew only the
// RIFF header, the VP8X flags and the header of a frame that loses a chunk.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "meta/clean/picture_file.h"
#include "meta/riff/riff_chunks.h"

bool LooksLikeWebp(std::string_view first);
std::unique_ptr<tPictureFile> ScanWebp(tFileHandle file, const struct stat& st, const std::string& name,
                                       bool listing);

// What a chunk of a WebP file holds, by its FourCC; unknown chunks are "other".
tPartKind WebpChunkKind(const std::string& fourCC);

// VP8X flags (the first payload byte) that say which metadata chunks follow.
inline constexpr uint8_t kVp8xExifFlag = 0x08;
inline constexpr uint8_t kVp8xXmpFlag = 0x04;

// Adjacent chunks of one FourCC are one part (an animation's frames, a run of
// unknown chunks); an encoder writes a handful of runs, so thousands of them
// are a crafted file, and the listing would show each.
inline constexpr size_t kMaxWebpParts = 4096;
// An animation frame (ANMF) holds a 16-byte header (position, size,
// duration, flags), then its alpha, bitstream and unknown chunks.
inline constexpr int64_t kFrameHeaderLength = 16;
// Chunks read inside frames, all frames together: each holds its bitstream,
// its alpha and seldom more, however many frames (kMaxRiffChunks) there are.
inline constexpr int64_t kMaxFrameChunks = 3 * kMaxRiffChunks;
// What is read of a metadata payload (the EXIF for its orientation, the
// EXIF and XMP for a listing): a camera's EXIF fits in 64 KiB, and a
// hostile size must cost no memory.
inline constexpr int64_t kMaxWebpPayloadRead = int64_t{1} << 20;

class tWebpFile : public tPictureFile {
public:
    tWebpFile(tFileHandle file, tRiff riff, mode_t mode, bool listing);
    tFileType Type() const override { return tFileType::Webp; }
    const tPlan& Plan(const tChoices& choices) override;
    const tRiff& Riff() const { return FRiff; }

protected:
    std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>& copied) const override;

private:
    struct tInnerChunk {
        tRiffChunk Chunk;
        size_t Part = 0;  // in FParts: the frame's own for its alpha and bitstream
    };
    struct tChunkNote {
        size_t Part = 0;    // in FParts
        int Flags = -1;     // a VP8X chunk's flags byte; -1: none
        // A frame's chunks, when one of them is unknown (its own part); else empty.
        std::vector<tInnerChunk> Inside;
    };
    // Plans `frame` without the chunks inside it that go; false when all stay.
    bool WriteFrame(const tRiffChunk& frame, const std::vector<tInnerChunk>& inside, const tChoices& choices);

    tRiff FRiff;
    std::vector<tChunkNote> FNotes;  // one per chunk of FRiff
    mode_t FMode;
    tPlan FPlan;
};
