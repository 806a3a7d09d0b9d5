#pragma once
// Byte-order aware access to a block of metadata bytes, shared by the JPEG
// container and the EXIF decoder. Positions are 1-based throughout the
// metadata library: in an APP1 segment as stored, bytes 1-2 are the length,
// "Exif" stands at 3-6 and the TIFF header starts at 9.

#include <cstdint>
#include <stdexcept>
#include <string>

// The metadata library's one exception type; its message is what the user sees.
class EMetaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Keeps parse code linear: each check reads as a precondition.
inline void Ensure(bool condition, const char* message)
{
    if (!condition) throw EMetaError(message);
}

inline void Ensure(bool condition, const std::string& message)
{
    if (!condition) throw EMetaError(message);
}

// True when `count` bytes from 1-based position `pos` lie inside `bytes`.
// Written by subtraction, so no sum can wrap.
inline bool Fits(const std::string& bytes, int64_t pos, int64_t count)
{
    const auto size = static_cast<int64_t>(bytes.size());
    return pos >= 1 && count >= 0 && count <= size && pos - 1 <= size - count;
}

// Clamped copy of `count` bytes from 1-based position `pos`. Never fails: a
// position below 1 counts as 1, the copy stops at the end of `bytes`, and a
// start past the end or a negative count gives no bytes.
std::string CopyBytes(const std::string& bytes, int64_t pos, int64_t count);

class tEndInd {
public:
    virtual ~tEndInd() = default;

    bool BigEndian = false;  // true for "MM" data, false for "II"
    std::string Block;       // bytes addressed with 1-based positions

    // Raise EMetaError when a byte to be read lies outside Block.
    uint16_t GetUInt16(int64_t pos) const;
    int32_t GetUInt32(int64_t pos) const;

    // Stores v at 1-based position pos of `bytes` in this object's byte order.
    // `bytes` is a value (std::string), so other holders keep their content.
    // Raises EMetaError when the four bytes do not lie inside `bytes`.
    void PutUInt32(std::string& bytes, uint32_t v, int64_t pos) const;
};
