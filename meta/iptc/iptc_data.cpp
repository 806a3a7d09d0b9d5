#include "meta/iptc/iptc_data.h"

#include <algorithm>
#include <string_view>

#include "meta/iptc/iptc_table.h"

namespace {

// Lists grow by this many slots at a time, keeping one slot spare.
constexpr int32_t kGrowthStep = 25;

constexpr std::string_view kSignature{"Photoshop 3.0"};
// A block without the signature is searched for records from this offset on.
constexpr size_t kUnsignedSearchStart = 12;
constexpr char kTagMarker = 0x1C;  // IPTC IIM 4.2: every dataset starts with it

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
    const size_t n = buffer.size();
    auto byteAt = [&buffer](size_t pos) { return static_cast<uint8_t>(buffer[pos]); };

    // Resource headers are not read: the first 1C 02 or 1C 08 after the
    // signature starts the records, which run to the end of the block.
    const size_t signature = buffer.find(kSignature);
    size_t k = signature == std::string::npos ? kUnsignedSearchStart : signature + kSignature.size();
    while (k < n && !(buffer[k] == kTagMarker && k + 1 < n && IsKnownRecord(byteAt(k + 1)))) ++k;
    if (k >= n) return;

    size_t q = k + 1;  // the record-number byte of the current record
    while (q < n && n - q >= 4) {
        const uint8_t recordNo = byteAt(q);
        const uint8_t datasetNo = byteAt(q + 1);
        const size_t length = size_t{byteAt(q + 2)} * 256 + byteAt(q + 3);
        // A length past the end keeps the bytes that are there.
        TTagEntry entry = EntryForRecord(recordNo, datasetNo, buffer.substr(q + 4, length));
        if (IsIptcMultiTag(entry.TagNo))
            AddOrAppendTag(entry.TagName, entry.Text);
        else
            AddEntry(entry);
        // Skip the byte where the next record's 1C stands, unread.
        q += 4 + length + 1;
    }
}
