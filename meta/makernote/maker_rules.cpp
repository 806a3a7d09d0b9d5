#include "meta/makernote/maker_rules.h"

#include <array>
#include <string>

#include "meta/makernote/maker_tables.h"

namespace {

// The key is this long; shorter makes match nothing.
constexpr size_t kMakeKeyLength = 5;

// Most notes store offsets from the TIFF header of the EXIF block (base
// MakerNotePos - 8 for a directory at offset 0, MakerNotePos for one behind an
// eight-byte header); Fuji counts from the first byte of its note. Nikon notes
// since the D1 and the later Coolpix models are "Nikon\0", a version 2.xx and
// a whole TIFF structure of their own from byte 10.
constexpr std::array<tMakerRule, 10> kRules{{
    {"NIKON", std::string_view("Nikon\0\2", 7), NikonTable2, 0, tMakerBase::OwnHeader, 10, kNoBlockValues,
     tMakerOrder::AsExifBlock},
    {"NIKON", "Nikon", NikonTable1, 8, tMakerBase::FromNotePos, 0, 0, tMakerOrder::AsExifBlock},
    {"NIKON", {}, NikonTable2, 0, tMakerBase::FromNotePos, -8, 0, tMakerOrder::AsExifBlock},
    {"OLYMP", {}, OlympusTable, 8, tMakerBase::FromNotePos, 0, 9, tMakerOrder::AsExifBlock},
    {"CASIO", {}, CasioTable, 0, tMakerBase::FromNotePos, -8, 0, tMakerOrder::AsExifBlock},
    {"FUJIF", {}, FujiTable, 12, tMakerBase::Fixed, 13, 0, tMakerOrder::LittleEndian},
    {"CANON", {}, CanonTable, 0, tMakerBase::FromNotePos, -8, 0, tMakerOrder::AsExifBlock},
    {"SEIKO", {}, SeikoTable, 8, tMakerBase::FromNotePos, 0, 0, tMakerOrder::AsExifBlock},
    {"SANYO", {}, SanyoTable, 8, tMakerBase::FromNotePos, 0, 0, tMakerOrder::AsExifBlock},
    {"MINOL", {}, MinoltaTable, 0, tMakerBase::FromNotePos, -8, 0, tMakerOrder::AsExifBlock},
}};

std::string MakeKey(std::string_view make)
{
    std::string key(make.substr(0, kMakeKeyLength));
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

}  // namespace

std::span<const tMakerRule> MakerRules()
{
    return kRules;
}

const tMakerRule* ChooseMakerRule(std::string_view make, std::string_view makerBytes)
{
    const std::string key = MakeKey(make);
    for (const tMakerRule& rule : kRules)
        if (key == rule.Prefix && makerBytes.starts_with(rule.BytesPrefix)) return &rule;
    return nullptr;
}

tMakerWalk MakerWalkFor(const tMakerRule& rule, int64_t makerNotePos, std::string_view makerBytes)
{
    if (rule.BaseKind == tMakerBase::OwnHeader) {
        // TIFF 6.0 section 2: "II" or "MM", 42, then the first directory's
        // offset; offsets count from the header's first byte.
        const auto header = static_cast<size_t>(rule.Base);
        const std::string_view mark = makerBytes.size() >= header + 8 ? makerBytes.substr(header, 2) : "";
        const bool big = mark == "MM";
        if (!big && mark != "II")
            return {rule.Table(), static_cast<int64_t>(makerBytes.size()), 0, rule.BlockBase, false, false};
        uint32_t offset = 0;
        for (size_t i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned char>(makerBytes[header + 4 + (big ? i : 3 - i)]);
            offset = offset << 8 | byte;
        }
        const int64_t dirOffset = rule.Base + offset;
        return {rule.Table(), dirOffset, dirOffset + 1 - rule.Base, rule.BlockBase, !big, big};
    }
    const int64_t makerBase = rule.BaseKind == tMakerBase::FromNotePos ? makerNotePos + rule.Base : rule.Base;
    return {rule.Table(), rule.DirOffset, makerBase, rule.BlockBase, rule.Order == tMakerOrder::LittleEndian};
}
