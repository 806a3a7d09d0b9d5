// GPS tag dictionary (Exif 2.3 section 4.6.6): tags 0x00..0x1E in order. There
// is no "Unknown" row here; a failed GPS lookup yields the EXIF table's.
// GPSVersionID carries tag number 0, which marks an entry that names no tag,
// so such an entry is named but never listed.

#include <array>

#include "meta/exif/exif_tags.h"
#include "meta/exif/tag_hooks.h"

namespace {

constexpr std::array<tTagRow, kGpsTagRows> kGpsRows{
    Row(0x0000, "GPSVersionID"),
    Row(0x0001, "GPSLatitudeRef"),
    Row(0x0002, "GPSLatitude").WithHook(GpsAngleHook),
    Row(0x0003, "GPSLongitudeRef"),
    Row(0x0004, "GPSLongitude").WithHook(GpsAngleHook),
    Row(0x0005, "GPSAltitudeRef").Codes("0:Sealevel"),
    Row(0x0006, "GPSAltitude"),
    Row(0x0007, "GPSTimeStamp").WithHook(GpsTimeHook),
    Row(0x0008, "GPSSatellites"),
    Row(0x0009, "GPSStatus"),
    Row(0x000A, "GPSMeasureMode"),
    Row(0x000B, "GPSDOP"),
    Row(0x000C, "GPSSpeedRef"),
    Row(0x000D, "GPSSpeed"),
    Row(0x000E, "GPSTrackRef"),
    Row(0x000F, "GPSTrack"),
    Row(0x0010, "GPSImageDirectionRef"),
    Row(0x0011, "GPSImageDirection"),
    Row(0x0012, "GPSMapDatum"),
    Row(0x0013, "GPSDestLatitudeRef"),
    Row(0x0014, "GPSDestLatitude").WithHook(GpsAngleHook),
    Row(0x0015, "GPSDestLongitudeRef"),
    Row(0x0016, "GPSDestLongitude").WithHook(GpsAngleHook),
    Row(0x0017, "GPSDestBearingkRef").WithLabel("GPS Dest Bearing Ref"),
    Row(0x0018, "GPSDestBearing"),
    Row(0x0019, "GPSDestDistanceRef"),
    Row(0x001A, "GPSDestDistance"),
    Row(0x001B, "GPSProcessingMode"),
    Row(0x001C, "GPSAreaInformation"),
    Row(0x001D, "GPSDateStamp"),
    Row(0x001E, "GPSDifferential"),
};

}  // namespace

std::span<const tTagRow> GpsTagRows()
{
    return kGpsRows;
}
