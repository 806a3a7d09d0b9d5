#include "meta/png/chunks.h"

#include <algorithm>
#include <array>

namespace png {

namespace {

struct tKnownChunk {
    uint32_t Type;
    tPartKind Kind;
};

// Ancillary chunks a cleaned file keeps, and the metadata ones; every
// critical chunk is picture, every other ancillary chunk is other data.
constexpr std::array kKnownChunks{
    // How the picture is shown: colour space, gamma, HDR levels, pixel size,
    // significant bits, background, transparency, palette use.
    tKnownChunk{Type("iCCP"), tPartKind::Display}, tKnownChunk{Type("sRGB"), tPartKind::Display},
    tKnownChunk{Type("gAMA"), tPartKind::Display}, tKnownChunk{Type("cHRM"), tPartKind::Display},
    tKnownChunk{Type("cICP"), tPartKind::Display}, tKnownChunk{Type("mDCV"), tPartKind::Display},
    tKnownChunk{Type("cLLI"), tPartKind::Display}, tKnownChunk{Type("pHYs"), tPartKind::Display},
    tKnownChunk{Type("sBIT"), tPartKind::Display}, tKnownChunk{Type("bKGD"), tPartKind::Display},
    tKnownChunk{Type("tRNS"), tPartKind::Display}, tKnownChunk{Type("hIST"), tPartKind::Display},
    tKnownChunk{Type("sPLT"), tPartKind::Display},
    // The animation's structure (APNG): ancillary by their names, but the
    // frames are the picture.
    tKnownChunk{acTL, tPartKind::Picture}, tKnownChunk{fcTL, tPartKind::Picture},
    tKnownChunk{fdAT, tPartKind::Picture},
    tKnownChunk{eXIf, tPartKind::Exif}, tKnownChunk{tIME, tPartKind::Other},
};

bool SameText(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

// Keywords that say what a text chunk holds. Programs write EXIF and IPTC as
// hex dumps under these ("raw profiles"); the case varies between writers.
struct tKeyword {
    std::string_view Keyword;
    tPartKind Kind;
};
constexpr std::array kKeywords{
    tKeyword{"Raw profile type exif", tPartKind::Exif}, tKeyword{"Raw profile type APP1", tPartKind::Exif},
    tKeyword{"Raw profile type iptc", tPartKind::Iptc}, tKeyword{"Raw profile type 8bim", tPartKind::Iptc},
    tKeyword{"Comment", tPartKind::Comment},
};

}  // namespace

std::string TypeName(uint32_t type)
{
    return {char(type >> 24), char(type >> 16), char(type >> 8), char(type)};
}

bool IsValidType(uint32_t type)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const auto c = char((type >> shift) & 0xFF);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    }
    return true;
}

tPartKind KindOf(uint32_t type, std::string_view keyword)
{
    if (IsText(type)) {
        for (const tKeyword& k : kKeywords)
            if (SameText(keyword, k.Keyword)) return k.Kind;
        // XMP, authors, software, times, descriptions, ...
        return tPartKind::Other;
    }
    for (const tKnownChunk& k : kKnownChunks)
        if (k.Type == type) return k.Kind;
    return IsCritical(type) ? tPartKind::Picture : tPartKind::Other;
}

}  // namespace png
