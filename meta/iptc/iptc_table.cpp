#include "meta/iptc/iptc_table.h"

#include <algorithm>

constexpr std::array<tIptcDataset, kIptcTableSize> IPTCTable{{
    {2, 0, "SKIP", "Record Version", 64},
    {2, 5, "ObjectName", "Object name", 64},
    {2, 10, "Urgency", "Urgency", 1},
    {2, 12, "SubRef", "Subject Reference", 236},
    {2, 15, "Category", "Category", 3},
    {2, 20, "SuppCategory", "Supplemental category", 32},
    {2, 22, "FixtureID", "Fixture ID", 32},
    {2, 25, "Keywords", "Keywords", 32},
    {2, 40, "SpecialInstru", "Special Instructions", 256},
    {2, 55, "DateCreated", "Date created", 8},
    {2, 60, "TimeCreated", "Time created", 11},
    {2, 65, "OriginatingProgram", "Originating Program", 32},
    {2, 70, "ProgramVersion", "Program version", 10},
    {2, 80, "ByLine", "ByLine", 32},
    {2, 85, "ByLineTitle", "ByLine Title", 32},
    {2, 90, "City", "City", 32},
    {2, 92, "SubLocation", "Sublocation", 32},
    {2, 95, "State", "Province/State", 32},
    {2, 100, "LocationCode", "Country/Primary Location Code", 3},
    {2, 101, "LocationName", "Country/Primary Location Name", 64},
    {2, 103, "TransmissionRef", "Original Transmission Reference", 32},
    {2, 105, "ImageHeadline", "Image headline", 256},
    {2, 110, "ImageCredit", "Image credit", 32},
    {2, 115, "Source", "Source", 32},
    {2, 116, "Copyright", "Copyright Notice", 128},
    {2, 118, "Contact", "Contact", 128},
    {2, 120, "ImageCaption", "Image caption", 2000},
    {2, 122, "ImageCaptionWriter", "Image caption writer", 32},
    {2, 130, "ImageType", "Image type", 2},
    {2, 131, "Orientation", "Image Orientation", 1},
    {2, 135, "LangID", "Language ID", 2},
    {8, 10, "Subfile", "Subfile", 2},
}};

bool IsIptcMultiTag(uint32_t datasetNo)
{
    return std::find(IPTCMultiTags.begin(), IPTCMultiTags.end(), datasetNo) != IPTCMultiTags.end();
}

TTagEntry IptcEntryFromRow(const tIptcDataset& row)
{
    TTagEntry entry;
    entry.RecordNo = row.RecordNo;
    entry.TagNo = row.TagNo;
    entry.TagName = std::string(row.TagName);
    entry.Label = std::string(row.Label);
    entry.MaxLength = row.MaxLength;
    return entry;
}
