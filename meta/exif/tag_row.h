#pragma once
// A tag table row as constant data. TTagEntry holds std::string fields and so
// cannot be built at compile time; tables are kept as constexpr arrays of these
// rows and turned into TTagEntry vectors once, at run time.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "meta/exif/tag_entry.h"

struct tTagRow {
    uint16_t TagNo = 0;
    std::string_view TagName;
    std::string_view Label;       // empty: filled in when the table is prepared
    std::string_view ValueCodes;
    std::string_view Template;
    TTagHook Hook = nullptr;

    // Builders so that a table reads one row per line:
    // Row(0x0112, "Orientation").Codes("1:Normal,...").
    constexpr tTagRow WithLabel(std::string_view label) const
    {
        tTagRow r = *this;
        r.Label = label;
        return r;
    }
    constexpr tTagRow Codes(std::string_view codes) const
    {
        tTagRow r = *this;
        r.ValueCodes = codes;
        return r;
    }
    constexpr tTagRow Format(std::string_view tmpl) const
    {
        tTagRow r = *this;
        r.Template = tmpl;
        return r;
    }
    constexpr tTagRow WithHook(TTagHook hook) const
    {
        tTagRow r = *this;
        r.Hook = hook;
        return r;
    }
};

constexpr tTagRow Row(uint16_t tagNo, std::string_view name)
{
    return tTagRow{tagNo, name, {}, {}, {}, nullptr};
}

// One TTagEntry per row, in row order, labels as stored (maker tables use
// this as is; the EXIF and GPS tables get their empty labels filled after).
std::vector<TTagEntry> BuildTagTable(std::span<const tTagRow> rows);
