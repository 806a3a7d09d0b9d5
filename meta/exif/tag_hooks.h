#pragma once
// Rendering hooks of the EXIF and GPS tables: each takes the rendered text of
// an entry and gives the text to show (a TTagHook).

#include <string>

// ComponentsConfiguration (0x9101): the component bytes 1..6 as Y Cb Cr R G B.
std::string ComponentsHook(const std::string& text);
// ShutterSpeedValue (0x9201): APEX value to "0.0078 sec (1/128)". Raises
// EMetaError when 2^v comes out as 0 or 1/t does not fit a signed 64-bit integer.
std::string ShutterHook(const std::string& text);
// ApertureValue and MaxApertureValue (0x9202, 0x9205): APEX value to the
// f-number, "F5.0". A text that is not one rational with a denominator, or
// gives no finite number, is shown as it is.
std::string ApertureHook(const std::string& text);
// Flash (0x9209): the bit fields as words. Raises EMetaError when the text is
// not a plain integer.
std::string FlashHook(const std::string& text);
// UserComment (0x9286): drops the 8-byte character-code prefix.
std::string CommentHook(const std::string& text);
// GPSTimeStamp: three rationals to "h:m:s".
std::string GpsTimeHook(const std::string& text);
// GPSLatitude and its kin: three rationals to "d Degrees m Minutes s Seconds".
std::string GpsAngleHook(const std::string& text);
