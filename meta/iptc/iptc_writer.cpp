// The writing side of the IPTC container: the APP13 payload and the file.

#include <string_view>

#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/iptc/iptc_table.h"

namespace {

using namespace std::string_view_literals;

// Signature, "8BIM", resource 0x0404 (IPTC-IIM), empty name, high half of the
// 4-byte size; the low half follows.
constexpr std::string_view kPayloadHead = "Photoshop 3.0\0" "8BIM\x04\x04\0\0" "\0\0"sv;
// IPTC IIM 4.2 requires 2:0 first; version 2.
constexpr std::string_view kRecordVersion = "\x00\x02"sv;
// Photoshop resource data is padded to an even length.
constexpr std::string_view kPad = "\0"sv;
// The URL resource 0x040B, empty name, size 0.
constexpr std::string_view kUrlBlock = "8BIM\x04\x0B\0\0" "\0\0\0\0"sv;

// The APP13 length counts itself (2 bytes) and must fit 16 bits.
constexpr size_t kMaxPayload = 65533;
// IPTC IIM 4.2, 1.5.2: a plain length field holds up to 32767; its top bit
// marks the extended form, here 0x8004 and a 4-byte length.
constexpr size_t kMaxPlainLength = 0x7FFF;
constexpr size_t kExtendedLengthField = 0x8004;
constexpr size_t kRecordHeader = 5;
constexpr size_t kExtendedRecordHeader = kRecordHeader + 4;
// What every payload holds besides the records and the pad: head, size, the
// record-version record and the URL block.
constexpr size_t kFixedPayload = kPayloadHead.size() + 2 + kRecordHeader + kRecordVersion.size() + kUrlBlock.size();
// Records beyond this cannot fit one segment, whatever else it holds.
constexpr size_t kMaxRecords = kMaxPayload - kFixedPayload;
constexpr size_t kMaxRecordValue = kMaxRecords - kExtendedRecordHeader;

constexpr const char* kTooLarge = "IPTC data too large";

// Bytes 0..32 are blanks here: controls and space.
std::string_view Trim(std::string_view s)
{
    auto blank = [](char c) { return static_cast<uint8_t>(c) <= 32; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

void AppendUInt16BE(std::string& out, size_t v)
{
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
    out.push_back(static_cast<char>(v & 0xFF));
}

void AppendUInt32BE(std::string& out, size_t v)
{
    AppendUInt16BE(out, v >> 16);
    AppendUInt16BE(out, v & 0xFFFF);
}

}  // namespace

std::string TIPTCdata::EncodeRecord(uint16_t recordNo, uint16_t datasetNo, const std::string& value)
{
    // A value that could not fit one APP13 segment even alone is refused
    // before it is copied.
    Ensure(value.size() <= kMaxRecordValue, kTooLarge);
    std::string out;
    out.reserve(kExtendedRecordHeader + value.size());
    out.push_back(0x1C);
    out.push_back(static_cast<char>(recordNo & 0xFF));
    out.push_back(static_cast<char>(datasetNo & 0xFF));
    if (value.size() <= kMaxPlainLength) {
        AppendUInt16BE(out, value.size());
    } else {
        AppendUInt16BE(out, kExtendedLengthField);
        AppendUInt32BE(out, value.size());
    }
    out += value;
    return out;
}

// "a, b" gives a and b; "a,,b" gives a, an empty record and b; a value without
// a comma is written untouched.
std::string TIPTCdata::EncodeMultiValue(uint16_t recordNo, uint16_t datasetNo, const std::string& value)
{
    std::string out;
    std::string_view rest = value;
    while (!Trim(rest).empty()) {
        const size_t comma = rest.find(',');
        std::string_view piece;
        if (comma != std::string_view::npos) {
            piece = Trim(rest.substr(0, comma));
            rest = Trim(rest.substr(comma + 1));
        } else {
            piece = rest;
            rest = {};
        }
        out += EncodeRecord(recordNo, datasetNo, std::string(piece));
    }
    return out;
}

std::string TIPTCdata::BuildSegmentPayload() const
{
    std::string records;
    for (int32_t i = 0; i < FTagCount; ++i) {
        const TTagEntry& entry = FTagList[i];
        if (entry.RecordNo == 2 && IsIptcMultiTag(entry.TagNo))
            records += EncodeMultiValue(entry.RecordNo, entry.TagNo, entry.Text);
        else
            records += EncodeRecord(entry.RecordNo, entry.TagNo, entry.Text);
        // Stop as soon as the list cannot fit, not after encoding all of it.
        Ensure(records.size() <= kMaxRecords, kTooLarge);
    }
    // The version record is 7 bytes, so an even record run needs the pad to
    // make the resource data even.
    if (records.size() % 2 == 0) records += kPad;

    const std::string version = EncodeRecord(2, 0, std::string(kRecordVersion));
    const size_t size = version.size() + records.size();
    const size_t total = kPayloadHead.size() + 2 + size + kUrlBlock.size();
    Ensure(total <= kMaxPayload, kTooLarge);  // the pad may be the byte too many

    std::string payload;
    payload.reserve(total);
    payload += kPayloadHead;
    AppendUInt16BE(payload, size);
    payload += version;
    payload += records;
    payload += kUrlBlock;
    return payload;
}

void TIPTCdata::WriteFile(const std::string& target, const std::string& source)
{
    Ensure(Parent != nullptr, "IPTC container has no image");
    // A list too large for one segment fails here, before the parent changes.
    Parent->WriteWithIptc(BuildSegmentPayload(), target, source);
}
