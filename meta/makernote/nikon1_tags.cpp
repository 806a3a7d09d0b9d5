// Nikon maker notes of the early Coolpix models, behind the "Nikon" header.
// Quality lacks a comma before code 10, which is therefore never found.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 11> kRows{
    MakerRow(0x0002, "FamilyID"),
    MakerRow(0x0003, "Quality")
        .Codes("1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine10:2 Mpixel Basic,"
               "11:2 Mpixel Normal,12:2 Mpixel Fine"),
    MakerRow(0x0004, "ColorMode").Codes("1:Color,2:Monochrome"),
    MakerRow(0x0005, "ImageAdjustment").Codes("0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"),
    MakerRow(0x0006, "ISOSpeed").Codes("0:ISO80,2:ISO160,4:ISO320,5:ISO100"),
    MakerRow(0x0007, "WhiteBalance")
        .Codes("0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight"),
    MakerRow(0x0008, "Focus"),
    MakerRow(0x0009, "Skip"),
    MakerRow(0x000A, "DigitalZoom"),
    MakerRow(0x000B, "Converter").Codes("0:Not used,1:Used"),
    MakerRow(0x0F00, "Skip"),
};

}  // namespace

std::span<const TTagEntry> NikonTable1()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
