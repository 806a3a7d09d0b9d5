#include "meta/exif/tag_hooks.h"

#include <cmath>

#include "meta/exif/end_ind.h"
#include "meta/exif/format_text.h"
#include "meta/exif/value_render.h"

namespace {

// The characters after the first ", " of `text` (the blank stays in front),
// at most 64 of them; the whole text, cut to 64, when there is none. `head`
// gets what stood before the comma (empty when there is none).
std::string_view SplitAtComma(std::string_view text, std::string_view& head)
{
    constexpr size_t kRestLength = 64;
    const size_t comma = text.find(", ");
    head = comma == std::string_view::npos ? std::string_view{} : text.substr(0, comma);
    const size_t from = comma == std::string_view::npos ? 0 : comma + 1;
    return text.substr(from, kRestLength);
}

struct tTriple {
    double First, Second, Third;
};

// Three rationals joined by ", " (a degrees/hours, minutes, seconds value).
tTriple ParseTriple(std::string_view text)
{
    std::string_view head;
    std::string_view rest = SplitAtComma(text, head);
    const double first = ParseRational(head);
    rest = SplitAtComma(rest, head);
    const double second = ParseRational(head);
    return {first, second, ParseRational(rest)};
}

}  // namespace

std::string ComponentsHook(const std::string& text)
{
    // Exif 2.3 ComponentsConfiguration: one byte per channel, 0 = none.
    static constexpr const char* kChannels[] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
    std::string out;
    for (size_t i = 1; i <= 4 && i < text.size(); ++i) {
        const auto code = static_cast<unsigned char>(text[i]);
        if (code >= 1 && code <= 6) out += kChannels[code];
    }
    return out;
}

std::string ShutterHook(const std::string& text)
{
    // Exif 2.3 APEX: ShutterSpeedValue Tv = -log2(exposure time).
    const double v = ParseRational(text);
    // exp2 rather than exp(v * ln 2): it is exact at whole APEX steps, so 2^63
    // comes out as 2^63 and does not fit the reciprocal's 64-bit integer.
    const double power = std::exp2(v);
    if (power == 0) throw EMetaError("Floating point division by zero");
    const double t = 1 / power;
    const int64_t n = RoundHalfEven(1 / t);
    const std::string suffix = t <= 0.5 ? FormatText(" (1/%d)", {n}) : std::string();
    return FormatText("%4.4f sec", {t}) + suffix;
}

std::string ApertureHook(const std::string& text)
{
    // Exif 2.3 APEX: ApertureValue Av = 2 log2(F), so F = 2^(Av / 2).
    const size_t slash = text.find('/');
    int32_t num = 0, den = 0;
    if (slash == std::string::npos || !TryParseInteger(std::string_view(text).substr(0, slash), num) ||
        !TryParseInteger(std::string_view(text).substr(slash + 1), den) || den == 0)
        return text;
    const double f = std::exp2(static_cast<double>(num) / den / 2);
    return std::isfinite(f) ? FormatText("F%0.1f", {f}) : text;
}

std::string FlashHook(const std::string& text)
{
    int32_t v = 0;
    if (!TryParseInteger(text, v)) throw EMetaError("'" + text + "' is not a valid integer value");
    // Exif 2.3 Flash: bit 0 fired, bits 1-2 strobe return, bits 3-4 mode,
    // bit 5 no flash function, bit 6 red-eye reduction.
    std::string out = (v & 1) ? "On" : "Off";
    switch (v & 6) {
    case 2: out += ", UNKNOWN"; break;
    case 4: out += ", no strobe return"; break;
    case 6: out += ", strobe return"; break;
    }
    switch (v & 0x18) {
    case 0x08: out += ", forced"; break;
    case 0x10: out += ", surpressed"; break;
    case 0x18: out += ", auto mode"; break;
    }
    if (v & 0x20) out += ", no flash function";
    if (v & 0x40) out += ", red-eye reduction";
    return out;
}

std::string CommentHook(const std::string& text)
{
    // Exif 2.3 UserComment starts with an 8-byte character code ("ASCII\0\0\0").
    constexpr size_t kCodeLength = 8;
    return text.size() > kCodeLength ? text.substr(kCodeLength) : std::string();
}

std::string GpsTimeHook(const std::string& text)
{
    const tTriple hms = ParseTriple(text);
    return FormatText("%0.0f:%0.0f:%0.0f", {hms.First, hms.Second, hms.Third});
}

std::string GpsAngleHook(const std::string& text)
{
    tTriple dms = ParseTriple(text);
    // Minutes written as a decimal fraction with no seconds ("2646/100, 0/1").
    if (dms.Third == 0) {
        const double whole = std::trunc(dms.Second);
        dms.Third = (dms.Second - whole) * 100 * 0.6;
        dms.Second = whole;
    }
    return FormatText("%0.0f Degrees %0.0f Minutes %0.0f Seconds", {dms.First, dms.Second, dms.Third});
}
