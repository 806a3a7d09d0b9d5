// Casio maker notes: a TIFF directory right at the start of the note.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::string_view kNormalLowHigh = "0:Normal,1:Low,2:High";

constexpr std::array<tTagRow, 26> kRows{
    MakerRow(0x0001, "RecordingMode").Codes("1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"),
    MakerRow(0x0002, "Quality").Codes("1:Economy,2:Normal,3:Fine"),
    MakerRow(0x0003, "FocusingMode").Codes("2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"),
    MakerRow(0x0004, "FlashMode").Codes("1:Auto,2:On,3:Off,4:Red Eye Reduction"),
    MakerRow(0x0005, "FlashIntensity").Codes("11:Weak,13:Normal,15:Strong"),
    MakerRow(0x0006, "ObjectDistance"),
    MakerRow(0x0007, "WhiteBalance").Codes("1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"),
    MakerRow(0x0008, "Skip"),
    MakerRow(0x0009, "Skip"),
    MakerRow(0x000A, "DigitalZoom").Codes("65536:Off,65537:2X Digital Zoom"),
    MakerRow(0x000B, "Sharpness").Codes("0:Normal,1:Soft,2:Hard"),
    MakerRow(0x000C, "Contrast").Codes(kNormalLowHigh),
    MakerRow(0x000D, "Saturation").Codes(kNormalLowHigh),
    MakerRow(0x000E, "Skip"),
    MakerRow(0x000F, "Skip"),
    MakerRow(0x0010, "Skip"),
    MakerRow(0x0011, "Skip"),
    MakerRow(0x0012, "Skip"),
    MakerRow(0x0013, "Skip"),
    MakerRow(0x0014, "CCDSensitivity").Codes("64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High"),
    MakerRow(0x0015, "Skip"),
    MakerRow(0x0016, "Skip"),
    MakerRow(0x0017, "Skip"),
    MakerRow(0x0018, "Skip"),
    MakerRow(0x0019, "Skip"),
    MakerRow(0x001A, "Skip"),
};

}  // namespace

std::span<const TTagEntry> CasioTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
