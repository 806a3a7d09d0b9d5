#include "meta/makernote/maker_tables.h"

#include <gtest/gtest.h>

#include "meta/exif/value_render.h"
#include "meta/makernote/canon_custom_functions.h"
#include "meta/makernote/maker_hooks.h"

namespace {

const TTagEntry* FindRow(std::span<const TTagEntry> table, uint16_t tag)
{
    for (const TTagEntry& row : table)
        if (row.TagNo == tag) return &row;
    return nullptr;
}

struct tNamedTable {
    const char* Name;
    std::span<const TTagEntry> (*Table)();
    size_t Rows;
    uint16_t FirstTag;
    uint16_t LastTag;
};

const tNamedTable kTables[] = {
    {"Nikon1", NikonTable1, 11, 0x0002, 0x0F00}, {"Nikon2", NikonTable2, 55, 0x0001, 0x0F00},
    {"Olympus", OlympusTable, 33, 0x0200, 0x1034}, {"Casio", CasioTable, 26, 0x0001, 0x001A},
    {"Fuji", FujiTable, 18, 0x0000, 0x1302}, {"Canon", CanonTable, 16, 0x0000, 0x0010},
    {"Seiko", SeikoTable, 12, 0x0200, 0x0F00}, {"Sanyo", SanyoTable, 6, 0x0200, 0x0F00},
    {"Minolta", MinoltaTable, 2, 0x0000, 0x0E00},
};

}  // namespace

TEST(MakerTables, SizesOrderAndOnlyTheTableFields)
{
    for (const tNamedTable& t : kTables) {
        SCOPED_TRACE(t.Name);
        const std::span<const TTagEntry> table = t.Table();
        ASSERT_EQ(table.size(), t.Rows);
        EXPECT_EQ(table.front().TagNo, t.FirstTag);
        EXPECT_EQ(table.back().TagNo, t.LastTag);
        for (size_t i = 0; i < table.size(); ++i) {
            const TTagEntry& row = table[i];
            // Ascending, so each tag has one row.
            if (i > 0) {
                EXPECT_LT(table[i - 1].TagNo, row.TagNo) << row.TagName;
            }
            EXPECT_FALSE(row.TagName.empty());
            EXPECT_EQ(row.Origin, 0);
            EXPECT_EQ(row.FieldType, 0);
            EXPECT_EQ(row.RecordNo, 0);
            EXPECT_EQ(row.MaxLength, 0);
            EXPECT_TRUE(row.Text.empty());
            EXPECT_TRUE(row.RawBytes.empty());
            EXPECT_TRUE(row.Template.empty());
        }
        // Built once: every call hands out the same rows.
        EXPECT_EQ(t.Table().data(), table.data());
    }
}

TEST(MakerTables, LabelsAreTheNamesExceptOlympus)
{
    for (const tNamedTable& t : kTables) {
        if (t.Table == OlympusTable) continue;
        for (const TTagEntry& row : t.Table()) EXPECT_EQ(row.Label, row.TagName) << t.Name;
    }
    const std::span<const TTagEntry> olympus = OlympusTable();
    EXPECT_EQ(FindRow(olympus, 0x0204)->Label, "Digital Zoom Ratio");
    EXPECT_EQ(FindRow(olympus, 0x0204)->TagName, "DigiZoom");
    EXPECT_EQ(FindRow(olympus, 0x102D)->Label, "Coring Filter");
    EXPECT_EQ(FindRow(olympus, 0x102D)->TagName, "Coring");
    EXPECT_EQ(FindRow(olympus, 0x101A)->Label, "SerialNumber");
    EXPECT_EQ(FindRow(olympus, 0x1034)->Label, "Compression Ratio");
    EXPECT_EQ(FindRow(olympus, 0x0207)->Label, "Firmware");
}

TEST(MakerTables, CodesKeepTheirQuirks)
{
    const TTagEntry* quality = FindRow(NikonTable1(), 0x0003);
    EXPECT_EQ(CodeLookup(quality->ValueCodes, "6"), "SXGA Fine10:2 Mpixel Basic");
    EXPECT_EQ(CodeLookup(quality->ValueCodes, "10"), "");
    EXPECT_EQ(CodeLookup(quality->ValueCodes, "12"), "2 Mpixel Fine");
    const TTagEntry* macro = FindRow(OlympusTable(), 0x0202);
    EXPECT_EQ(macro->ValueCodes, "0=Normal,1:Macro;");
    EXPECT_EQ(CodeLookup(macro->ValueCodes, "0"), "");
    EXPECT_EQ(CodeLookup(macro->ValueCodes, "1"), "Macro;");
    EXPECT_EQ(CodeLookup(FindRow(CasioTable(), 0x000A)->ValueCodes, "65537"), "2X Digital Zoom");
    EXPECT_EQ(CodeLookup(FindRow(FujiTable(), 0x1002)->ValueCodes, "3840"), "Custom white balance.");
}

TEST(MakerTables, HooksSitOnTheirRowsOnly)
{
    int hooked = 0;
    for (const tNamedTable& t : kTables)
        for (const TTagEntry& row : t.Table()) hooked += row.Hook != nullptr;
    EXPECT_EQ(hooked, 4);
    EXPECT_EQ(FindRow(NikonTable2(), 0x0084)->Hook, &LensInfoHook);
    EXPECT_EQ(FindRow(CanonTable(), 0x0001)->Hook, &CanonSettingsHook);
    EXPECT_EQ(FindRow(CanonTable(), 0x0004)->Hook, &CanonShotHook);
    EXPECT_EQ(FindRow(CanonTable(), 0x000F)->Hook, &CanonCustomHook);
}

TEST(CanonCustomFunctions, FifteenNumberedFunctions)
{
    EXPECT_EQ(CanonCustomFunction(0), nullptr);
    EXPECT_EQ(CanonCustomFunction(16), nullptr);
    EXPECT_EQ(CanonCustomFunction(-1), nullptr);
    for (int32_t n = 1; n <= 15; ++n) {
        ASSERT_NE(CanonCustomFunction(n), nullptr);
        EXPECT_EQ(CanonCustomFunction(n)->Number, n);
    }
    EXPECT_EQ(CanonCustomFunction(1)->Label, "Noise Reduction");
    EXPECT_EQ(CanonCustomFunction(15)->Label, "Shutter Release w/o CF Card");
    EXPECT_EQ(CodeLookup(CanonCustomFunction(6)->Codes, "1"), " 1/200 (fixed)");
    EXPECT_EQ(CodeLookup(CanonCustomFunction(7)->Codes, "0"), "0");
    EXPECT_EQ(CodeLookup(CanonCustomFunction(7)->Codes, "1"), "");
    EXPECT_EQ(CodeLookup(CanonCustomFunction(8)->Codes, "1"), " 2nd-curtain sync");
    EXPECT_EQ(CodeLookup(CanonCustomFunction(14)->Codes, "0"), " On");
}
