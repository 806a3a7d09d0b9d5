#pragma once
// The maker tag tables: one constant table per maker layout, each in its own
// file, built once into TTagEntry rows for WalkMakerDirectory.
//
// Rows are looked up by TagNo. Row 0 of a table is listed but never becomes a
// list entry or applies its hook; rows named "Skip" (any case) are ignored.

#include <span>
#include <string_view>

#include "meta/exif/tag_entry.h"
#include "meta/exif/tag_row.h"

// A maker row shows its key name as its label unless told otherwise.
constexpr tTagRow MakerRow(uint16_t tagNo, std::string_view name)
{
    return Row(tagNo, name).WithLabel(name);
}

// Nikon notes whose bytes begin with "Nikon" (an eight-byte header first).
std::span<const TTagEntry> NikonTable1();
// The other Nikon notes.
std::span<const TTagEntry> NikonTable2();
std::span<const TTagEntry> OlympusTable();
std::span<const TTagEntry> CasioTable();
std::span<const TTagEntry> FujiTable();
std::span<const TTagEntry> CanonTable();
std::span<const TTagEntry> SeikoTable();
std::span<const TTagEntry> SanyoTable();
std::span<const TTagEntry> MinoltaTable();
