#include "meta/bmff/box_reader.h"

#include <cerrno>
#include <utility>

#include <unistd.h>

namespace {

void Ensure(bool condition, const char* message)
{
    if (!condition) throw EDamagedFile(message);
}

// The largest header: size, type, 64-bit size, user type.
constexpr int64_t kMaxHeader = 4 + 4 + 8 + 16;

}  // namespace

std::string FourCCText(uint32_t code)
{
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(code >> shift);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    return text;
}

std::string tBoxReader::Read(int64_t offset, int64_t length)
{
    Ensure(offset >= 0 && length >= 0 && offset <= FSize && length <= FSize - offset,
           "a box runs past the end of the file");
    FBudget.Keep(length);
    return ReadRaw(offset, length);
}

std::string_view tBoxReader::PayloadView(const tBox& box, std::string& copy)
{
    const int64_t offset = box.Payload(), length = box.PayloadLength();
    if (const auto held = Held(offset, length)) {
        FBudget.Keep(length);
        return *held;
    }
    copy = Read(offset, length);
    return copy;
}

std::optional<std::string_view> tBoxReader::Held(int64_t offset, int64_t length) const
{
    return FHeld ? FHeld->View(offset, length) : std::nullopt;
}

std::string tBoxReader::ReadRaw(int64_t offset, int64_t length)
{
    Ensure(offset >= 0 && length >= 0 && offset <= FSize && length <= FSize - offset,
           "a box runs past the end of the file");
    if (const auto held = Held(offset, length)) return std::string(*held);
    std::string bytes(static_cast<size_t>(length), '\0');
    ReadInto(bytes.data(), offset, length);
    return bytes;
}

void tBoxReader::ReadInto(char* buffer, int64_t offset, int64_t length)
{
    for (int64_t got = 0; got < length;) {
        const ssize_t n = ::pread(FFd, buffer + got, static_cast<size_t>(length - got), static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        // The file was shorter than its size said, or cannot be read: what it holds is unknown.
        Ensure(n > 0, "the file could not be read to its end");
        got += n;
    }
}

void tBoxReader::Hold(const tBox& box)
{
    // Bounded by its own cap, not charged to the budget.
    if (box.Length > kMaxHeldBytes) return;
    Ensure(box.Offset >= 0 && box.Length >= 0 && box.Length <= FSize - box.Offset, "a box runs past the end of the file");
    Release();
    auto held = std::make_shared<tFileBytes>(box.Offset, static_cast<size_t>(box.Length));
    ReadInto(held->Data(), box.Offset, box.Length);
    FHeld = std::move(held);
}

void tBoxReader::Release()
{
    FHeld.reset();
}

std::vector<tBox> tBoxReader::TopLevel()
{
    return BoxesIn(0, FSize, 0, true);
}

std::vector<tBox> tBoxReader::Children(const tBox& parent, int64_t skip, bool toEndAllowed)
{
    Ensure(skip >= 0 && skip <= parent.PayloadLength(), "a box ends inside its fields");
    return BoxesIn(parent.Payload() + skip, parent.End(), parent.Depth + 1, toEndAllowed);
}

std::vector<tBox> tBoxReader::BoxesIn(int64_t begin, int64_t end, int depth, bool toEndAllowed)
{
    Ensure(depth <= kMaxBoxDepth, "boxes nested too deep");
    Ensure(begin >= 0 && begin <= end && end <= FSize, "a box runs past the end of the file");
    std::vector<tBox> boxes;
    for (int64_t at = begin; at < end;) {
        FBudget.ReadHeader();
        const int64_t room = end - at;
        Ensure(room >= 8, "a box header runs past the end of its parent");
        // Only the header is read: payloads (mdat above all) stay on disk.
        const int64_t headerBytes = room < kMaxHeader ? room : kMaxHeader;
        // (Headers are counted as boxes, not as bytes kept.)
        const std::string head = ReadRaw(at, headerBytes);
        tBoxCursor c(head, "a box header runs past the end of its parent");
        tBox box;
        box.Offset = at;
        box.Depth = depth;
        const uint64_t size = c.U32();
        box.Type = c.U32();
        if (size == 1) {
            box.LargeSize = true;
            const uint64_t large = c.U64();
            Ensure(large <= static_cast<uint64_t>(INT64_MAX), "a box runs past the end of its parent");
            box.Length = static_cast<int64_t>(large);
        } else if (size == 0) {
            Ensure(toEndAllowed, "a box without a size where its parent needs one");
            box.ToEnd = true;
            box.Length = room;
        } else {
            box.Length = static_cast<int64_t>(size);
        }
        if (box.Type == FourCC("uuid")) box.UserType = std::string(c.Take(16));
        box.HeaderLength = static_cast<int64_t>(c.Pos());
        Ensure(box.Length >= box.HeaderLength, "a box smaller than its header");
        Ensure(box.Length <= FSize - at, "a box runs past the end of the file");
        Ensure(box.Length <= room, "a box runs past the end of its parent");
        boxes.push_back(box);
        at += box.Length;
    }
    return boxes;
}

tFullBox tBoxReader::FullBox(const tBox& box)
{
    Ensure(box.PayloadLength() >= 4, "a box ends inside its fields");
    const std::string bytes = Read(box.Payload(), 4);
    tBoxCursor c(bytes);
    tFullBox full;
    full.Version = c.U8();
    full.Flags = static_cast<uint32_t>(c.UInt(3));
    return full;
}

uint64_t tBoxCursor::UInt(size_t size)
{
    const std::string_view bytes = Take(size > 8 ? 9 : size);
    uint64_t value = 0;
    for (char b : bytes) value = value << 8 | static_cast<unsigned char>(b);
    return value;
}

std::string tBoxCursor::CString()
{
    const size_t nul = FBytes.find('\0', FPos);
    const size_t n = (nul == std::string_view::npos ? FBytes.size() : nul) - FPos;
    std::string text(FBytes.substr(FPos, n));
    FPos += n;
    if (FPos < FBytes.size()) ++FPos;
    return text;
}

std::string_view tBoxCursor::Take(size_t n)
{
    if (n > Left()) throw EDamagedFile(FWhat);
    const std::string_view bytes = FBytes.substr(FPos, n);
    FPos += n;
    return bytes;
}

std::string BigEndian(uint64_t value, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = size; i-- > 0; value >>= 8) bytes[i] = static_cast<char>(value & 0xFF);
    return bytes;
}

std::string BoxHeader(uint32_t type, uint64_t payloadLength, bool large)
{
    if (!large && payloadLength <= 0xFFFFFFFFull - 8) return BigEndian(payloadLength + 8, 4) + BigEndian(type, 4);
    return BigEndian(1, 4) + BigEndian(type, 4) + BigEndian(payloadLength + 16, 8);
}
