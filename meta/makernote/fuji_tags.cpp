// Fujifilm maker notes: "FUJIFILM" and a four-byte offset, then a
// little-endian directory whose offsets count from the note's first byte.

#include <array>

#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::string_view kNormalHighLow = "0:Normal,256:High,512:Low";
constexpr std::string_view kOffOn = "0:Off,1:On";

constexpr std::array<tTagRow, 18> kRows{
    MakerRow(0x0000, "Version"),
    MakerRow(0x1000, "Quality"),
    MakerRow(0x1001, "Sharpness").Codes("1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"),
    MakerRow(0x1002, "WhiteBalance")
        .Codes("0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,"
               "770:White-fluorescence,1024:Incandenscense,3840:Custom white balance."),
    MakerRow(0x1003, "Color").Codes(kNormalHighLow),
    MakerRow(0x1004, "Tone").Codes(kNormalHighLow),
    MakerRow(0x1010, "FlashMode").Codes("0:Auto,1:On,2:Off,3:Red-eye reduction"),
    MakerRow(0x1011, "FlashStrength"),
    MakerRow(0x1020, "Macro").Codes(kOffOn),
    MakerRow(0x1021, "Focusmode").Codes("0:Auto Focus,1:Manual Focus"),
    MakerRow(0x1030, "SlowSync").Codes(kOffOn),
    MakerRow(0x1031, "PictureMode")
        .Codes("0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,"
               "256:Aperture prior AE,512:Shutter prior AE,768:Manual exposure"),
    MakerRow(0x1032, "Skip"),
    MakerRow(0x1100, "ContTake/Bracket").Codes(kOffOn),
    MakerRow(0x1200, "Skip"),
    MakerRow(0x1300, "BlurWarning").Codes("0:No blur warning,1:Blur warning"),
    MakerRow(0x1301, "FocusWarning").Codes("0:Auto Focus good,1:Out of focus"),
    MakerRow(0x1302, "AEWarning").Codes("0:AE good,1:Over exposure"),
};

}  // namespace

std::span<const TTagEntry> FujiTable()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
