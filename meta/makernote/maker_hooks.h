#pragma once
// Rendering hooks of the maker tables (TTagHook): each takes the rendered text
// of one maker entry and gives the text to show.

#include <string>

// Nikon lens data (0x0084), four rationals, as "18.0-70.0(mm)  F3.5-F4.5".
// Always a point as decimal separator; unreadable numbers count as 0.
std::string LensInfoHook(const std::string& text);
// Canon camera settings (0x0001): the value, then one "label = value" line per
// known field.
std::string CanonSettingsHook(const std::string& text);
// Canon shot information (0x0004), built the same way.
std::string CanonShotHook(const std::string& text);
// Canon custom functions (0x000F): one line per packed function/setting value.
std::string CanonCustomHook(const std::string& text);
