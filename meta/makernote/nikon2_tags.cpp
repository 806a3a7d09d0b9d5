// Nikon maker notes of the later models (a plain TIFF directory, or one behind
// an upper-case "NIKON" header).

#include <array>

#include "meta/makernote/maker_hooks.h"
#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 19> kRows{
    MakerRow(0x0001, "FamilyID"),
    MakerRow(0x0002, "ISOSpeed"),
    MakerRow(0x0003, "ColorMode"),
    MakerRow(0x0004, "Quality"),
    MakerRow(0x0005, "WhiteBalance"),
    MakerRow(0x0006, "ImageSharpening"),
    MakerRow(0x0007, "FocusMode"),
    MakerRow(0x0008, "FlashSetting"),
    MakerRow(0x000A, "Skip"),
    MakerRow(0x000F, "DigitalZoom"),
    MakerRow(0x0010, "Skip"),
    MakerRow(0x0080, "ImageAdjustment"),
    MakerRow(0x0082, "Adapter"),
    MakerRow(0x0084, "Lens information").WithHook(LensInfoHook),
    MakerRow(0x0085, "ManualFocusDistance"),
    MakerRow(0x0086, "DigitalZoom"),
    MakerRow(0x0088, "AFFocusPosition"),
    MakerRow(0x0089, "Mode"),
    MakerRow(0x0F00, "Skip"),
};

}  // namespace

std::span<const TTagEntry> NikonTable2()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
