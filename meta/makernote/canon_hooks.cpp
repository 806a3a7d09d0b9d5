// Canon maker values are arrays of 16-bit numbers rendered as "a, b, c, ...";
// these hooks name the fields whose meaning is known.

#include <array>
#include <span>
#include <string_view>

#include "meta/exif/value_render.h"
#include "meta/makernote/canon_custom_functions.h"
#include "meta/makernote/maker_hooks.h"
#include "meta/makernote/text_pieces.h"

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// One line of a hook's output: piece `Piece` (0-based) shown raw, blank
// included, when there are no codes, else decoded.
struct tPieceLine {
    std::string_view Label;
    int32_t Piece;
    std::string_view Codes;
};

constexpr std::string_view kLowNormalHigh = "65535:Low,0:Normal,1:High";

constexpr std::array<tPieceLine, 20> kCameraSettings{{
    {"Macro mode", 1, "1:Macro,2:Normal"},
    {"Self Timer", 2, {}},
    {"Compression Rate", 3, "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"},
    {"Flash Mode", 4,
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,16:External flash"},
    {"Drive Mode", 5, "0:Single,1:Continuous"},
    {"Focus Mode", 7, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"},
    {"Image Size", 10, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"},
    {"Easy Shoot", 11,
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,8:Portrait,"
     "9:Sports,10:Macro/Close-Up,11:Pan Focus"},
    {"Contrast", 13, kLowNormalHigh},
    {"Saturation", 14, kLowNormalHigh},
    {"Sharpness", 15, kLowNormalHigh},
    {"CCD ISO", 16, "0:Not used,15:auto,16:50,17:100,18:200,19:400"},
    {"Metering Mode", 17, "3:Evaluative,4:Partial,5:Center-weighted"},
    {"AF Point", 19, "12288:None (MF),12289:Auto-selected,12290:Right,12291:Center,12292:Left"},
    {"Exposure Mode", 20, "0:Easy shooting,1:Program,2:Tv-priority,3:Av-priority,4:Manual,5:A-DEP"},
    {"Long focal", 23, {}},
    {"Short focal", 24, {}},
    {"Focal Units", 25, {}},
    {"Flash Details", 28, {}},
    {"Focus Mode", 32, "0:Single,1:Continuous"},
}};

constexpr std::array<tPieceLine, 6> kShotInfo{{
    {"White balance", 7, "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"},
    {"Sequence Number", 8, {}},
    {"OpticalZoom Step", 10, {}},
    {"AF point", 13, {}},
    {"Flash bias", 15,
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,65520:-0.50 EV,"
     "65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,48:1.50 EV,52:1.67 EV,"
     "64:2 EV"},
    {"Distance", 18, {}},
}};

std::string PieceLines(const std::string& text, std::span<const tPieceLine> lines)
{
    std::string result = text;
    for (const tPieceLine& line : lines) {
        result += kLineBreak;
        result += line.Label;
        result += " = ";
        result += line.Codes.empty() ? NthPiece(text, ",", line.Piece + 1) : PieceCode(text, line.Piece, line.Codes);
    }
    return result;
}

}  // namespace

std::string CanonSettingsHook(const std::string& text)
{
    return PieceLines(text, kCameraSettings);
}

std::string CanonShotHook(const std::string& text)
{
    return PieceLines(text, kShotInfo);
}

std::string CanonCustomHook(const std::string& text)
{
    std::string result = text;
    // The last piece is never visited: the loop runs once per separator. One
    // pass over the text, however many pieces it holds.
    std::string_view rest = text;
    for (size_t comma = rest.find(','); comma != std::string_view::npos; comma = rest.find(',')) {
        const std::string_view piece = rest.substr(0, comma);
        rest.remove_prefix(comma + 1);
        int32_t packed = 0;
        // A piece that is no whole number adds nothing.
        if (!TryParseInteger(piece, packed)) continue;
        // High byte the function number, low byte its setting.
        const tCustomFunction* function = CanonCustomFunction(packed / 256);
        if (!function) continue;
        result += kLineBreak;
        result += SettingLine(function->Label, packed % 256, function->Codes);
    }
    return result;
}
