#pragma once
// A RIFF file's chunks, read from an open file without reading any payload:
// the header ("RIFF", a little-endian size, the form type), then chunks of a
// FourCC, a little-endian payload size, the payload and a pad byte when the
// size is odd (RIFF, Microsoft Multimedia Programming Interface 1.0, and
// the WebP container). Nothing here knows a form type's chunks.

#include <cstdint>
#include <string>
#include <vector>

#include "meta/clean/picture_file.h"

// An animation holds one chunk per frame; a hundred thousand frames run for
// over an hour at 25 frames a second, and walking them costs a read each.
inline constexpr int64_t kMaxRiffChunks = 100000;

inline constexpr int64_t kRiffHeaderLength = 12;  // "RIFF", size, form type
inline constexpr int64_t kChunkHeaderLength = 8;  // FourCC, size

struct tRiffChunk {
    std::string FourCC;
    int64_t Offset = 0;  // where its header starts
    int64_t Size = 0;    // of the payload, as recorded

    int64_t PayloadOffset() const { return Offset + kChunkHeaderLength; }
    // Header, payload and pad byte: what a copy of the chunk takes.
    int64_t Span() const { return kChunkHeaderLength + Size + (Size & 1); }
};

struct tRiff {
    std::string Form;         // "WEBP"
    int64_t End = 0;          // where the RIFF's bytes end: 8 + its size
    int64_t FileSize = 0;     // bytes after End are no part of it
    std::vector<tRiffChunk> Chunks;
};

// What a walk of chunks says when one does not fit in what holds them.
struct tChunkReasons {
    const char* Count;    // more chunks than the budget allows
    const char* Header;   // a chunk header runs past the end
    const char* Payload;  // a payload runs past the end
    const char* Pad;      // a pad byte runs past the end
};

// Reads the chunks from `begin` to `end` of the file open at `fd`, each size
// checked against `end` (which the caller has checked against the file);
// every chunk read spends one of `budget`. Raises EDamagedFile with the
// matching reason.
std::vector<tRiffChunk> ReadChunks(int fd, int64_t begin, int64_t end, int64_t& budget,
                                   const tChunkReasons& reasons);

// Reads the header and the chunks of the RIFF at the start of the file open
// at `fd`, `fileSize` bytes long. Every size is checked against the RIFF's
// size and the file's; raises EDamagedFile with what is wrong when one does
// not fit, when the file cannot be read, or past kMaxRiffChunks.
tRiff ReadRiff(int fd, int64_t fileSize);

// Reads `length` bytes of the file at `offset`; raises EDamagedFile when they
// cannot be read.
std::string ReadRiffBytes(int fd, int64_t offset, int64_t length);

// Four bytes of `value`, least significant first.
std::string LittleEndian32(uint32_t value);
// `fourCC`, the size of `payload`, `payload` and the pad byte it needs.
std::string RiffChunk(const std::string& fourCC, const std::string& payload);
