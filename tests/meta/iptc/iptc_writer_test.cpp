#include <gtest/gtest.h>

#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "tests/meta/iptc/fake_owner.h"
#include "tests/meta/iptc/iptc_bytes.h"

using iptcbytes::Record;

namespace {

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

const std::string kEmptyPayloadHex =
    "50 68 6F 74 6F 73 68 6F 70 20 33 2E 30 00 38 42 49 4D 04 04 00 00 00 00 00 08 "
    "1C 02 00 00 02 00 02 00 38 42 49 4D 04 0B 00 00 00 00 00 00";

// The IPTC records inside a payload: after the 26-byte head and size, before the URL block.
std::string RecordsOf(const std::string& payload) { return payload.substr(26, payload.size() - 26 - 12); }

}  // namespace

TEST(IptcEncode, RecordCarriesBigEndianLength)
{
    EXPECT_EQ(Hex(TIPTCdata::EncodeRecord(2, 5, "x")), "1C 02 05 00 01 78");
    EXPECT_EQ(Hex(TIPTCdata::EncodeRecord(8, 10, "")), "1C 08 0A 00 00");
    const std::string r = TIPTCdata::EncodeRecord(2, 120, std::string(300, 'c'));
    ASSERT_EQ(r.size(), 305u);
    EXPECT_EQ(Hex(r.substr(0, 5)), "1C 02 78 01 2C");
    EXPECT_EQ(r.substr(5), std::string(300, 'c'));
}

TEST(IptcEncode, LongValuesTakeTheExtendedLength)
{
    // 32 768 bytes and more: 80 04 and a 4-byte length, since a plain field
    // with its top bit set announces an extended length to every reader.
    const struct {
        size_t size;
        const char* lengthField;
    } cases[] = {
        {32767, "7F FF"},
        {32768, "80 04 00 00 80 00"},
        {40000, "80 04 00 00 9C 40"},
        {65479, "80 04 00 00 FF C7"},  // the most one segment can hold
    };
    for (const auto& tc : cases) {
        const std::string value(tc.size, 'c');
        const std::string r = TIPTCdata::EncodeRecord(2, 120, value);
        const std::string field = tc.lengthField;
        const size_t fieldBytes = (field.size() + 1) / 3;
        EXPECT_EQ(Hex(r.substr(0, 3 + fieldBytes)), "1C 02 78 " + field) << tc.size;
        EXPECT_EQ(r.substr(3 + fieldBytes), value) << tc.size;
    }
    for (size_t size : {65480, 65536, 70000}) {
        try {
            TIPTCdata::EncodeRecord(2, 120, std::string(size, 'c'));
            ADD_FAILURE() << "no error for " << size;
        } catch (const EMetaError& e) {
            EXPECT_STREQ(e.what(), "IPTC data too large");
        }
    }
}

TEST(IptcEncode, MultiValueSplitsAtCommasAndTrims)
{
    auto pieces = [](const std::string& value) {
        return TIPTCdata::EncodeMultiValue(2, 25, value);
    };
    EXPECT_EQ(pieces("a, b"), Record(2, 25, "a") + Record(2, 25, "b"));
    EXPECT_EQ(pieces("a,,b"), Record(2, 25, "a") + Record(2, 25, "") + Record(2, 25, "b"));
    EXPECT_EQ(pieces(" a b "), Record(2, 25, " a b "));  // no comma: untouched
    EXPECT_EQ(pieces("a ,\tb\n, c "), Record(2, 25, "a") + Record(2, 25, "b") + Record(2, 25, "c"));
    EXPECT_EQ(pieces("a,"), Record(2, 25, "a"));
    EXPECT_EQ(pieces(",a"), Record(2, 25, "") + Record(2, 25, "a"));
    EXPECT_EQ(pieces(""), "");
    EXPECT_EQ(pieces(std::string(" \t\0\x1F ", 5)), "");
    // Bytes above 32 are not blanks, Windows-1252 no-break space included.
    EXPECT_EQ(pieces("\xA0,a"), Record(2, 25, "\xA0") + Record(2, 25, "a"));
}

TEST(IptcPayload, EmptyListGivesTheMinimalBlock)
{
    TIPTCdata c(nullptr);
    EXPECT_EQ(Hex(c.BuildSegmentPayload()), kEmptyPayloadHex);
    // An empty keyword list writes no record at all.
    c.SetTagValue("Keywords", "");
    c.SetTagValue("SuppCategory", " \t ");
    EXPECT_EQ(Hex(c.BuildSegmentPayload()), kEmptyPayloadHex);
}

TEST(IptcPayload, EvenRecordsArePaddedAndCounted)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("ObjectName", "x");
    const std::string p = c.BuildSegmentPayload();
    ASSERT_EQ(p.size(), 52u);
    EXPECT_EQ(Hex(p.substr(22, 4)), "00 00 00 0E");
    EXPECT_EQ(Hex(RecordsOf(p)), "1C 02 00 00 02 00 02 1C 02 05 00 01 78 00");

    // An odd run needs no pad.
    c.SetTagValue("ObjectName", "xy");
    const std::string q = c.BuildSegmentPayload();
    ASSERT_EQ(q.size(), 52u);
    EXPECT_EQ(Hex(q.substr(22, 4)), "00 00 00 0E");
    EXPECT_EQ(Hex(q.substr(40)), "38 42 49 4D 04 0B 00 00 00 00 00 00");
}

TEST(IptcPayload, EntriesAreWrittenInListOrder)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("Subfile", "ab");
    c.SetTagValue("Keywords", "abc,de");
    c.SetTagValue("City", "a,b");  // not repeatable: one record, comma kept
    const std::string expected = Record(2, 0, std::string("\0\2", 2)) + Record(8, 10, "ab") + Record(2, 25, "abc") +
                                 Record(2, 25, "de") + Record(2, 90, "a,b") + std::string(1, '\0');
    ASSERT_EQ(expected.size() % 2, 0u);
    EXPECT_EQ(RecordsOf(c.BuildSegmentPayload()), expected);
}

TEST(IptcPayload, ParsesBackToTheSameList)
{
    TIPTCdata c(nullptr);
    c.SetTagValue("Keywords", "abc,de");
    c.SetTagValue("ImageCaption", std::string("two\0lines\xE9", 10));
    c.SetTagValue("Subfile", "8B");
    const std::string payload = c.BuildSegmentPayload();

    TIPTCdata back(nullptr);
    back.ParseSegment(iptcbytes::App13Bytes(payload.substr(14)));
    ASSERT_EQ(back.TagCount(), 3);
    EXPECT_EQ(back.GetTagValue("Keywords", "?"), "abc,de");
    EXPECT_EQ(back.GetTagValue("ImageCaption", "?"), std::string("two\0lines\xE9", 10));
    EXPECT_EQ(back.GetTagValue("Subfile", "?"), "8B");
    EXPECT_EQ(back.BuildSegmentPayload(), payload);
}

TEST(IptcPayload, LongValueParsesBack)
{
    std::string caption(40000, '\0');
    for (size_t i = 0; i < caption.size(); ++i) caption[i] = static_cast<char>('a' + i % 26);
    TIPTCdata c(nullptr);
    c.SetTagValue("ImageCaption", caption);
    c.SetTagValue("Keywords", "a,b");
    const std::string payload = c.BuildSegmentPayload();
    ASSERT_EQ(payload.size(), 45u + 9 + 40000 + 6 + 6);
    // The resource size counts the extended record: 7 + 40 009 + 12.
    EXPECT_EQ(Hex(payload.substr(22, 4)), "00 00 9C 5C");

    TIPTCdata back(nullptr);
    back.ParseSegment(iptcbytes::App13Bytes(payload.substr(14)));
    ASSERT_EQ(back.TagCount(), 2);
    EXPECT_EQ(back.GetTagValue("ImageCaption", "?"), caption);
    EXPECT_EQ(back.GetTagValue("Keywords", "?"), "a,b");
    EXPECT_EQ(back.BuildSegmentPayload(), payload);
}

TEST(IptcPayload, PayloadMustFitOneSegment)
{
    TIPTCdata c(nullptr);
    // 45 fixed bytes + a 9-byte extended header + value: 65478 gives 65532
    // bytes, odd records and no pad; one byte more is padded to 65534, which
    // does not fit.
    c.SetTagValue("ImageCaption", std::string(65478, 'c'));
    EXPECT_EQ(c.BuildSegmentPayload().size(), 65532u);
    c.SetTagValue("ImageCaption", std::string(65479, 'c'));
    EXPECT_THROW(c.BuildSegmentPayload(), EMetaError);

    // Many small records overflow the segment as surely as one large one.
    TIPTCdata many(nullptr);
    many.SetTagValue("Keywords", "k");
    for (int i = 0; i < 14000; ++i) many.AddOrAppendTag("Keywords", "word");
    try {
        many.BuildSegmentPayload();
        FAIL() << "no error";
    } catch (const EMetaError& e) {
        EXPECT_STREQ(e.what(), "IPTC data too large");
    }
}

TEST(IptcWrite, OwnerGetsThePayloadAndBothNamesAsGiven)
{
    TFakeOwner owner;
    TIPTCdata c(&owner);
    c.SetTagValue("City", "Oslo");
    c.WriteFile("out.jpg", "in.jpg");
    c.WriteFile("photo.jpg", "");  // the owner rewrites the target in place
    ASSERT_EQ(owner.Writes.size(), 2u);
    EXPECT_EQ(owner.Writes[0].Payload, c.BuildSegmentPayload());
    EXPECT_EQ(owner.Writes[0].Target, "out.jpg");
    EXPECT_EQ(owner.Writes[0].Source, "in.jpg");
    EXPECT_EQ(owner.Writes[1].Target, "photo.jpg");
    EXPECT_EQ(owner.Writes[1].Source, "");

    // A list that does not fit one segment never reaches the owner.
    c.SetTagValue("ImageCaption", std::string(70000, 'c'));
    EXPECT_THROW(c.WriteFile("out.jpg", "in.jpg"), EMetaError);
    EXPECT_EQ(owner.Writes.size(), 2u);

    TIPTCdata orphan(nullptr);
    EXPECT_THROW(orphan.WriteFile("out.jpg", ""), EMetaError);
}
