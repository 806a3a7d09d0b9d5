// Olympus maker notes: the only table whose labels differ from the key names.
// Macro's codes are written "0=Normal,1:Macro;", so only code 1 is found.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr tTagRow Labelled(uint16_t tagNo, std::string_view name, std::string_view label)
{
    return Row(tagNo, name).WithLabel(label);
}

constexpr std::array<tTagRow, 33> kRows{
    MakerRow(0x0200, "SpecialMode"),
    MakerRow(0x0201, "JpegQual").Codes("1:SQ,2:HQ,3:SHQ,4:Raw"),
    MakerRow(0x0202, "Macro").Codes("0=Normal,1:Macro;"),
    MakerRow(0x0203, "Skip"),
    Labelled(0x0204, "DigiZoom", "Digital Zoom Ratio"),
    MakerRow(0x0205, "Skip"),
    MakerRow(0x0206, "Skip"),
    MakerRow(0x0207, "Firmware"),
    Labelled(0x0208, "PictInfo", "Picture Info"),
    Labelled(0x0209, "CameraID", "Camera ID"),
    MakerRow(0x0F00, "Skip"),
    Labelled(0x1004, "FlashMode", "Flash Mode"),
    MakerRow(0x1006, "Bracket"),
    Labelled(0x100B, "FocusMode", "Focus Mode"),
    Labelled(0x100C, "FocusDistance", "Focus Distance"),
    MakerRow(0x100D, "Zoom"),
    Labelled(0x100E, "MacroFocus", "Macro Focus"),
    MakerRow(0x100F, "Sharpness"),
    Labelled(0x1011, "ColorMatrix", "Color Matrix"),
    Labelled(0x1012, "BlackLevel", "Black Level"),
    Labelled(0x1015, "WhiteBalance", "White Balance"),
    Labelled(0x1017, "RedBias", "Red Bias"),
    Labelled(0x1018, "BlueBias", "Blue Bias"),
    MakerRow(0x101A, "SerialNumber"),
    Labelled(0x1023, "FlashBias", "Flash Bias"),
    MakerRow(0x1029, "Contrast"),
    Labelled(0x102A, "SharpnessFactor", "Sharpness Factor"),
    Labelled(0x102B, "ColorControl", "Color Control"),
    Labelled(0x102C, "ValidBits", "Valid Bits"),
    Labelled(0x102D, "Coring", "Coring Filter"),
    Labelled(0x102E, "FinalWidth", "Final Width"),
    Labelled(0x102F, "FinalHeight", "Final Height"),
    Labelled(0x1034, "CompressionRatio", "Compression Ratio"),
};

}  // namespace

std::span<const TTagEntry> OlympusTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
