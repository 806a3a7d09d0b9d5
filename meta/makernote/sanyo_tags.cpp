// Sanyo maker notes, behind an eight-byte header.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 6> kRows{
    MakerRow(0x0200, "Special Mode"),
    MakerRow(0x0201, "JpegQuality"),
    MakerRow(0x0202, "Macro"),
    MakerRow(0x0203, "Skip"),
    MakerRow(0x0204, "DigiZoom"),
    MakerRow(0x0F00, "DataDump"),
};

}  // namespace

std::span<const TTagEntry> SanyoTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
