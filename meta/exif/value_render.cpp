#include "meta/exif/value_render.h"

#include <limits>

#include "meta/exif/decode_budget.h"
#include "meta/exif/format_text.h"

namespace {

// TIFF 6.0 field types by number.
enum : uint32_t {
    kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6,
    kUndefined = 7, kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11, kDouble = 12,
};

bool IsInteger(uint32_t type)
{
    return type == kByte || type == kShort || type == kLong || type == kSByte || type == kSShort || type == kSLong;
}

bool IsRational(uint32_t type)
{
    return type == kRational || type == kSRational;
}

// One integer component as TIFF 6.0 defines its type: BYTE, SHORT and LONG
// unsigned, SBYTE, SSHORT and SLONG two's complement.
std::string IntegerText(const tEndInd& order, std::string_view comp, uint32_t type)
{
    const auto bits = static_cast<uint32_t>(BytesToInt(order, comp));
    switch (type) {
    case kSByte: return std::to_string(static_cast<int8_t>(bits));
    case kSShort: return std::to_string(static_cast<int16_t>(bits));
    case kSLong: return std::to_string(static_cast<int32_t>(bits));
    default: return std::to_string(bits);
    }
}

// Placeholder text for FLOAT and DOUBLE values, which are not decoded.
constexpr std::string_view kUndecodedFloat = "-9999.99";
constexpr size_t kCleanTextLength = 50;

// "," + codes + ",", so that every pair stands between commas.
std::string FramedCodes(std::string_view codes)
{
    std::string framed;
    framed.reserve(codes.size() + 2);
    framed += ',';
    framed += codes;
    framed += ',';
    return framed;
}

// CodeLookup in codes framed once for all components of a value.
std::string LookupFramed(std::string_view framed, std::string_view key)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!key.empty() && isBlank(key.front())) key.remove_prefix(1);
    while (!key.empty() && isBlank(key.back())) key.remove_suffix(1);
    // A key longer than the codes is in none of them; rationals look up all the
    // text so far, which must not cost a copy of it per component.
    if (key.size() + 2 > framed.size()) return {};
    std::string k;
    k.reserve(key.size() + 2);
    k += ',';
    k += key;
    k += ':';
    const size_t at = framed.find(k);
    if (at == std::string_view::npos) return {};
    const size_t start = at + k.size();
    return std::string(framed.substr(start, framed.find(',', start) - start));
}

}  // namespace

int32_t BytesToInt(const tEndInd& order, std::string_view bytes)
{
    // Unsigned 64-bit arithmetic wraps harmlessly: only the low 32 bits count.
    uint64_t value = 0;
    const auto add = [&value](char c) { value = value * 256 + static_cast<unsigned char>(c); };
    if (order.BigEndian)
        for (auto it = bytes.begin(); it != bytes.end(); ++it) add(*it);
    else
        for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) add(*it);
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string RenderValue(const tEndInd& order, std::string_view raw, uint32_t type,
                        std::string_view codes, std::string_view tmpl, tDecodeBudget* budget)
{
    const int32_t size = ComponentSize(type);
    if (size == 0) return "0";
    const size_t n = raw.size() / static_cast<size_t>(size);
    const std::string framed = codes.empty() ? std::string() : FramedCodes(codes);
    std::string out;
    for (size_t j = 0; j < n; ++j) {
        const size_t before = out.size();
        if (!out.empty()) out += ", ";
        const std::string_view comp = raw.substr(j * static_cast<size_t>(size), static_cast<size_t>(size));
        if (IsInteger(type)) {
            const std::string v = IntegerText(order, comp, type);
            // A number without a pair shows nothing, not even itself.
            out += codes.empty() ? v : LookupFramed(framed, v);
        } else if (IsRational(type)) {
            out += std::to_string(BytesToInt(order, comp.substr(0, 4))) + "/" +
                   std::to_string(BytesToInt(order, comp.substr(4, 4)));
            // The key is all the text so far, not this component alone.
            if (!codes.empty()) out += LookupFramed(framed, out);
        } else if (type == kFloat || type == kDouble) {
            out += kUndecodedFloat;
        } else {  // ASCII and UNDEFINED: the directory walk renders these itself
            out += '?';
        }
        if (budget) budget->Keep(static_cast<int64_t>(out.size() - before));
    }
    if (tmpl.empty()) return out;
    if (tmpl.find("%s") != std::string_view::npos) return FormatText(tmpl, {out});
    return FormatText(tmpl, {NumericValue(order, raw, type)});
}

double NumericValue(const tEndInd& order, std::string_view raw, uint32_t type)
{
    if (IsInteger(type)) return BytesToInt(order, raw);
    if (IsRational(type)) {
        const auto part = [&](size_t pos) { return pos < raw.size() ? raw.substr(pos, 4) : std::string_view{}; };
        const int32_t den = BytesToInt(order, part(4));
        if (den == 0) return 0;
        return static_cast<double>(BytesToInt(order, part(0))) / den;
    }
    return 0;
}

std::string CodeLookup(std::string_view codes, std::string_view key)
{
    return LookupFramed(FramedCodes(codes), key);
}

std::string CleanText(std::string_view text)
{
    std::string clean(text.substr(0, kCleanTextLength));
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < ' ') c = '.';
    return clean;
}

bool TryParseInteger(std::string_view text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
    }
    const int64_t v = negative ? -magnitude : magnitude;
    if (v > std::numeric_limits<int32_t>::max()) return false;
    value = static_cast<int32_t>(v);
    return true;
}

double ParseRational(std::string_view text)
{
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return 0;
    int32_t num = 0;
    int32_t den = 0;
    if (!TryParseInteger(text.substr(0, slash), num) || !TryParseInteger(text.substr(slash + 1), den) || den == 0)
        return 0;
    return static_cast<double>(num) / den;
}
