#pragma once
// The MPF index of a multi-picture file (CIPA DC-007): an APP2 block "MPF"
// whose MP entries give the size and place of each picture, the places
// counted from the block's own TIFF header.

#include <cstdint>
#include <string>
#include <vector>

struct tMpfEntry {
    size_t At = 0;        // index in the block's bytes of the entry's 16 bytes
    uint32_t Size = 0;
    uint32_t Offset = 0;  // from the MP header; 0 for the first picture
};

// The MP entries of an MPF block held from its length field on. Entries that
// do not lie inside the block are not returned; a block that cannot be read
// gives none. `bigEndian` is the block's byte order.
std::vector<tMpfEntry> ReadMpfEntries(const std::string& bytes, bool& bigEndian);

// Writes an entry's size and offset back into the block.
void WriteMpfEntry(std::string& bytes, const tMpfEntry& entry, bool bigEndian);

// Where the MP header stands in the held bytes: after the length field and "MPF\0".
constexpr int64_t kMpfHeaderAt = 6;
