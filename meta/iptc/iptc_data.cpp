#include "meta/iptc/iptc_data.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "meta/iptc/iptc_table.h"

namespace {

// Lists grow by this many slots at a time, keeping one slot spare.
constexpr int32_t kGrowthStep = 25;

constexpr std::string_view kSignature{"Photoshop 3.0"};
// Photoshop image resources: "8BIM", 2-byte id, Pascal name padded to an even
// length, 4-byte size, data padded to an even length. 0x0404 holds IPTC-IIM.
constexpr std::string_view kResourceType{"8BIM"};
constexpr uint16_t kIptcResource = 0x0404;
// A block without the signature is searched for records from this offset on.
constexpr size_t kUnsignedSearchStart = 12;
constexpr char kTagMarker = 0x1C;  // IPTC IIM 4.2: every dataset starts with it
// Tag marker, record number, dataset number, 2-byte length (IPTC IIM 4.2, 1.5.1).
constexpr size_t kRecordHeader = 5;
// IPTC IIM 4.2, 1.5.2: with the top bit set, the low 15 bits of the length
// field count the bytes of the real length that follows it. Lengths past 32
// bits could never be data inside one block.
constexpr uint16_t kExtendedLength = 0x8000;
constexpr size_t kMaxLengthBytes = 4;

// Names fold ASCII letters only; other bytes (Windows-1252 letters among
// them) compare as they are.
char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

std::string FoldedName(std::string_view name)
{
    std::string out(name);
    for (char& c : out) c = FoldAscii(c);
    return out;
}

bool IsKnownRecord(uint8_t recordNo) { return recordNo == 2 || recordNo == 8; }

// Big-endian unsigned number of `count` (at most 8) bytes at `pos`; the caller
// has checked that they lie inside `bytes`.
uint64_t ReadBigEndian(std::string_view bytes, size_t pos, size_t count)
{
    uint64_t v = 0;
    for (size_t i = 0; i < count; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[pos + i]);
    return v;
}

// Where the records stand: [Begin, End) of the block.
struct tRecordSpan {
    size_t Begin, End;
};

// Walks the image resources from `pos` to the first 0x0404 and gives its
// data, cut at the end of the block when its size runs past it. A list
// without 0x0404 gives an empty span; bytes that are no resource list up to
// 0x0404 give nothing.
std::optional<tRecordSpan> FindIptcResource(std::string_view block, size_t pos)
{
    const size_t n = block.size();
    while (pos < n) {
        // Type, id and the name's length byte.
        if (n - pos < 7 || block.substr(pos, 4) != kResourceType) return std::nullopt;
        const auto id = static_cast<uint16_t>(ReadBigEndian(block, pos + 4, 2));
        pos += 6;
        const size_t nameLength = static_cast<uint8_t>(block[pos]);
        const size_t nameField = nameLength + 1 + (nameLength + 1) % 2;
        if (n - pos < nameField + 4) return std::nullopt;
        pos += nameField;
        const uint64_t size = ReadBigEndian(block, pos, 4);
        pos += 4;
        if (id == kIptcResource)
            return tRecordSpan{pos, pos + static_cast<size_t>(std::min<uint64_t>(size, n - pos))};
        if (size > n - pos) return std::nullopt;
        pos += static_cast<size_t>(size) + size % 2;
    }
    return tRecordSpan{n, n};
}

// The records of a block: the data of its IPTC resource when it holds a
// well-formed resource list; in a block without one, from the first 1C 02 or
// 1C 08 after the signature (or offset 12 without one) to the end.
tRecordSpan LocateRecords(std::string_view block)
{
    const size_t n = block.size();
    const size_t signature = block.find(kSignature);
    if (signature != std::string_view::npos) {
        const size_t terminator = signature + kSignature.size();
        if (terminator < n && block[terminator] == '\0')
            if (const auto resource = FindIptcResource(block, terminator + 1)) return *resource;
    }
    size_t k = signature == std::string_view::npos ? kUnsignedSearchStart : signature + kSignature.size();
    while (k < n && !(block[k] == kTagMarker && k + 1 < n && IsKnownRecord(static_cast<uint8_t>(block[k + 1])))) ++k;
    return {std::min(k, n), n};
}

// The entry a record of the file becomes: a copy of its table row with the
// data as value, or a blank entry (dataset 0) for the record version, other
// records and datasets the table does not know.
TTagEntry EntryForRecord(uint8_t recordNo, uint8_t datasetNo, std::string data)
{
    if (!IsKnownRecord(recordNo)) return BlankTag;
    for (const tIptcDataset& row : IPTCTable) {
        if (row.RecordNo != recordNo || row.TagNo != datasetNo) continue;
        if (row.TagName == "SKIP") return BlankTag;
        TTagEntry entry = IptcEntryFromRow(row);
        entry.Text = std::move(data);
        return entry;
    }
    return BlankTag;
}

}  // namespace

TIPTCdata::TIPTCdata(IIptcOwner* parent) : Parent(parent) {}
TIPTCdata::~TIPTCdata() = default;

void TIPTCdata::SetTagCount(int32_t count)
{
    count = std::clamp(count, 0, FTagCount);
    for (int32_t i = count; i < FTagCount; ++i) FTagList[i] = BlankTag;
    FTagCount = count;
    IndexNames();
}

void TIPTCdata::IndexNames()
{
    FFirstEntry.clear();
    for (int32_t i = 0; i < FTagCount; ++i) FFirstEntry.try_emplace(FoldedName(FTagList[i].TagName), i);
}

TTagEntry TIPTCdata::GetEntry(int32_t index) const
{
    if (index < 0 || index >= FTagCount) return BlankTag;
    return FTagList[index];
}

int32_t TIPTCdata::AddEntry(const TTagEntry& entry)
{
    if (entry.TagNo != 0) {
        if (FTagCount >= TagCapacity() - 1) {
            // The visible slots grow by 25; the storage under them doubles,
            // so long lists are not copied again every 25 entries.
            const size_t slots = FTagList.size() + kGrowthStep;
            if (slots > FTagList.capacity()) FTagList.reserve(std::max(slots, 2 * FTagList.capacity()));
            FTagList.resize(slots);
        }
        FTagList[FTagCount] = entry;
        FFirstEntry.try_emplace(FoldedName(entry.TagName), FTagCount);
        ++FTagCount;
    }
    return FTagCount - 1;
}

int32_t TIPTCdata::TableIndexByName(const std::string& name)
{
    for (int32_t row = 0; row < kIptcTableSize; ++row)
        if (SameName(IPTCTable[row].TagName, name)) return row;
    return -1;
}

int32_t TIPTCdata::LookupTag(const std::string& name) const
{
    const auto it = FFirstEntry.find(FoldedName(name));
    return it != FFirstEntry.end() ? it->second : -1;
}

void TIPTCdata::RemoveTag(const std::string& name)
{
    const int32_t i = LookupTag(name);
    if (i < 0) return;
    std::move(FTagList.begin() + i + 1, FTagList.begin() + FTagCount, FTagList.begin() + i);
    --FTagCount;
    FTagList[FTagCount] = BlankTag;
    IndexNames();  // the entries after i moved
}

int32_t TIPTCdata::SetTagValue(const std::string& name, const std::string& value)
{
    const int32_t i = LookupTag(name);
    if (i >= 0) {
        // An empty value never wipes a held one.
        if (!value.empty()) FTagList[i].Text = value;
        return i;
    }
    const int32_t row = TableIndexByName(name);
    if (row < 0) return -1;
    TTagEntry entry = IptcEntryFromRow(IPTCTable[row]);
    entry.Text = value;
    return AddEntry(entry);
}

int32_t TIPTCdata::AddOrAppendTag(const std::string& name, const std::string& value)
{
    const int32_t i = LookupTag(name);
    if (i < 0) return SetTagValue(name, value);
    if (!value.empty()) FTagList[i].Text.append(",").append(value);
    return i;
}

// Repeatable datasets collect their values; the others take the new value.
int32_t TIPTCdata::SetTagByName(const std::string& name, const std::string& value)
{
    const int32_t row = TableIndexByName(name);
    if (row < 0) return -1;
    const tIptcDataset& dataset = IPTCTable[row];
    if (dataset.RecordNo == 2 && IsIptcMultiTag(dataset.TagNo)) return AddOrAppendTag(name, value);
    return SetTagValue(name, value);
}

std::string TIPTCdata::GetTagValue(const std::string& name, const std::string& defaultValue) const
{
    const int32_t i = LookupTag(name);
    return i >= 0 ? FTagList[i].Text : defaultValue;
}

void TIPTCdata::Clear()
{
    std::fill(FTagList.begin(), FTagList.end(), BlankTag);
    FTagCount = 0;
    FFirstEntry.clear();
}

// The parent's scan starts by freeing the container it owns, which may be
// this very object; so nothing of `this` is touched once the scan has begun,
// and the segment is parsed into the container the parent holds afterwards.
// A container the parent does not own survives the scan and gets the
// datasets too.
bool TIPTCdata::ReadFile(const std::string& fileName)
{
    Clear();
    IIptcOwner* const parent = Parent;
    if (parent == nullptr) return false;
    const bool survivesScan = parent->HeldIptc() != this;

    const std::string* const block = parent->ScanForIptc(fileName);

    TIPTCdata* const held = parent->HeldIptc();
    if (block != nullptr && held != nullptr) held->ParseSegment(*block);
    if (survivesScan) {
        if (block != nullptr) ParseSegment(*block);
        return HasData();
    }
    return held != nullptr && held->HasData();
}

void TIPTCdata::ParseSegment(const std::string& bytes)
{
    Clear();
    // The call's own copy: what is parsed cannot change under the edits the
    // parse makes, and two containers may parse at once.
    const std::string buffer = bytes;
    const tRecordSpan span = LocateRecords(buffer);
    const std::string_view records = std::string_view(buffer).substr(span.Begin, span.End - span.Begin);
    auto byteAt = [records](size_t pos) { return static_cast<uint8_t>(records[pos]); };

    size_t at = 0;  // the tag marker of the current record
    while (records.size() - at >= kRecordHeader && records[at] == kTagMarker) {
        const uint8_t recordNo = byteAt(at + 1);
        const uint8_t datasetNo = byteAt(at + 2);
        const auto field = static_cast<uint16_t>(ReadBigEndian(records, at + 3, 2));
        size_t pos = at + kRecordHeader;
        uint64_t length = field;
        if (field & kExtendedLength) {
            const size_t lengthBytes = field & ~kExtendedLength;
            if (lengthBytes == 0 || lengthBytes > kMaxLengthBytes || lengthBytes > records.size() - pos) break;
            length = ReadBigEndian(records, pos, lengthBytes);
            pos += lengthBytes;
        }
        // A length past the end keeps the bytes that are there and ends the records.
        const size_t available = records.size() - pos;
        const auto taken = static_cast<size_t>(std::min<uint64_t>(length, available));
        TTagEntry entry = EntryForRecord(recordNo, datasetNo, std::string(records.substr(pos, taken)));
        if (IsIptcMultiTag(entry.TagNo))
            AddOrAppendTag(entry.TagName, entry.Text);
        else
            AddEntry(entry);
        if (length > available) break;
        at = pos + taken;
    }
}
