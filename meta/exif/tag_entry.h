#pragma once
// The one record type for a metadata tag: a row of every static tag table
// (EXIF, GPS, maker notes, IPTC) and an entry of every decoded list.

#include <cstdint>
#include <string>

// Rendering hook: takes the rendered text, gives the text to show.
using TTagHook = std::string (*)(const std::string&);

struct TTagEntry {
    int32_t Origin = 0;        // 1 for entries added by the maker-directory walk
    uint16_t FieldType = 0;    // TIFF field type of a decoded value (1..12)
    uint16_t RecordNo = 0;     // IPTC record number
    uint16_t TagNo = 0;        // 0 names no tag; such entries enter no list
    std::string TagName;       // compared ignoring ASCII case
    std::string Label;         // display name (IPTC: the description)
    std::string ValueCodes;    // "n:word,n:word"
    std::string Text;          // rendered value (IPTC: the data bytes)
    std::string RawBytes;      // value bytes as stored
    std::string Template;      // printf-style format template
    int32_t MaxLength = 0;     // IPTC maximum dataset length
    TTagHook Hook = nullptr;
};

// Every field empty or zero; lookups that find nothing hand out a copy.
extern const TTagEntry BlankTag;
