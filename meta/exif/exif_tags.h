#pragma once
// The EXIF and GPS tag dictionaries: constant rows, the process-wide prepared
// tables built from them, and the lookups the directory walk uses.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "meta/exif/tag_entry.h"
#include "meta/exif/tag_row.h"

// Declared in full in meta/exif/image_info.h; an opaque declaration keeps this
// header free of the decoder.
enum class tDirKind;

inline constexpr int32_t kExifTagRows = 251;   // 250 tags and the "Unknown" row
inline constexpr int32_t kExifUnknownRow = 250;
inline constexpr int32_t kGpsTagRows = 31;

// The stored rows: tags of IFD0, the EXIF and interoperability directories in
// ascending order plus the "Unknown" row (exif_tags.cpp); GPS tags 0..0x1E
// (gps_tags.cpp).
std::span<const tTagRow> ExifTagRows();
std::span<const tTagRow> GpsTagRows();

// Builds both tables once per process and fills every empty Label with
// SpaceName(TagName). Safe to call from any thread, any number of times.
void PrepareTagTables();

// The prepared tables (prepared on first use if PrepareTagTables has not run).
const std::vector<TTagEntry>& ExifTagTable();
const std::vector<TTagEntry>& GpsTagTable();

// "ImageWidth" -> "Image Width", "ISOSpeedRatings" -> "ISO Speed Ratings":
// a blank before each capital that follows a small letter or a digit, and
// before the last capital of a run that a small letter follows. "YCbCr" stays
// one word.
std::string SpaceName(std::string_view name);

// Copy of the row naming `tag` in the kind's table (ExifKind: EXIF rows
// 0..249; GpsKind: all GPS rows; other kinds: none), else of the "Unknown" row.
TTagEntry LookupDirTag(uint16_t tag, tDirKind kind);

// Lowest index among EXIF rows 0..249 whose TagName equals `name` ignoring
// ASCII case; -1 when there is none.
int32_t StaticTagIndex(std::string_view name);
