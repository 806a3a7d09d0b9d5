#include "meta/iptc/iptc_data.h"

#include <gtest/gtest.h>

#include "meta/iptc/iptc_table.h"
#include "tests/meta/iptc/fake_owner.h"
#include "tests/meta/iptc/iptc_bytes.h"

using iptcbytes::IptcBlock;
using iptcbytes::Record;

namespace {

const std::string kVersion = Record(2, 0, std::string("\0\2", 2));

std::string Parsed(TIPTCdata& c, int32_t i) { return c.GetEntry(i).TagName + "=" + c.GetEntry(i).Text; }

}  // namespace

TEST(IptcTable, EveryDatasetHasOneRow)
{
    EXPECT_EQ(IPTCTable[0].TagNo, 0);
    EXPECT_EQ(IPTCTable[31].RecordNo, 8);
    // Dataset numbers of record 2 rise strictly: no row shadows another.
    for (int i = 1; i < 31; ++i) EXPECT_LT(IPTCTable[i - 1].TagNo, IPTCTable[i].TagNo) << i;
    EXPECT_TRUE(IsIptcMultiTag(20));
    EXPECT_TRUE(IsIptcMultiTag(25));
    EXPECT_FALSE(IsIptcMultiTag(5));
    EXPECT_FALSE(IsIptcMultiTag(25 + 256));
}

TEST(IptcTable, NamesFoldAsciiCaseOnly)
{
    EXPECT_EQ(TIPTCdata::TableIndexByName("objectname"), 1);
    EXPECT_EQ(TIPTCdata::TableIndexByName("SUBFILE"), 31);
    EXPECT_EQ(TIPTCdata::TableIndexByName("skip"), 0);
    EXPECT_EQ(TIPTCdata::TableIndexByName("Keyword"), -1);
    EXPECT_EQ(TIPTCdata::TableIndexByName(""), -1);
    // 0xCB folded by a Windows-1252 or locale-aware routine would become 0xEB.
    EXPECT_EQ(TIPTCdata::TableIndexByName("\xCB" "eywords"), -1);
}

TEST(IptcParse, FourRecordExampleJoinsKeywordsAndDropsVersion)
{
    TIPTCdata c(nullptr);
    c.ParseSegment(IptcBlock(kVersion + Record(2, 25, "abc") + Record(2, 25, "de") + Record(2, 5, "x")));
    ASSERT_EQ(c.TagCount(), 2);
    EXPECT_EQ(Parsed(c, 0), "Keywords=abc,de");
    EXPECT_EQ(Parsed(c, 1), "ObjectName=x");
    const TTagEntry e = c.GetEntry(1);
    EXPECT_EQ(e.RecordNo, 2);
    EXPECT_EQ(e.TagNo, 5);
    EXPECT_EQ(e.Label, "Object name");
    EXPECT_EQ(e.MaxLength, 64);
}

TEST(IptcParse, RecordVersionAloneGivesNoEntry)
{
    TIPTCdata c(nullptr);
    c.ParseSegment(IptcBlock(kVersion));
    EXPECT_EQ(c.TagCount(), 0);
    EXPECT_FALSE(c.HasData());
}

TEST(IptcParse, OtherRecordsAndUnknownDatasetsArePassedOverByLength)
{
    TIPTCdata c(nullptr);
    // The skipped values hold bytes that would read as datasets if the parse
    // did not jump over them by their declared length.
    const std::string decoy = Record(2, 120, "caption");
    c.ParseSegment(IptcBlock(Record(2, 5, "x") + Record(1, 90, decoy) + Record(2, 200, decoy) +
                             Record(8, 20, decoy) + Record(2, 25, "k")));
    ASSERT_EQ(c.TagCount(), 2);
    EXPECT_EQ(Parsed(c, 0), "ObjectName=x");
    EXPECT_EQ(Parsed(c, 1), "Keywords=k");
}

TEST(IptcParse, EmptyKeywordsJoinOnlyWhenFirst)
{
    TIPTCdata c(nullptr);
    c.ParseSegment(IptcBlock(Record(2, 25, "") + Record(2, 25, "a")));
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), ",a");

    c.ParseSegment(IptcBlock(Record(2, 25, "a") + Record(2, 25, "")));
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), "a");
}

TEST(IptcParse, SubfileIsTheOnlyRecordEightDataset)
{
    TIPTCdata c(nullptr);
    c.ParseSegment(IptcBlock(Record(8, 10, "ab") + Record(8, 11, "zz") + Record(8, 5, "y")));
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(Parsed(c, 0), "Subfile=ab");
    EXPECT_EQ(c.GetEntry(0).RecordNo, 8);
}

TEST(IptcParse, LengthPastTheEndKeepsWhatIsThereAndEnds)
{
    TIPTCdata c(nullptr);
    std::string records = Record(2, 5, "x") + Record(2, 120, "0123456789");
    records[records.size() - 11] = 100;  // low length byte of the caption: 100, only 10 follow
    c.ParseSegment(iptcbytes::App13Bytes(records));
    ASSERT_EQ(c.TagCount(), 2);
    EXPECT_EQ(c.GetTagValue("ImageCaption", "?"), "0123456789");
}

TEST(IptcParse, RecordsEndWithTheirResource)
{
    TIPTCdata c(nullptr);
    const std::string bytes = iptcbytes::App13Bytes(iptcbytes::Resource(0x0404, Record(2, 5, "x")) +
                                                    iptcbytes::Resource(0x040B, Record(2, 90, "Oslo")));
    c.ParseSegment(bytes);
    // The 1C 02 bytes in the resource after 0x0404 are not IPTC records.
    EXPECT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetTagValue("ObjectName", "?"), "x");
    EXPECT_EQ(c.LookupTag("City"), -1);

    // Nor are records that follow 0x0404 outside any resource.
    c.ParseSegment(iptcbytes::App13Bytes(iptcbytes::Resource(0x0404, Record(2, 5, "x")) + Record(2, 90, "Oslo")));
    EXPECT_EQ(c.GetTagValue("City", "?"), "?");
}

TEST(IptcParse, AByteOtherThanTheTagMarkerEndsTheRecords)
{
    TIPTCdata c(nullptr);
    std::string records = Record(2, 5, "x") + Record(2, 25, "k");
    records[6] = '\xFF';  // where the second 1C stands
    c.ParseSegment(IptcBlock(records));
    EXPECT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetTagValue("ObjectName", "?"), "x");
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), "?");
}

namespace {

using iptcbytes::App13Bytes;
using iptcbytes::BigEndian;
using iptcbytes::ExtendedHeader;
using iptcbytes::ExtendedRecord;
using iptcbytes::Resource;

// The entries a parse gives, "Name=value" joined by " | ".
std::string Entries(const TIPTCdata& c)
{
    std::string out;
    for (int32_t i = 0; i < c.TagCount(); ++i)
        out += (i ? " | " : "") + c.GetEntry(i).TagName + "=" + c.GetEntry(i).Text;
    return out;
}

struct tBlockCase {
    const char* what;
    std::string bytes;  // an APP13 section's bytes
    std::string entries;
};

const std::string kX = Record(2, 5, "x");
const std::string kOslo = Record(2, 90, "Oslo");

const tBlockCase kBlockCases[] = {
    {"extended length in four bytes", IptcBlock(ExtendedRecord(2, 120, "abc") + kX), "ImageCaption=abc | ObjectName=x"},
    {"extended length in one byte", IptcBlock(ExtendedRecord(2, 120, "abc", 1) + kX),
     "ImageCaption=abc | ObjectName=x"},
    {"extended length of a record passed over", IptcBlock(ExtendedRecord(1, 90, kOslo) + kX), "ObjectName=x"},
    {"extended length in five bytes ends the records", IptcBlock(kX + ExtendedRecord(2, 120, "abc", 5) + kOslo),
     "ObjectName=x"},
    {"extended length in no bytes ends the records", IptcBlock(kX + std::string("\x1C\x02\x78\x80\x00", 5) + kOslo),
     "ObjectName=x"},
    {"extended length cut by the end", IptcBlock(kX + ExtendedHeader(2, 120, 3).substr(0, 7)), "ObjectName=x"},
    {"extended length past the end keeps what is there", IptcBlock(kX + ExtendedHeader(2, 120, 1000) + "abc"),
     "ObjectName=x | ImageCaption=abc"},
    {"0x0404 size past the end of the block: read to the end",
     App13Bytes(Resource(0x03ED, kOslo) + "8BIM\x04\x04" + std::string(2, '\0') + BigEndian(1000, 4) + kX +
                Record(2, 120, "0123456789").substr(0, 9)),
     "ObjectName=x | ImageCaption=0123"},
    {"a record cut by its resource's end keeps the bytes inside",
     App13Bytes(Resource(0x0404, kX + Record(2, 120, "0123456789").substr(0, 9)) + Resource(0x040B, "456789")),
     "ObjectName=x | ImageCaption=0123"},
    {"resources before 0x0404 are passed over, 1C 02 in them unread",
     App13Bytes(Resource(0x03ED, kOslo) + Resource(0x0404, kX)), "ObjectName=x"},
    {"resource names padded to an even length",
     App13Bytes(Resource(0x03ED, kOslo, "abc") + Resource(0x0404, kX, "ab")), "ObjectName=x"},
    {"a resource list without 0x0404 holds no records", App13Bytes(Resource(0x040B, kOslo)), ""},
    {"an earlier resource's size past the end: records searched for",
     App13Bytes("8BIM\x03\xED" + std::string(2, '\0') + BigEndian(0x10000, 4) + Resource(0x0404, kX)),
     "ObjectName=x"},
    {"signature without its 00: records searched for, ending at the next resource",
     std::string(2, '\0') + "Photoshop 3.0 " + Resource(0x0404, kX) + Resource(0x040B, kOslo), "ObjectName=x"},
    {"the envelope record before the application record", IptcBlock(Record(1, 90, "\x1B%G") + kX), "ObjectName=x"},
    {"a header cut short after the last record", IptcBlock(kX + std::string("\x1C\x02", 2)), "ObjectName=x"},
};

}  // namespace

TEST(IptcParse, BlockLayouts)
{
    for (const tBlockCase& tc : kBlockCases) {
        TIPTCdata c(nullptr);
        c.ParseSegment(tc.bytes);
        EXPECT_EQ(Entries(c), tc.entries) << tc.what;
    }
}

TEST(IptcParse, SearchStartsAfterSignatureOrAtTwelve)
{
    TIPTCdata c(nullptr);
    // Without the signature, a record before offset 12 is not seen.
    std::string bytes = std::string(2, '\0') + Record(2, 5, "A") + std::string(4, '\0');
    ASSERT_EQ(bytes.size(), 12u);
    bytes += Record(2, 5, "B");
    c.ParseSegment(bytes);
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetTagValue("ObjectName", "?"), "B");

    // With it, bytes before the signature are not looked at.
    c.ParseSegment(Record(2, 5, "A") + iptcbytes::IptcBlock(Record(2, 5, "C")));
    EXPECT_EQ(c.GetTagValue("ObjectName", "?"), "C");
}

TEST(IptcParse, NothingToReadGivesAnEmptyList)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("City", "Oslo");
    c.ParseSegment(IptcBlock(std::string("\x1C\x03\x05\x00\x01x", 6)));
    EXPECT_EQ(c.TagCount(), 0);
    c.ParseSegment(iptcbytes::App13Bytes("\x1C"));  // a 1C in the last byte
    EXPECT_EQ(c.TagCount(), 0);
    c.ParseSegment(iptcbytes::App13Bytes(std::string("\x1C\x02\x05", 3)));  // header cut short
    EXPECT_EQ(c.TagCount(), 0);
    c.ParseSegment("");
    EXPECT_EQ(c.TagCount(), 0);
}

TEST(IptcParse, ThirteenThousandDatasetsAreAllRead)
{
    // Single datasets first, then a repeatable one whose entry stands behind
    // them all: every append looks its name up past 6 550 entries.
    constexpr int kHalf = 6550;
    std::string records, keywords;
    for (int i = 0; i < kHalf; ++i) records += Record(2, 15, std::to_string(i));
    for (int i = 0; i < kHalf; ++i) {
        records += Record(2, 25, "k" + std::to_string(i));
        keywords += (i ? ",k" : "k") + std::to_string(i);
    }
    TIPTCdata c(nullptr);
    c.ParseSegment(IptcBlock(records));
    ASSERT_EQ(c.TagCount(), kHalf + 1);
    int wrong = 0;
    for (int i = 0; i < kHalf; ++i)
        wrong += c.GetEntry(i).TagName != "Category" || c.GetEntry(i).Text != std::to_string(i);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(c.LookupTag("category"), 0);
    EXPECT_EQ(c.GetEntry(kHalf).TagName, "Keywords");
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), keywords);
    EXPECT_EQ(c.TagCapacity(), 6575);  // still in steps of 25, one slot spare
}

TEST(IptcList, SetTagValueAddsFromTableOrKeepsHeldValue)
{
    TIPTCdata c(nullptr);
    EXPECT_EQ(c.SetTagValue("keywords", ""), 0);
    ASSERT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.GetEntry(0).TagName, "Keywords");  // the table's spelling
    EXPECT_EQ(c.GetEntry(0).Text, "");

    c.SetTagValue("Keywords", "abc");
    EXPECT_EQ(c.SetTagValue("KEYWORDS", ""), 0);
    EXPECT_EQ(c.GetTagValue("keywords", "?"), "abc");
    EXPECT_EQ(c.SetTagValue("keywords", "z"), 0);
    EXPECT_EQ(c.GetTagValue("keywords", "?"), "z");

    EXPECT_EQ(c.SetTagValue("Nickname", "x"), -1);
    EXPECT_EQ(c.TagCount(), 1);
    // The record-version row has dataset 0 and never enters the list.
    EXPECT_EQ(c.SetTagValue("SKIP", "v"), 0);
    EXPECT_EQ(c.TagCount(), 1);
}

TEST(IptcList, LookupFoldsCaseAndMissesGiveDefaults)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("ObjectName", "o");
    c.SetTagValue("Keywords", "k");
    EXPECT_EQ(c.LookupTag("KEYWORDS"), 1);
    EXPECT_EQ(c.LookupTag("City"), -1);
    EXPECT_EQ(c.GetTagValue("City", "none"), "none");
    EXPECT_EQ(c.GetEntry(5).TagNo, 0);
    EXPECT_EQ(c.GetEntry(-1).TagName, "");
}

TEST(IptcList, AddOrAppendJoinsNonEmptyValues)
{
    TIPTCdata c(nullptr);
    EXPECT_EQ(c.AddOrAppendTag("SuppCategory", "a"), 0);
    EXPECT_EQ(c.AddOrAppendTag("suppcategory", "b"), 0);
    EXPECT_EQ(c.AddOrAppendTag("SuppCategory", ""), 0);
    EXPECT_EQ(c.GetTagValue("SuppCategory", "?"), "a,b");
    EXPECT_EQ(c.AddOrAppendTag("Unknown", "x"), -1);
}

TEST(IptcList, SetTagByNameAppendsOnlyForRepeatableDatasets)
{
    TIPTCdata c(nullptr);
    c.SetTagByName("keywords", "a");
    c.SetTagByName("Keywords", "b");
    c.SetTagByName("City", "Oslo");
    c.SetTagByName("city", "Bergen");
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), "a,b");
    EXPECT_EQ(c.GetTagValue("City", "?"), "Bergen");
    EXPECT_EQ(c.SetTagByName("Nickname", "x"), -1);
    EXPECT_EQ(c.TagCount(), 2);
}

TEST(IptcList, RemoveShiftsLaterEntriesDown)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("ObjectName", "o");
    c.SetTagValue("City", "c");
    c.SetTagValue("Source", "s");

    c.RemoveTag("source");  // the last one: only the count changes
    ASSERT_EQ(c.TagCount(), 2);
    EXPECT_EQ(Parsed(c, 0), "ObjectName=o");
    EXPECT_EQ(Parsed(c, 1), "City=c");
    EXPECT_EQ(c.TagCapacity(), 25);

    c.SetTagValue("Source", "s");
    c.RemoveTag("OBJECTNAME");
    ASSERT_EQ(c.TagCount(), 2);
    EXPECT_EQ(Parsed(c, 0), "City=c");
    EXPECT_EQ(Parsed(c, 1), "Source=s");

    c.RemoveTag("Contact");
    EXPECT_EQ(c.TagCount(), 2);

    // A second entry of a name is found once the first has gone.
    TTagEntry city = IptcEntryFromRow(IPTCTable[15]);
    city.Text = "d";
    c.AddEntry(city);
    EXPECT_EQ(c.LookupTag("City"), 0);
    c.RemoveTag("City");
    EXPECT_EQ(c.LookupTag("city"), 1);
    EXPECT_EQ(c.GetTagValue("City", "?"), "d");
}

TEST(IptcList, GrowsByTwentyFiveKeepingOneSlotSpare)
{
    TIPTCdata c(nullptr);
    TTagEntry e = IptcEntryFromRow(IPTCTable[1]);
    EXPECT_EQ(c.TagCapacity(), 0);
    for (int i = 1; i <= 24; ++i) EXPECT_EQ(c.AddEntry(e), i - 1);
    EXPECT_EQ(c.TagCapacity(), 25);
    c.AddEntry(e);
    EXPECT_EQ(c.TagCapacity(), 50);
    c.AddEntry(e);
    EXPECT_EQ(c.TagCount(), 26);
    EXPECT_EQ(c.TagCapacity(), 50);

    c.Clear();
    EXPECT_EQ(c.TagCount(), 0);
    EXPECT_EQ(c.TagCapacity(), 50);
    EXPECT_FALSE(c.HasData());
    EXPECT_EQ(c.LookupTag("ObjectName"), -1);
}

TEST(IptcList, EntriesWithoutDatasetAreRefused)
{
    TIPTCdata c(nullptr);
    EXPECT_EQ(c.AddEntry(BlankTag), -1);
    EXPECT_EQ(c.TagCapacity(), 0);
    c.SetTagValue("City", "c");
    TTagEntry e = IptcEntryFromRow(IPTCTable[0]);
    e.Text = "v";
    EXPECT_EQ(c.AddEntry(e), 0);
    EXPECT_EQ(c.TagCount(), 1);
}

TEST(IptcList, SetTagCountOnlyShrinks)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("City", "c");
    c.SetTagValue("Source", "s");
    c.SetTagCount(5);
    EXPECT_EQ(c.TagCount(), 2);
    c.SetTagCount(1);
    EXPECT_EQ(c.TagCount(), 1);
    EXPECT_EQ(c.LookupTag("Source"), -1);
}

namespace {

// Resolves the alias "kw" and counts every lookup, to show which operations
// go through the overridable slots.
class TAliasContainer : public TIPTCdata {
public:
    using TIPTCdata::TIPTCdata;
    mutable int Lookups = 0;
    int Appends = 0;
    int32_t LookupTag(const std::string& name) const override
    {
        ++Lookups;
        return TIPTCdata::LookupTag(name == "kw" ? "Keywords" : name);
    }
    int32_t AddOrAppendTag(const std::string& name, const std::string& value) override
    {
        ++Appends;
        return TIPTCdata::AddOrAppendTag(name, value);
    }
    int32_t SetTagValue(const std::string& name, const std::string& value) override
    {
        return TIPTCdata::SetTagValue(name, value + "!");
    }
};

}  // namespace

TEST(IptcList, OperationsReachEachOtherThroughTheSlots)
{
    TAliasContainer c(nullptr);
    c.ParseSegment(IptcBlock(Record(2, 25, "a") + Record(2, 5, "o") + Record(2, 25, "b")));
    EXPECT_EQ(c.Appends, 2);  // only the repeatable dataset
    // The first keyword went AddOrAppendTag -> SetTagValue (the override).
    EXPECT_EQ(c.GetTagValue("kw", "?"), "a!,b");
    EXPECT_EQ(c.GetTagValue("ObjectName", "?"), "o");

    c.Lookups = 0;
    c.AddOrAppendTag("kw", "c");
    EXPECT_EQ(c.Lookups, 1);
    c.RemoveTag("kw");
    EXPECT_EQ(c.Lookups, 2);
    EXPECT_EQ(c.TagCount(), 1);
    c.SetTagByName("Keywords", "d");
    EXPECT_EQ(c.GetTagValue("Keywords", "?"), "d!");
}

TEST(IptcOwner, ReadFileParsesIntoWhatTheOwnerHoldsAfterItsScan)
{
    TFakeOwner owner;
    owner.Files["a.jpg"] = IptcBlock(Record(2, 25, "k") + Record(2, 90, "Oslo"));
    owner.Held = std::make_unique<TIPTCdata>(&owner);
    // The scan frees the very container running ReadFile.
    EXPECT_TRUE(owner.Held->ReadFile("a.jpg"));
    EXPECT_EQ(owner.Scans, 1);
    ASSERT_NE(owner.Held, nullptr);
    EXPECT_EQ(owner.Held->GetTagValue("City", "?"), "Oslo");
    EXPECT_FALSE(owner.Held->ReadFile("plain.jpg"));
    EXPECT_EQ(owner.Held, nullptr);

    // A container the owner does not hold survives the scan and reads too.
    TIPTCdata own(&owner);
    own.SetTagValue("ObjectName", "stale");
    EXPECT_TRUE(own.ReadFile("a.jpg"));
    EXPECT_EQ(own.GetTagValue("Keywords", "?"), "k");
    EXPECT_EQ(own.LookupTag("ObjectName"), -1);
    ASSERT_NE(owner.Held, nullptr);
    EXPECT_EQ(owner.Held->GetTagValue("Keywords", "?"), "k");
    EXPECT_FALSE(own.ReadFile("plain.jpg"));
    EXPECT_EQ(own.TagCount(), 0);

    TIPTCdata orphan(nullptr);
    EXPECT_FALSE(orphan.ReadFile("a.jpg"));
}
