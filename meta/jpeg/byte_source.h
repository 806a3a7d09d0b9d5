#pragma once
// Buffered byte reader over an open file descriptor or a block of memory: the
// segment walk takes single bytes, and must not cost one system call each.
// Bodies that are not wanted are skipped without being read.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class tByteSource {
public:
    // Reads the file from `start` on with pread, so the descriptor's own
    // position is never used and the same file may be read by others.
    // The first read takes at most `firstRead` bytes: a head is mostly far
    // shorter than the buffer, and the rest of a small file need not be read.
    explicit tByteSource(int fd, int64_t start = 0, size_t firstRead = kBufferSize);
    // The same for a file whose size the caller knows already.
    tByteSource(int fd, int64_t start, int64_t size, size_t firstRead);
    explicit tByteSource(const std::string& bytes)
        : FData(bytes.data()), FLen(bytes.size()), FNext(static_cast<int64_t>(bytes.size())),
          FSize(static_cast<int64_t>(bytes.size()))
    {
    }

    // False at the end of the data.
    bool ReadByte(uint8_t& b)
    {
        if (FPos == FLen && !Refill()) return false;
        b = static_cast<uint8_t>(FData[FPos++]);
        return true;
    }
    // Appends up to n bytes to `out`; returns how many were read.
    size_t Read(std::string& out, size_t n);
    // Passes over up to n bytes without reading them; returns how many.
    uint64_t Skip(uint64_t n);
    // Moves past the next byte of value b; false at the end of the data.
    bool SkipPast(uint8_t b);

    // Offset of the next byte from the start of the data.
    int64_t Offset() const { return FNext - static_cast<int64_t>(FLen - FPos); }
    // Size of the data (of the file when the reader was made).
    int64_t Size() const { return FSize; }
    // The file's bytes from `start` on as the first read gave them, while
    // they are still in the buffer; empty once another read replaced them.
    // Leaves the reader at the end of its data.
    std::string TakeFirstRead();

private:
    bool Refill();

    static constexpr size_t kBufferSize = 64 * 1024;
    int FFd = -1;
    const char* FData = nullptr;
    size_t FPos = 0, FLen = 0;
    int64_t FNext = 0;  // offset of the byte after the buffer
    int64_t FSize = 0;
    size_t FFirstRead = kBufferSize;
    int FReads = 0;
    size_t FFirstGot = 0;
    std::unique_ptr<char[]> FBuffer;
    size_t FCapacity = 0;
};
