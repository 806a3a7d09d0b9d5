#pragma once
// Which maker layout applies: a table of rules keyed by the first five
// characters of the camera make, tried top to bottom.

#include <cstdint>
#include <span>
#include <string_view>

#include "meta/exif/tag_entry.h"

// How the maker base of a walk is found.
enum class tMakerBase {
    FromNotePos,  // MakerNotePos + Base: value offsets count from the TIFF header
    Fixed,        // Base as is: value offsets count from the note's first byte
    OwnHeader,    // Base is where the note's own TIFF header stands: byte order,
                  // directory and value offsets all come from it
};

// BlockBase of notes whose values all lie inside the note: none is read
// from the EXIF block.
inline constexpr int64_t kNoBlockValues = INT64_MIN / 2;

enum class tMakerOrder { AsExifBlock, LittleEndian };

struct tMakerRule {
    std::string_view Prefix;       // first five characters of the make, upper case
    std::string_view BytesPrefix;  // the note must begin with these bytes (case-sensitive); empty: any
    std::span<const TTagEntry> (*Table)();
    int64_t DirOffset;             // where the entry count stands, from 0 at the first note byte
    tMakerBase BaseKind;
    int64_t Base;
    int64_t BlockBase;             // where values outside the note are read in the EXIF block
    tMakerOrder Order;
};

// The arguments of one WalkMakerDirectory call.
struct tMakerWalk {
    std::span<const TTagEntry> Table;
    int64_t DirOffset;
    int64_t MakerBase;
    int64_t BlockBase;
    bool LittleEndian;
    bool BigEndian = false;  // with LittleEndian false: big-endian whatever the block's order
};

std::span<const tMakerRule> MakerRules();

// The first rule for this make and note, or nullptr when no rule knows the make
// (also for a make shorter than five characters).
const tMakerRule* ChooseMakerRule(std::string_view make, std::string_view makerBytes);

// `makerBytes` is read for an OwnHeader rule only; a header that is not
// there gives a directory offset past the note, which the walk reports.
tMakerWalk MakerWalkFor(const tMakerRule& rule, int64_t makerNotePos, std::string_view makerBytes = {});
