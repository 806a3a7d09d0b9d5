#pragma once
// The IPTC-IIM datasets the container knows (IPTC IIM 4.2: the application
// record 2 and the one dataset of record 8 it keeps).

#include <array>
#include <cstdint>
#include <string_view>

#include "meta/exif/tag_entry.h"

struct tIptcDataset {
    uint16_t RecordNo;
    uint16_t TagNo;  // the dataset number
    std::string_view TagName;
    std::string_view Label;
    int32_t MaxLength;  // carried, never enforced
};

constexpr int32_t kIptcTableSize = 32;

// Row 0 ("SKIP", 2:0) is the record version: read files drop it and the writer
// always emits its own.
extern const std::array<tIptcDataset, kIptcTableSize> IPTCTable;

// Datasets a file may repeat; the container joins their values with ",".
// Membership looks at the dataset number alone.
constexpr std::array<uint16_t, 2> IPTCMultiTags{20, 25};

bool IsIptcMultiTag(uint32_t datasetNo);

// A fresh entry copied from a table row, with an empty value.
TTagEntry IptcEntryFromRow(const tIptcDataset& row);
