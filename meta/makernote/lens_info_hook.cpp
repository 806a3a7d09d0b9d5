// Nikon lens data: minimum and maximum focal length, then the apertures at
// those two ends, as four rationals joined by ", ".

#include <array>
#include <charconv>

#include "meta/exif/value_render.h"
#include "meta/makernote/maker_hooks.h"

namespace {

// The rest of the text is kept to this many characters after each cut.
constexpr size_t kLensRestLength = 64;

// "%0.1f" with a point whatever the locale: to_chars ignores the locale.
std::string OneDecimal(double v)
{
    std::array<char, 64> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v,
                                         std::chars_format::fixed, 1);
    if (ec != std::errc()) return "0.0";
    return std::string(buf.data(), end);
}

}  // namespace

std::string LensInfoHook(const std::string& text)
{
    static constexpr std::string_view kSeparator = ", ";
    std::array<double, 4> numbers{};
    std::string rest = text;
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = rest.find(kSeparator);
        if (at == std::string::npos) {
            rest = rest.substr(0, kLensRestLength);
            continue;
        }
        numbers[i] = ParseRational(std::string_view(rest).substr(0, at));
        // Cut after the comma only: the blank stays in front of the next number.
        rest = rest.substr(at + 1, kLensRestLength);
    }
    numbers[3] = ParseRational(rest);
    return OneDecimal(numbers[0]) + "-" + OneDecimal(numbers[1]) + "(mm)  F" + OneDecimal(numbers[2]) +
           "-F" + OneDecimal(numbers[3]);
}
