// XMP and other blocks, trailers, multi-picture files and the orientation
// block: what goes, what stays, and that every index still points right.
#include <gtest/gtest.h>

#include "meta/jpeg/img_data.h"
#include "meta/jpeg/mpf.h"
#include "meta/jpeg/xmp_gain_map.h"
#include "tests/support/exiftool.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

const std::string kXmpId = "http://ns.adobe.com/xap/1.0/\0"s;

std::string Xmp(const std::string& properties)
{
    return Segment(0xE1, kXmpId + "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
                                  "02/22-rdf-syntax-ns#\">" + properties + "</rdf:RDF></x:xmpmeta>");
}

const std::string kCreator =
    "<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:creator>Jane Roe</dc:creator></rdf:Description>";

// The primary's XMP of an Ultra HDR file: gain-map version, the container
// directory listing the gain map with its length, and an author beside them.
std::string PrimaryXmp(uint32_t gainMapLength)
{
    return Xmp("<rdf:Description xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\" "
               "xmlns:Container=\"http://ns.google.com/photos/1.0/container/\" "
               "xmlns:Item=\"http://ns.google.com/photos/1.0/container/item/\" "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" hdrgm:Version=\"1.0\">"
               "<dc:creator>Jane Roe</dc:creator><Container:Directory><rdf:Seq>"
               "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Semantic=\"Primary\" Item:Mime=\"image/jpeg\"/></rdf:li>"
               "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Semantic=\"GainMap\" Item:Mime=\"image/jpeg\" "
               "Item:Length=\"" + std::to_string(gainMapLength) + "\"/></rdf:li></rdf:Seq></Container:Directory>"
               "</rdf:Description>");
}

const std::string kGainMapXmp = Xmp(
    "<rdf:Description xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" hdrgm:Version=\"1.0\" hdrgm:GainMapMax=\"2.3\" "
    "hdrgm:HDRCapacityMax=\"2.3\"><dc:creator>Jane Roe</dc:creator></rdf:Description>");

// A packet of one rdf:Description with `attributes` and `body`, declaring
// the namespaces the rows below use.
std::string Description(const std::string& attributes, const std::string& body)
{
    return Xmp("<rdf:Description rdf:about=\"\" xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\" "
               "xmlns:Container=\"http://ns.google.com/photos/1.0/container/\" "
               "xmlns:Item=\"http://ns.google.com/photos/1.0/container/item/\" "
               "xmlns:apdi=\"http://ns.apple.com/pixeldatainfo/1.0/\" "
               "xmlns:HDRGainMap=\"http://ns.apple.com/HDRGainMap/1.0/\" "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" " + attributes + ">" + body + "</rdf:Description>");
}

// Every XMP packet in a file's bytes, from each segment's length field.
std::vector<std::string> XmpPackets(const std::string& file)
{
    std::vector<std::string> packets;
    for (size_t at = file.find(kXmpId); at != std::string::npos && at >= 2; at = file.find(kXmpId, at + 1)) {
        const size_t length = static_cast<uint8_t>(file[at - 2]) * 256u + static_cast<uint8_t>(file[at - 1]);
        if (length >= 2 + kXmpId.size()) packets.push_back(file.substr(at + kXmpId.size(), length - 2 - kXmpId.size()));
    }
    return packets;
}

struct tBuilt {
    std::string Bytes;
    std::string Secondary;  // the further picture as it stands in the file
};

tBuilt MultiPicture(const std::string& before, const std::string& after, const std::string& secondary,
                    const std::string& trailer = {})
{
    return {fixture::MultiPicture(before, after, {secondary}, trailer), secondary};
}

struct tChoices {
    bool Exif = false, Comment = false, Iptc = false, Other = false, Orientation = false;
};

// The further picture an output's MPF index points at, checked to be whole.
std::string PointedPicture(const std::string& out)
{
    const size_t mpf = out.find("MPF\0"s);
    if (mpf == std::string::npos) return {};
    // From the segment's length field on, as the container holds it.
    const size_t length = static_cast<uint8_t>(out[mpf - 2]) * 256u + static_cast<uint8_t>(out[mpf - 1]);
    bool big = false;
    const std::vector<tMpfEntry> entries = ReadMpfEntries(out.substr(mpf - 2, length), big);
    if (entries.size() != 2) return {};
    const size_t start = mpf + 4 + entries[1].Offset;
    if (entries[0].Size != out.find("\xFF\xD9"s, SosOffset(out)) + 2) return "bad first size";
    return out.substr(start, entries[1].Size);
}

class OtherMetadata : public ::testing::Test {
protected:
    std::string Clean(const std::string& file, tChoices c)
    {
        const std::string src = dir.Write("src.jpg", file);
        data.ScanFile(src);
        if (c.Comment) data.ReplaceComment("");
        if (c.Exif) data.ExifRef = kNoRef;
        if (c.Iptc) data.ReplaceIptcSegment("Photoshop 3.0\0"s);
        data.StripOther = c.Other;
        data.KeepOrientation = c.Orientation;
        const std::string target = dir / ("out" + std::to_string(++outputs) + ".jpg");
        data.SaveAs(target);
        return ReadFile(target);
    }
    TempDir dir;
    TimgData data{255};
    int outputs = 0;
};

TEST_F(OtherMetadata, XmpAndMakerBlocksGoWhatThePictureNeedsStays)
{
    const std::string jfif = Segment(0xE0, "JFIF\0\x01\x02\x01\0\x48\0\x48\0\0"s);
    const std::string icc = Segment(0xE2, "ICC_PROFILE\0\x01\x01profile"s);
    const std::string adobe = Segment(0xEE, "Adobe\0\x64\0\0\0\0\x01"s);
    const std::string kept = jfif + icc + adobe;
    const std::string gone = Xmp(kCreator) + Segment(0xE1, "http://ns.adobe.com/xmp/extension/\0rest"s) +
                             Segment(0xE2, "FPXR\0data"s) + Segment(0xE3, "Kodak") + Segment(0xEA, "GoPro") +
                             Segment(0xEC, "PictureInfo") + Segment(0xEF, "vendor");
    const std::string image = TinyJpeg();
    const std::string out = Clean(AfterSoi(image, kept + gone + Segment(0xFE, "c")), {false, false, false, true});
    EXPECT_EQ(out, "\xFF\xD8"s + jfif + Segment(0xFE, "c") + icc + adobe + image.substr(2));
    // Without the choice, every block stays.
    const std::string all = AfterSoi(image, kept + gone);
    EXPECT_EQ(Clean(all, {true, false, false, false}).substr(2 + jfif.size()), all.substr(2 + jfif.size()));
}

TEST_F(OtherMetadata, TrailersGoOnlyWithTheChoice)
{
    const std::string image = TinyJpeg();
    const std::string trailer = "AXS!\0\0\0\x08 FotoStation keywords, city, by-line"s;
    const std::string file = AfterSoi(image, Segment(0xFE, "c")) + trailer;
    EXPECT_EQ(Clean(file, {false, true, false, true}), "\xFF\xD8"s +
              std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18) + "\xFF\xFE\x00\x02"s +
              image.substr(2));
    EXPECT_TRUE(Clean(file, {false, true, false, false}).ends_with(trailer));
}

TEST_F(OtherMetadata, TheMpfIndexPointsAtTheFurtherPictureWhateverIsRemoved)
{
    const std::string secondary = AfterSoi(TinyJpeg(8, 8), ExifSegment(EmptyTiffLE()) + Segment(0xFE, "depth"));
    const std::string after = Segment(0xFE, "a comment after the index") +
                              Segment(0xED, "Photoshop 3.0\0 old"s) + Xmp(kCreator);
    const tBuilt file = MultiPicture(ExifSegment(EmptyTiffLE()), after, secondary, "vendor trailer");
    const tChoices cases[] = {{true}, {false, true}, {false, false, true}, {false, false, false, true},
                              {true, true, true, true}};
    for (const tChoices& c : cases) {
        SCOPED_TRACE(std::to_string(c.Exif) + std::to_string(c.Comment) + std::to_string(c.Iptc) +
                     std::to_string(c.Other));
        const std::string out = Clean(file.Bytes, c);
        const std::string pointed = PointedPicture(out);
        ASSERT_GE(pointed.size(), 4u);
        EXPECT_TRUE(pointed.starts_with("\xFF\xD8"s));
        EXPECT_TRUE(pointed.ends_with("\xFF\xD9"s));
        // Its image data byte for byte; its own Exif and comment as the choices say.
        EXPECT_EQ(pointed.substr(SosOffset(pointed)), secondary.substr(SosOffset(secondary)));
        EXPECT_EQ(pointed.find("Exif") == std::string::npos, c.Exif);
        EXPECT_EQ(pointed.find("depth") == std::string::npos, c.Comment);
        EXPECT_EQ(out.find("vendor trailer") == std::string::npos, c.Other);
        // An independent reader finds the further picture where the index says.
        if (HaveExiftool()) {
            const auto tags = Exiftool("-a -Warning -MPImage2", dir / ("out" + std::to_string(outputs) + ".jpg"));
            EXPECT_EQ(tags.count("Warning"), 0u) << tags.begin()->second;
            EXPECT_EQ(tags.count("MPImage2"), 1u);
        }
    }
}

TEST_F(OtherMetadata, UltraHdrKeepsItsGainMapPropertiesAndLosesTheAuthor)
{
    const std::string gainMap = AfterSoi(TinyJpeg(8, 8), kGainMapXmp + Segment(0xFE, "gain map comment"));
    const std::string iso = Segment(0xE2, "urn:iso:std:iso:ts:21496:-1\0\0\0"s);
    const tBuilt file = MultiPicture(PrimaryXmp(static_cast<uint32_t>(gainMap.size())), iso, gainMap);
    const std::string out = Clean(file.Bytes, {true, true, true, true});
    EXPECT_EQ(out.find("Jane Roe"), std::string::npos);
    EXPECT_NE(out.find("urn:iso:std:iso:ts:21496:-1"), std::string::npos);
    const std::string pointed = PointedPicture(out);
    ASSERT_FALSE(pointed.empty());
    EXPECT_NE(pointed.find("hdrgm:GainMapMax=\"2.3\""), std::string::npos);
    EXPECT_EQ(pointed.find("gain map comment"), std::string::npos);
    EXPECT_EQ(pointed.substr(SosOffset(pointed)), gainMap.substr(SosOffset(gainMap)));
    // The first picture's XMP keeps the version and a directory that gives the new length.
    const std::string first = out.substr(0, out.find("MPF\0"s));
    EXPECT_NE(first.find("hdrgm:Version=\"1.0\""), std::string::npos);
    EXPECT_NE(first.find("Item:Length=\"" + std::to_string(pointed.size()) + "\""), std::string::npos);
    EXPECT_NE(first.find("Item:Semantic=\"GainMap\""), std::string::npos);
    for (const std::string& packet : XmpPackets(out)) EXPECT_EQ(GainMapOnlyPacket(packet, {}), packet);
    // An independent reader finds the first picture's packet well-formed: the gain map's properties, no author.
    if (HaveExiftool()) {
        const auto tags = Exiftool("-XMP:all -Warning", dir / ("out" + std::to_string(outputs) + ".jpg"));
        EXPECT_EQ(tags.count("Warning"), 0u);
        EXPECT_EQ(tags.count("Creator"), 0u);
        EXPECT_EQ(tags.count("Version") ? tags.at("Version") : "", "1.0");
        EXPECT_EQ(tags.count("DirectoryItemLength") ? tags.at("DirectoryItemLength") : "", std::to_string(pointed.size()));
    }
}

// Each packet read as XML: only known gain-map properties, found by namespace
// and name, stay; a packet that cannot be read goes whole.
TEST_F(OtherMetadata, XmpKeepsOnlyGainMapPropertiesReadAsXml)
{
    const std::string bomb = "<!DOCTYPE x:xmpmeta [<!ENTITY a \"Jane Roe\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
                             "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>";
    const std::string appleGainMap = AfterSoi(TinyJpeg(8, 8), Xmp(
        "<rdf:Description rdf:about=\"\" xmlns:HDRGainMap=\"http://ns.apple.com/HDRGainMap/1.0/\">"
        "<HDRGainMap:HDRGainMapVersion>65536</HDRGainMap:HDRGainMapVersion>"
        "<HDRGainMap:HDRGainMapHeadroom>2.9</HDRGainMap:HDRGainMapHeadroom></rdf:Description>"
        "<rdf:Description rdf:about=\"\" xmlns:apdi=\"http://ns.apple.com/pixeldatainfo/1.0/\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><apdi:NativeFormat>1278226488</apdi:NativeFormat>"
        "<apdi:AuxiliaryImageType>urn:com:apple:photo:2020:aux:hdrgainmap</apdi:AuxiliaryImageType>"
        "<dc:creator><rdf:Seq><rdf:li>Jane Roe</rdf:li></rdf:Seq></dc:creator></rdf:Description>"));
    const std::string perChannel = AfterSoi(TinyJpeg(8, 8), Description(
        "hdrgm:Version=\"1.0\" hdrgm:Gamma=\" 1 \"",
        "<hdrgm:GainMapMin><rdf:Seq><rdf:li>0</rdf:li><rdf:li>0.1</rdf:li><rdf:li>0.2</rdf:li></rdf:Seq>"
        "</hdrgm:GainMapMin><hdrgm:GainMapMax><rdf:Seq><rdf:li>2</rdf:li><rdf:li>Jane Roe</rdf:li></rdf:Seq>"
        "</hdrgm:GainMapMax><dc:creator>Jane Roe</dc:creator>"));
    const std::string directory =
        "<Container:Directory><dc:title>Holiday at home</dc:title><rdf:Seq>"
        "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Semantic=\"Primary\" Item:Mime=\"image/jpeg\"/>"
        "<dc:title>Holiday at home</dc:title></rdf:li>"
        "<rdf:li><Container:Item><rdf:Description Item:Semantic=\"GainMap\" Item:Length=\"77\" Item:Home=\"at home\">"
        "<dc:title>Holiday at home</dc:title></rdf:Description></Container:Item></rdf:li></rdf:Seq></Container:Directory>";
    std::string nested;
    for (int i = 0; i < 100; ++i) nested = "<dc:x>" + nested + "</dc:x>";
    struct tRow {
        const char* Name;
        std::string File;
        std::vector<std::string> Kept;  // in the output
        std::vector<std::string> Gone;  // from the whole output file
    };
    const std::string image = TinyJpeg();
    const std::vector<tRow> rows = {
        {"a foreign element inside a kept one",
         AfterSoi(image, Description("hdrgm:Version=\"1.0\"",
                                     "<hdrgm:GainMapMin><dc:creator>Jane Roe</dc:creator></hdrgm:GainMapMin>")),
         {"hdrgm:Version=\"1.0\""}, {"Jane Roe", "dc:", "GainMapMin"}},
        {"a property name in a foreign value",
         AfterSoi(image, Description("hdrgm:Version=\"1.0\"", "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">"
                                     "Lives at hdrgm:Home=\"12 Main St\"</rdf:li></rdf:Alt></dc:description>")),
         {"hdrgm:Version=\"1.0\""}, {"12 Main St", "Home", "Lives"}},
        {"foreign titles in the container directory",
         AfterSoi(image, Description("hdrgm:Version=\"1.0\"", directory)),
         {"<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Mime=\"image/jpeg\" Item:Semantic=\"Primary\"/>",
          "<Container:Item Item:Semantic=\"GainMap\" Item:Length=\"77\"/>"},
         {"Holiday", "home", "dc:"}},
        {"a directory without hdrgm", AfterSoi(image, Description("", directory)), {}, {"Container", kXmpId}},
        {"the gain map's values per colour channel", perChannel,
         {"hdrgm:Gamma=\"1\"", "<hdrgm:GainMapMin><rdf:Seq><rdf:li>0</rdf:li><rdf:li>0.1</rdf:li><rdf:li>0.2</rdf:li>"
          "</rdf:Seq></hdrgm:GainMapMin>"},
         {"Jane Roe", "GainMapMax"}},
        {"Apple's gain-map picture", MultiPicture(Xmp(kCreator), "", appleGainMap).Bytes,
         {"apdi:AuxiliaryImageType=\"urn:com:apple:photo:2020:aux:hdrgainmap\"", "apdi:NativeFormat=\"1278226488\"",
          "HDRGainMap:HDRGainMapVersion=\"65536\"", "HDRGainMap:HDRGainMapHeadroom=\"2.9\""},
         {"Jane Roe", "dc:"}},
        {"an Apple depth picture",
         AfterSoi(image, Description("apdi:AuxiliaryImageType=\"urn:com:apple:photo:2020:aux:depth\" "
                                     "apdi:NativeFormat=\"1278226488\"", "")),
         {}, {"apdi", kXmpId}},
        {"the hdrgm prefix bound elsewhere, the namespace under another prefix",
         AfterSoi(image, Xmp("<rdf:Description xmlns:hdrgm=\"http://example.com/not-gain-map/\" "
                             "xmlns:g=\"http://ns.adobe.com/hdr-gain-map/1.0/\" hdrgm:GainMapMax=\"7\" "
                             "g:GainMapMax=\"2.5\" g:Version=\"Jane Roe\"/>")),
         {"<rdf:Description rdf:about=\"\" xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\" "
          "hdrgm:GainMapMax=\"2.5\">"},
         {"\"7\"", "not-gain-map", "Jane Roe"}},
        {"the namespace named in a text value only",
         AfterSoi(image, Description("", "<dc:source>http://ns.adobe.com/hdr-gain-map/1.0/</dc:source>")), {},
         {"hdr-gain-map", kXmpId}},
        {"entities declared in a document type",
         AfterSoi(image, Segment(0xE1, kXmpId + bomb + "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf="
                                 "\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description xmlns:hdrgm="
                                 "\"http://ns.adobe.com/hdr-gain-map/1.0/\" hdrgm:Version=\"1.0\" xmlns:dc="
                                 "\"http://purl.org/dc/elements/1.1/\"><dc:creator>&d;</dc:creator></rdf:Description>"
                                 "</rdf:RDF></x:xmpmeta>")),
         {}, {"Jane Roe", "ENTITY", kXmpId}},
        {"Ultra HDR: both pictures' gain-map properties, the directory giving the gain map's new length",
         MultiPicture(PrimaryXmp(1), "", AfterSoi(TinyJpeg(8, 8), kGainMapXmp)).Bytes,
         {"hdrgm:Version=\"1.0\"", "hdrgm:GainMapMax=\"2.3\" hdrgm:HDRCapacityMax=\"2.3\"",
          "Item:Semantic=\"GainMap\" Item:Length=\""},
         {"Jane Roe", "Item:Length=\"1\""}},
        {"a packet nested deeper than any XMP",
         AfterSoi(image, Description("hdrgm:Version=\"1.0\"", nested)),
         {}, {"hdrgm", kXmpId}},
        {"a malformed packet",
         AfterSoi(image, Description("hdrgm:Version=\"1.0\"", "<dc:creator>Jane Roe</dc:title>")), {},
         {"Jane Roe", "hdrgm", kXmpId}},
    };
    for (const tRow& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string out = Clean(row.File, {false, false, false, true});
        for (const std::string& kept : row.Kept) EXPECT_NE(out.find(kept), std::string::npos) << kept;
        for (const std::string& gone : row.Gone) EXPECT_EQ(out.find(gone), std::string::npos) << gone;
        // What is kept is kept as it stands when the output is cleaned again.
        for (const std::string& packet : XmpPackets(out)) EXPECT_EQ(GainMapOnlyPacket(packet, {}), packet);
        TimgData again(255);
        again.ScanFile(dir.Write("again.jpg", out));
        EXPECT_FALSE(again.HasOtherMetadata());
    }
}

TEST_F(OtherMetadata, ADroppedExifBlockLeavesTheOrientation)
{
    const std::string image = TinyJpeg();
    const std::string templateApp0("\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18);
    for (const bool big : {false, true}) {
        TiffBuilder t(big);
        t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "Camera maker"), t.Short(0x0112, 6)}));
        const std::string file = AfterSoi(image, ExifSegment(t.Bytes()));
        const std::string out = Clean(file, {true, false, false, false, true});
        // SOI, the JFIF header, then IFD0 with the Orientation alone, big-endian.
        EXPECT_EQ(out, "\xFF\xD8"s + templateApp0 +
                  "\xFF\xE1\x00\x22" "Exif\0\0" "MM\x00\x2A\x00\x00\x00\x08" "\x00\x01"
                  "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00" "\x00\x00\x00\x00"s + image.substr(2));
        TimgData back(255);
        ASSERT_TRUE(back.ScanFile(dir.Write("back.jpg", out)));
        EXPECT_EQ(back.Orientation(), 6);
        EXPECT_TRUE(back.ExifIsOrientationOnly());
        // Turned off, or with orientation 1, the output is as without the choice.
        EXPECT_EQ(Clean(file, {true}), "\xFF\xD8"s + templateApp0 + image.substr(2));
    }
    TiffBuilder t(false);
    t.SetFirstDirectory(t.AddDirectory({t.Short(0x0112, 1)}));
    EXPECT_EQ(Clean(AfterSoi(image, ExifSegment(t.Bytes())), {true, false, false, false, true}),
              "\xFF\xD8"s + templateApp0 + image.substr(2));
}

}  // namespace

namespace {

TEST_F(OtherMetadata, AHeadOfEveryKindOfBlockIsCleanedAndPassesTheCheck)
{
    TiffBuilder t(false);
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "MARK-MAKE")}));
    const std::string jfif = Segment(0xE0, "JFIF\0\x01\x02\x01\0\x48\0\x48\0\0"s);
    const std::string jfxx = Segment(0xE0, "JFXX\0\x10"s + std::string(1500, '\x11'));
    std::string head = ExifSegment(t.Bytes()) + jfif + jfxx + Segment(0xE8, "SPIFF MARK-8") +
                       Segment(0xE0, "Ocad MARK-0") + Segment(0xE0, "AVI1 MARK-0") + Xmp(kCreator) +
                       Segment(0xE2, "ICC_PROFILE\0\x01\x01profile"s) + Segment(0xE2, "FPXR\0MARK-2"s) +
                       Segment(0xE2, "MARK-2b") + Segment(0xE2, "urn:iso:std:iso:ts:21496:-1\0\0\0"s);
    std::string after;
    for (int n = 3; n <= 12; ++n) after += Segment(static_cast<uint8_t>(0xE0 + n), "MARK-APP" + std::to_string(n));
    after += Segment(0xEF, "MARK-APP15") + Segment(0xED, "Photoshop 3.0\0MARK-13a"s) +
             Segment(0xED, "Photoshop 3.0\0MARK-13b"s) + Segment(0xFE, "MARK-COM");
    const tBuilt file = MultiPicture(head, after, AfterSoi(TinyJpeg(8, 8), Segment(0xE3, "MARK-second")));
    for (const tChoices& c : {tChoices{false, false, false, true}, tChoices{true, true, true, true, true}}) {
        const std::string out = Clean(file.Bytes, c);
        EXPECT_EQ(out.find("MARK-APP"), std::string::npos);
        EXPECT_EQ(out.find("Jane Roe"), std::string::npos);
        EXPECT_NE(out.find("ICC_PROFILE"), std::string::npos);
        EXPECT_EQ(out.find("JFXX"), std::string::npos);
        EXPECT_EQ(out.find(jfif) != std::string::npos, c.Exif);  // in place of the EXIF block
        EXPECT_EQ(PointedPicture(out).substr(SosOffset(PointedPicture(out))),
                  file.Secondary.substr(SosOffset(file.Secondary)));
    }
}

}  // namespace
