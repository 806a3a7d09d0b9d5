// Minolta maker notes: a TIFF directory right at the start of the note.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 2> kRows{
    MakerRow(0x0000, "ModelID"),
    MakerRow(0x0E00, "PIMdata"),
};

}  // namespace

std::span<const TTagEntry> MinoltaTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
