// Canon maker notes: a TIFF directory right at the start of the note; three
// entries hold packed arrays that the hooks spell out.

#include <array>

#include "meta/makernote/maker_hooks.h"
#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 16> kRows{
    MakerRow(0x0000, "Skip"),
    MakerRow(0x0001, "ExposureInfo1").WithHook(CanonSettingsHook),
    MakerRow(0x0002, "Skip"),
    MakerRow(0x0003, "Skip"),
    MakerRow(0x0004, "ExposureInfo2").WithHook(CanonShotHook),
    MakerRow(0x0006, "ImageType"),
    MakerRow(0x0007, "FirmwareVersion"),
    MakerRow(0x0008, "ImageNumber"),
    MakerRow(0x0009, "OwnerName"),
    MakerRow(0x000A, "Skip"),
    MakerRow(0x000B, "Skip"),
    MakerRow(0x000C, "CameraSerialNumber"),
    MakerRow(0x000D, "Skip"),
    MakerRow(0x000E, "Skip"),
    MakerRow(0x000F, "CustomFunctions").WithHook(CanonCustomHook),
    MakerRow(0x0010, "Skip"),
};

}  // namespace

std::span<const TTagEntry> CanonTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
