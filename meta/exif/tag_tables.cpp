// The prepared EXIF and GPS tables and the lookups into them.

#include <algorithm>

#include "meta/exif/exif_tags.h"
#include "meta/exif/image_info.h"

std::vector<TTagEntry> BuildTagTable(std::span<const tTagRow> rows)
{
    std::vector<TTagEntry> table;
    table.reserve(rows.size());
    for (const tTagRow& row : rows) {
        TTagEntry& entry = table.emplace_back();
        entry.TagNo = row.TagNo;
        entry.TagName = row.TagName;
        entry.Label = row.Label;
        entry.ValueCodes = row.ValueCodes;
        entry.Template = row.Template;
        entry.Hook = row.Hook;
    }
    return table;
}

namespace {

struct tPreparedTables {
    std::vector<TTagEntry> Exif;
    std::vector<TTagEntry> Gps;
};

std::vector<TTagEntry> BuildLabelled(std::span<const tTagRow> rows)
{
    std::vector<TTagEntry> table = BuildTagTable(rows);
    for (TTagEntry& entry : table)
        if (entry.Label.empty()) entry.Label = SpaceName(entry.TagName);
    return table;
}

// A function-local static: built on first use, thread-safe, read-only after.
const tPreparedTables& Prepared()
{
    static const tPreparedTables tables{BuildLabelled(ExifTagRows()), BuildLabelled(GpsTagRows())};
    return tables;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

void PrepareTagTables()
{
    Prepared();
}

const std::vector<TTagEntry>& ExifTagTable()
{
    return Prepared().Exif;
}

const std::vector<TTagEntry>& GpsTagTable()
{
    return Prepared().Gps;
}

std::string SpaceName(std::string_view name)
{
    // Words that mix cases but are read as one.
    constexpr std::string_view kWholeWords[] = {"YCbCr"};
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::string spaced;
    for (size_t i = 0; i < name.size();) {
        const char c = name[i];
        // A word starts at a capital after a small letter or digit ("ImageWidth",
        // "T4Options"), and at the last capital of a run that a small letter
        // follows ("ISOSpeed", "GPSVersion").
        const bool starts = i > 0 && upper(c) &&
                            (lower(name[i - 1]) || digit(name[i - 1]) ||
                             (upper(name[i - 1]) && i + 1 < name.size() && lower(name[i + 1])));
        if (starts) spaced += ' ';
        const auto whole = std::find_if(std::begin(kWholeWords), std::end(kWholeWords),
                                        [&](std::string_view w) { return name.substr(i).starts_with(w); });
        const std::string_view taken = whole != std::end(kWholeWords) ? *whole : name.substr(i, 1);
        spaced += taken;
        i += taken.size();
    }
    return spaced;
}

TTagEntry LookupDirTag(uint16_t tag, tDirKind kind)
{
    const std::vector<TTagEntry>& exif = ExifTagTable();
    std::span<const TTagEntry> searched;
    if (kind == tDirKind::ExifKind)
        searched = std::span(exif).first(kExifUnknownRow);
    else if (kind == tDirKind::GpsKind)
        searched = GpsTagTable();
    const auto found = std::find_if(searched.begin(), searched.end(),
                                    [tag](const TTagEntry& row) { return row.TagNo == tag; });
    return found != searched.end() ? *found : exif[kExifUnknownRow];
}

int32_t StaticTagIndex(std::string_view name)
{
    const std::vector<TTagEntry>& exif = ExifTagTable();
    for (int32_t i = 0; i < kExifUnknownRow; ++i)
        if (SameIgnoringAsciiCase(exif[i].TagName, name)) return i;
    return -1;
}
