#pragma once
// What a picture file is made of, as cleaning sees it, and the one rule that
// says what becomes of each part under the user's choices. Every format
// describes its parts in these words; the batch step ("does this file
// change?"), the planners, the listing and the check before publish all ask
// FateOf, so no two of them can disagree.

#include <cstdint>
#include <string>
#include <vector>

// The file types the File types row offers; content, not the name, decides which one a file is.
enum class tFileType : uint8_t { Jpeg, Png, Webp, Heif, Video };

// What a part holds.
enum class tPartKind : uint8_t {
    Exif,     // EXIF: camera, time, place, serial numbers
    Comment,  // a free-text comment
    Iptc,     // IPTC datasets: caption, keywords, creator, place
    Other,    // XMP, text chunks, makers' blocks, unknown data, bytes after the picture
    Display,  // needed to show the picture right: colour profile, gamma, size, orientation, gain map
    Picture,  // the coded picture and the structure around it
};

// What the user ticked.
struct tChoices {
    bool Exif = false, Comment = false, Iptc = false, Other = false;
    // With EXIF removed, a minimal EXIF keeps an Orientation other than 1.
    bool KeepOrientation = false;

    bool Any() const { return Exif || Comment || Iptc || Other; }
};

enum class tFate : uint8_t {
    Keep,     // copied as it stands
    Drop,     // left out
    Rewrite,  // replaced by what a cleaned file may hold of it (the orientation alone, ...)
};

// One part of a file: a range of the source and what it holds.
struct tPart {
    tPartKind Kind = tPartKind::Picture;
    int64_t Offset = 0, Length = 0;  // where it stands in the source
    std::string Name;                 // as the listing names it: "eXIf", "tEXt Author", "APP1 Exif"
    // EXIF: the Orientation it records (1 to 8; 0: none).
    int32_t Orientation = 0;
    // Nothing in it that a cleaned file may not hold: an empty comment, an
    // EXIF block of the orientation alone, an XMP packet of gain-map
    // properties only. Such a part is written the same way again, and is
    // never a reason to change a file.
    bool NothingToRemove = false;
    // Holds something a cleaned file keeps beside what goes (Photoshop
    // resources beside IPTC, gain-map properties in XMP): rewritten, not dropped.
    bool KeepsSomething = false;
    // Kept, but with its sizes or flags brought up to date for what went (a
    // RIFF header, WebP's VP8X): written anew, not copied as it stands.
    bool Adjusted = false;
};

// The rule: what `choices` do to `part`.
tFate FateOf(const tPart& part, const tChoices& choices);
// True when `part` is a reason to change the file: its fate is not Keep and
// it holds something to remove.
bool Removes(const tPart& part, const tChoices& choices);
bool RemovesAny(const std::vector<tPart>& parts, const tChoices& choices);
// "EXIF", "comment", "IPTC", "other", "display", "picture".
const char* KindName(tPartKind kind);
// "kept", "removed (EXIF)", "rewritten (orientation only)", ... for the listing.
std::string FateText(const tPart& part, const tChoices& choices);
