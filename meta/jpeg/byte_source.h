#pragma once
// Buffered byte reader over an open file descriptor or a block of memory: the
// segment walk takes single bytes, and must not cost one system call each.

#include <cstddef>
#include <cstdint>
#include <string>

class tByteSource {
public:
    explicit tByteSource(int fd) : FFd(fd) {}
    explicit tByteSource(const std::string& bytes)
        : FData(bytes.data()), FLen(bytes.size()) {}

    // False at the end of the data.
    bool ReadByte(uint8_t& b)
    {
        if (FPos == FLen && !Refill()) return false;
        b = static_cast<uint8_t>(FData[FPos++]);
        return true;
    }
    // Appends up to n bytes to `out`; returns how many were read.
    size_t Read(std::string& out, size_t n);

private:
    bool Refill();

    static constexpr size_t kBufferSize = 64 * 1024;
    int FFd = -1;
    const char* FData = nullptr;
    size_t FPos = 0, FLen = 0;
    std::string FBuffer;
};
