#pragma once
// PNG chunk types (ISO/IEC 15948, W3C PNG 3rd edition, APNG) in one place:
// their codes, and what each holds as cleaning sees it.

#include <cstdint>
#include <string>
#include <string_view>

#include "meta/clean/clean_policy.h"

namespace png {

// A chunk type as it stands in the file: four ASCII letters, big-endian.
constexpr uint32_t Type(const char (&name)[5])
{
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

// The eight bytes every PNG starts with.
inline constexpr std::string_view kSignature{"\x89PNG\r\n\x1A\n", 8};

constexpr uint32_t IHDR = Type("IHDR");
constexpr uint32_t PLTE = Type("PLTE");
constexpr uint32_t IDAT = Type("IDAT");
constexpr uint32_t IEND = Type("IEND");
constexpr uint32_t eXIf = Type("eXIf");
constexpr uint32_t tEXt = Type("tEXt");
constexpr uint32_t zTXt = Type("zTXt");
constexpr uint32_t iTXt = Type("iTXt");
constexpr uint32_t tIME = Type("tIME");
constexpr uint32_t acTL = Type("acTL");
constexpr uint32_t fcTL = Type("fcTL");
constexpr uint32_t fdAT = Type("fdAT");

// "IHDR" from its code.
std::string TypeName(uint32_t type);

// A chunk whose type starts with an upper-case letter is critical: a
// decoder that does not know it cannot show the picture (bit 5 of the first
// byte, ISO/IEC 15948 5.4).
constexpr bool IsCritical(uint32_t type) { return (type & 0x20000000u) == 0; }
// Each of the four bytes is an ASCII letter (ISO/IEC 15948 5.4).
bool IsValidType(uint32_t type);
// tEXt, zTXt or iTXt: a keyword, a NUL, then text.
constexpr bool IsText(uint32_t type) { return type == tEXt || type == zTXt || type == iTXt; }
// The coded picture and its frames: the chunks a file can hold millions of,
// joined into one part when adjacent.
constexpr bool IsPictureData(uint32_t type) { return type == IDAT || type == fdAT || type == fcTL; }

// What a chunk of `type` holds; for a text chunk, what its `keyword` says.
tPartKind KindOf(uint32_t type, std::string_view keyword = {});

}  // namespace png
