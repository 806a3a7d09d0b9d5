// Seiko (Epson) maker notes, behind an eight-byte header.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 12> kRows{
    MakerRow(0x0200, "Special Mode"),
    MakerRow(0x0201, "JpegQuality"),
    MakerRow(0x0202, "Macro"),
    MakerRow(0x0203, "Skip"),
    MakerRow(0x0204, "DigiZoom"),
    MakerRow(0x0209, "CameraID"),
    MakerRow(0x020A, "Comments"),
    MakerRow(0x020B, "Width"),
    MakerRow(0x020C, "Height"),
    MakerRow(0x020D, "SoftRelease"),
    MakerRow(0x0300, "??"),
    MakerRow(0x0F00, "skip"),
};

}  // namespace

std::span<const TTagEntry> SeikoTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
