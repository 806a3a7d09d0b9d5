#include "meta/makernote/text_pieces.h"

#include "meta/exif/value_render.h"

std::string TextBefore(std::string_view text, std::string_view separator)
{
    if (separator.empty()) return std::string(text);
    return std::string(text.substr(0, text.find(separator)));
}

std::string TextAfter(std::string_view text, std::string_view separator)
{
    if (separator.empty()) return std::string(text);
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return {};
    return std::string(text.substr(at + separator.size()));
}

std::string NthPiece(std::string_view text, std::string_view separator, int32_t n)
{
    // Steps over the pieces before it without copying them: a maker value may
    // hold many thousands of pieces.
    std::string_view rest = text;
    for (int32_t i = 1; i < n && !rest.empty() && !separator.empty(); ++i) {
        const size_t at = rest.find(separator);
        rest = at == std::string_view::npos ? std::string_view{} : rest.substr(at + separator.size());
    }
    return TextBefore(rest, separator);
}

int32_t CountSeparators(std::string_view text, std::string_view separator)
{
    if (separator.empty()) return 0;
    int32_t count = 0;
    for (size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, at + separator.size()))
        ++count;
    return count;
}

std::string PieceCode(std::string_view text, int32_t index, std::string_view codes)
{
    try {
        return CodeLookup(codes, NthPiece(text, ",", index + 1));
    } catch (...) {
        // A piece that cannot be looked up shows as the neutral code.
        return "0";
    }
}

std::string SettingLine(std::string_view label, int32_t number, std::string_view codes)
{
    return std::string(label) + " = " + CodeLookup(codes, std::to_string(number));
}
