#pragma once
// Boxes of an ISO base media file (ISO/IEC 14496-12, 4.2): size, type, an
// optional 64-bit size and a uuid type, read from an open file by offset.
// Every size is checked against its parent and the file; a size that does not
// fit is a damaged file, never a guess. Knows no box's contents: HEIF
// pictures and MP4 movies read theirs through tBoxCursor.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "meta/bmff/box_budget.h"
#include "meta/clean/plan.h"

// A four-character code as a number: FourCC("meta").
constexpr uint32_t FourCC(const char (&code)[5])
{
    return uint32_t{static_cast<unsigned char>(code[0])} << 24 | uint32_t{static_cast<unsigned char>(code[1])} << 16 |
           uint32_t{static_cast<unsigned char>(code[2])} << 8 | uint32_t{static_cast<unsigned char>(code[3])};
}
// "meta"; bytes that are no printable ASCII as "\xNN".
std::string FourCCText(uint32_t code);

struct tBox {
    uint32_t Type = 0;
    std::string UserType;     // the 16 bytes after a "uuid" type; empty for other types
    int64_t Offset = 0;       // where its size field stands in the file
    int64_t HeaderLength = 0;  // size, type, large size, user type
    int64_t Length = 0;       // the whole box, header included
    bool LargeSize = false;   // size 1: a 64-bit size follows the type
    bool ToEnd = false;       // size 0: it runs to the end of its parent (the file)
    int Depth = 0;            // 0 for a box at the top of the file

    int64_t Payload() const { return Offset + HeaderLength; }
    int64_t PayloadLength() const { return Length - HeaderLength; }
    int64_t End() const { return Offset + Length; }
};

// The version and flags of a full box (ISO/IEC 14496-12, 4.2), before its fields.
struct tFullBox {
    uint8_t Version = 0;
    uint32_t Flags = 0;
};

class tBoxReader {
public:
    // Reads the file open at `fd`, `fileSize` bytes long; the descriptor stays the caller's.
    tBoxReader(int fd, int64_t fileSize) : FFd(fd), FSize(fileSize) {}

    int64_t FileSize() const { return FSize; }
    tBoxBudget& Budget() { return FBudget; }

    // The boxes of the whole file, in file order. The last may have size 0 (to the end).
    std::vector<tBox> TopLevel();
    // The boxes in `parent` from `skip` bytes into its payload (a full box's
    // version and flags, an entry count) to its end, in file order. A box of
    // size 0 is allowed only with `toEndAllowed`, as the last one.
    std::vector<tBox> Children(const tBox& parent, int64_t skip = 0, bool toEndAllowed = false);
    // The boxes in [begin, end) at `depth`; what the two above use.
    std::vector<tBox> BoxesIn(int64_t begin, int64_t end, int depth, bool toEndAllowed);

    // `length` bytes at `offset`, charged to the budget; EDamagedFile when
    // they are not all in the file.
    std::string Read(int64_t offset, int64_t length);
    // The whole payload of `box`.
    std::string Payload(const tBox& box) { return Read(box.Payload(), box.PayloadLength()); }
    // The same, as a view of the held box (see Hold) when it lies inside
    // it, else of `copy`, which it is read into.
    std::string_view PayloadView(const tBox& box, std::string& copy);
    // Version and flags at the start of `box`'s payload.
    tFullBox FullBox(const tBox& box);

    // Reads `box` whole, when it is at most kMaxHeldBytes long: reads inside
    // it then come from memory, and walking the hundreds of boxes a movie
    // box holds costs one read instead of one each.
    void Hold(const tBox& box);
    static constexpr int64_t kMaxHeldBytes = 4 << 20;
    // Lets the held box go.
    void Release();
    // The bytes [offset, offset + length) when they lie inside the held box.
    std::optional<std::string_view> Held(int64_t offset, int64_t length) const;
    // The held box's bytes, which may outlive the reader; null when none.
    std::shared_ptr<const tFileBytes> HeldBytes() const { return FHeld; }

private:
    std::string ReadRaw(int64_t offset, int64_t length);
    void ReadInto(char* buffer, int64_t offset, int64_t length);

    int FFd;
    int64_t FSize;
    tBoxBudget FBudget;
    std::shared_ptr<tFileBytes> FHeld;
};

// A checked big-endian reader over bytes already read (a box's payload):
// every read that would pass the end raises EDamagedFile with `what`.
class tBoxCursor {
public:
    explicit tBoxCursor(std::string_view bytes, const char* what = "a box ends inside its fields")
        : FBytes(bytes), FWhat(what)
    {
    }
    // The bytes must outlive the cursor: never a temporary.
    tBoxCursor(std::string&& bytes, const char* what = nullptr) = delete;

    uint8_t U8() { return static_cast<uint8_t>(UInt(1)); }
    uint16_t U16() { return static_cast<uint16_t>(UInt(2)); }
    uint32_t U32() { return static_cast<uint32_t>(UInt(4)); }
    uint64_t U64() { return UInt(8); }
    // An unsigned field of `size` bytes (0 to 8); a field of size 0 is 0.
    uint64_t UInt(size_t size);
    // A string to its NUL, or to the end when the writer left the NUL out.
    std::string CString();
    std::string_view Take(size_t n);
    void Skip(size_t n) { Take(n); }

    size_t Pos() const { return FPos; }
    size_t Left() const { return FBytes.size() - FPos; }
    bool AtEnd() const { return FPos == FBytes.size(); }

private:
    std::string_view FBytes;
    size_t FPos = 0;
    const char* FWhat;
};

// The big-endian bytes of `value` in `size` bytes (size 0: none).
std::string BigEndian(uint64_t value, size_t size);
// A box header for `type` with a payload of `payloadLength` bytes: 32-bit size,
// or 64-bit when it does not fit (or `large`).
std::string BoxHeader(uint32_t type, uint64_t payloadLength, bool large = false);
