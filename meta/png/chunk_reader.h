#pragma once
// Reads a PNG chunk by chunk: the signature, then each chunk's length and
// type, by pread. No chunk's data is read unless asked for, so the picture
// data (IDAT, fdAT) is never read at all. Every length is checked against
// the file before anything relies on it.

#include <cstdint>
#include <string>

namespace png {

// One chunk as it stands in the file: length, type, data, CRC.
struct tChunk {
    int64_t Offset = 0;   // where its length field starts
    uint32_t Length = 0;  // of the data alone
    uint32_t Type = 0;
    int64_t DataOffset() const { return Offset + 8; }
    // Just past its CRC.
    int64_t End() const { return Offset + 12 + int64_t{Length}; }
};

class tChunkReader {
public:
    // Lengths are at most 2^31-1 (ISO/IEC 15948 5.3).
    static constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

    // Reads the signature of the file open at `fd` (`size` bytes long);
    // `name` is for read errors. Raises EDamagedFile when it is no PNG
    // signature.
    tChunkReader(int fd, int64_t size, std::string name);

    // The next chunk; false once IEND was read. Raises EDamagedFile ("a
    // chunk runs past the end of the file", "no IEND chunk", ...) when the
    // file's structure is broken, EFileError when it cannot be read.
    bool Next();
    const tChunk& Chunk() const { return FChunk; }
    // Steps over `length` bytes of whole chunks known to lie next, unread;
    // false (and no step) for none, after IEND, or past the end of the file.
    bool StepOver(int64_t length);
    // At most the first `max` bytes of the current chunk's data.
    std::string ReadData(uint32_t max) const;
    // Just past the last chunk read; after IEND, where trailing bytes start.
    int64_t Position() const { return FPos; }
    int64_t Size() const { return FSize; }
    int Fd() const { return FFd; }

private:
    void Read(char* buffer, size_t n, int64_t offset) const;

    int FFd;
    int64_t FSize;
    std::string FName;
    int64_t FPos = 0;
    tChunk FChunk;
    bool FEnded = false;
};

}  // namespace png
