#include "meta/exif/format_text.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "meta/exif/end_ind.h"

namespace {

struct tSpec {
    bool LeftJustify = false;
    int Width = -1;      // -1: none
    int Precision = -1;  // -1: none
    char Conversion = 0; // lower case
};

[[noreturn]] void Misfit(std::string_view tmpl)
{
    throw EMetaError("Format '" + std::string(tmpl) + "' invalid or incompatible with argument");
}

// Reads "[-][width][.precision]conversion" after a '%'; raises on anything else.
tSpec ParseSpec(std::string_view tmpl, size_t& i)
{
    constexpr int kMaxField = 1000;  // wider fields are never meant, and keep buffers small
    const auto digits = [&](int& out) {
        out = 0;
        while (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9') {
            out = out * 10 + (tmpl[i++] - '0');
            if (out > kMaxField) Misfit(tmpl);
        }
    };
    tSpec spec;
    if (i < tmpl.size() && tmpl[i] == '-') {
        spec.LeftJustify = true;
        ++i;
    }
    if (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9') digits(spec.Width);
    if (i < tmpl.size() && tmpl[i] == '.') {
        ++i;
        digits(spec.Precision);
    }
    if (i >= tmpl.size()) Misfit(tmpl);
    char c = tmpl[i++];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    spec.Conversion = c;
    return spec;
}

std::string PrintNumber(const std::string& format, int width, int precision, auto value)
{
    const int n = std::snprintf(nullptr, 0, format.c_str(), width, precision, value);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::snprintf(buf.data(), buf.size(), format.c_str(), width, precision, value);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string Pad(std::string text, const tSpec& spec)
{
    if (spec.Width > 0 && text.size() < static_cast<size_t>(spec.Width)) {
        const std::string fill(static_cast<size_t>(spec.Width) - text.size(), ' ');
        text = spec.LeftJustify ? text + fill : fill + text;
    }
    return text;
}

}  // namespace

std::string FormatText(std::string_view tmpl, std::initializer_list<tFormatArg> args)
{
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < tmpl.size();) {
        if (tmpl[i] != '%') {
            out += tmpl[i++];
            continue;
        }
        ++i;
        if (i < tmpl.size() && tmpl[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        const tSpec spec = ParseSpec(tmpl, i);
        if (next == args.end()) Misfit(tmpl);
        const tFormatArg& arg = *next++;
        const std::string flags = spec.LeftJustify ? "%-*.*" : "%*.*";
        const int width = std::max(spec.Width, 0);
        switch (spec.Conversion) {
        case 'd':
        case 'x':
            if (arg.Kind != tFormatArg::tKind::Integer) Misfit(tmpl);
            // Hex shows the 32-bit pattern in upper case, as in TIFF dumps.
            out += spec.Conversion == 'd'
                ? PrintNumber(flags + "lld", width, std::max(spec.Precision, 1), static_cast<long long>(arg.Int))
                : PrintNumber(flags + "llX", width, std::max(spec.Precision, 1),
                              static_cast<unsigned long long>(static_cast<uint32_t>(arg.Int)));
            break;
        case 'f':
        case 'e':
        case 'g':
            if (arg.Kind != tFormatArg::tKind::Float) Misfit(tmpl);
            out += PrintNumber(flags + spec.Conversion, width, spec.Precision < 0 ? 6 : spec.Precision, arg.Float);
            break;
        case 's': {
            if (arg.Kind != tFormatArg::tKind::Text) Misfit(tmpl);
            std::string_view text = arg.Text;
            if (spec.Precision >= 0 && text.size() > static_cast<size_t>(spec.Precision))
                text = text.substr(0, static_cast<size_t>(spec.Precision));
            out += Pad(std::string(text), spec);  // bytes kept as they are, zero bytes included
            break;
        }
        default:
            Misfit(tmpl);
        }
    }
    return out;
}

int64_t RoundHalfEven(double v)
{
    if (!std::isfinite(v)) throw EMetaError("Invalid floating point operation");
    // std::round takes halves away from zero; step back to the even neighbour.
    double r = std::round(v);
    if (std::fabs(r - v) == 0.5 && std::fmod(r, 2.0) != 0.0) r -= std::copysign(1.0, v);
    if (!(r >= -0x1p63 && r < 0x1p63)) throw EMetaError("Invalid floating point operation");
    return static_cast<int64_t>(r);
}

int32_t RoundLow32(double v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(RoundHalfEven(v))));
}
