// Nikon maker notes of the later models: a plain TIFF directory, or the
// directory of the TIFF structure behind a "Nikon\0" version 2 header. The
// serial numbers and shutter count are what makes a note identify a camera.

#include <array>

#include "meta/makernote/maker_hooks.h"
#include "meta/makernote/maker_tables.h"

namespace {

constexpr std::array<tTagRow, 55> kRows{
    MakerRow(0x0001, "FamilyID"),
    MakerRow(0x0002, "ISOSpeed"),
    MakerRow(0x0003, "ColorMode"),
    MakerRow(0x0004, "Quality"),
    MakerRow(0x0005, "WhiteBalance"),
    MakerRow(0x0006, "ImageSharpening"),
    MakerRow(0x0007, "FocusMode"),
    MakerRow(0x0008, "FlashSetting"),
    MakerRow(0x000A, "Skip"),
    MakerRow(0x000B, "WhiteBalanceFineTune"),
    MakerRow(0x000D, "ProgramShift"),
    MakerRow(0x000E, "ExposureDifference"),
    MakerRow(0x000F, "ISOSelection"),
    MakerRow(0x0010, "Skip"),
    MakerRow(0x0011, "PreviewIFD"),
    MakerRow(0x0012, "FlashExposureComp"),
    MakerRow(0x0013, "ISOSetting"),
    MakerRow(0x0018, "FlashExposureBracketValue"),
    MakerRow(0x0019, "ExposureBracketValue"),
    MakerRow(0x001A, "ImageProcessing"),
    MakerRow(0x001D, "SerialNumber"),
    MakerRow(0x001E, "ColorSpace"),
    MakerRow(0x0080, "ImageAdjustment"),
    MakerRow(0x0081, "ToneComp"),
    MakerRow(0x0082, "Adapter"),
    MakerRow(0x0083, "LensType"),
    MakerRow(0x0084, "Lens information").WithHook(LensInfoHook),
    MakerRow(0x0085, "ManualFocusDistance"),
    MakerRow(0x0086, "DigitalZoom"),
    MakerRow(0x0087, "FlashMode"),
    MakerRow(0x0088, "AFFocusPosition"),
    MakerRow(0x0089, "Mode"),
    MakerRow(0x008B, "LensFStops"),
    MakerRow(0x008D, "ColorHue"),
    MakerRow(0x008F, "SceneMode"),
    MakerRow(0x0090, "LightSource"),
    MakerRow(0x0091, "ShotInfo"),
    MakerRow(0x0092, "HueAdjustment"),
    MakerRow(0x0094, "SaturationAdj"),
    MakerRow(0x0095, "NoiseReduction"),
    MakerRow(0x009C, "SceneAssist"),
    MakerRow(0x009D, "DateStampMode"),
    MakerRow(0x009E, "RetouchHistory"),
    MakerRow(0x00A0, "BodySerialNumber"),
    MakerRow(0x00A5, "ImageCount"),
    MakerRow(0x00A6, "DeletedImageCount"),
    MakerRow(0x00A7, "ShutterCount"),
    MakerRow(0x00A8, "FlashInfo"),
    MakerRow(0x00A9, "ImageOptimization"),
    MakerRow(0x00AA, "Saturation"),
    MakerRow(0x00AB, "VariProgram"),
    MakerRow(0x00AC, "ImageStabilization"),
    MakerRow(0x00AD, "AFResponse"),
    MakerRow(0x00B1, "HighISONoiseReduction"),
    MakerRow(0x0F00, "Skip"),
};

}  // namespace

std::span<const TTagEntry> NikonTable2()
{
    static const std::vector<TTagEntry> table = BuildTagTable(kRows);
    return table;
}
