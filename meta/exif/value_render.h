#pragma once
// Turning TIFF value bytes into text and numbers. The byte order is that of
// the data being decoded (tEndInd::BigEndian of the decoder).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "meta/exif/end_ind.h"

class tDecodeBudget;

// Bytes per component of TIFF field types 0..12 (TIFF 6.0 section 2; 6..12
// added by TIFF 6.0 for signed and floating-point values). Type 0 is no type.
inline constexpr std::array<int32_t, 13> kComponentSizes{0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

// 0 for type 0 and for every type above 12.
constexpr int32_t ComponentSize(uint32_t type)
{
    return type < kComponentSizes.size() ? kComponentSizes[type] : 0;
}

// Bytes read as one unsigned number in the byte order, then its low 32 bits as
// a signed integer: nothing is sign-extended (an SSHORT -1 gives 65535), while
// FF FF FF FF gives -1. Empty bytes give 0.
int32_t BytesToInt(const tEndInd& order, std::string_view bytes);

// Components of `raw` as text joined by ", " (integers signed or unsigned as
// their type is, rationals as "n/d", FLOAT and
// DOUBLE as -9999.99), looked up in `codes` when there are codes, then put
// through `tmpl`: "%s" takes the text, any other template takes NumericValue.
// Raises EMetaError when the template does not fit its argument. With a
// budget, the text is charged to it as it grows (EDecodeBudget once spent).
std::string RenderValue(const tEndInd& order, std::string_view raw, uint32_t type,
                        std::string_view codes, std::string_view tmpl, tDecodeBudget* budget = nullptr);

// Integer types: BytesToInt of all of `raw`; rationals: first over second
// 32-bit half (0 for a zero denominator); every other type 0. Never raises.
double NumericValue(const tEndInd& order, std::string_view raw, uint32_t type);

// The word that `codes` ("n:word,n:word") pairs with `key` (trimmed of
// characters up to blank), or empty text. A pair written after ", " is never
// found, as the blank is part of it.
std::string CodeLookup(std::string_view codes, std::string_view key);

// At most 50 characters; control characters become ".".
std::string CleanText(std::string_view text);

// "n/d" as a number; 0 on any failure (no "/", a part that is not an
// integer, d = 0).
double ParseRational(std::string_view text);

// Leading blanks, an optional sign, decimal digits and nothing after them,
// within the signed 32-bit range.
bool TryParseInteger(std::string_view text, int32_t& value);
