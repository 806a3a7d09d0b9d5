#include "meta/jpeg/xmp_gain_map.h"

#include <array>
#include <optional>

#include "meta/exif/end_ind.h"
#include "meta/xmp/xmp_packet.h"

namespace {

constexpr std::string_view kGainMapNs = "http://ns.adobe.com/hdr-gain-map/1.0/";
constexpr std::string_view kContainerNs = "http://ns.google.com/photos/1.0/container/";
constexpr std::string_view kItemNs = "http://ns.google.com/photos/1.0/container/item/";
constexpr std::string_view kAppleAuxNs = "http://ns.apple.com/pixeldatainfo/1.0/";
constexpr std::string_view kAppleGainMapNs = "http://ns.apple.com/HDRGainMap/1.0/";
// The one auxiliary picture type that is a gain map; depth and matte pictures
// carry other types.
constexpr std::string_view kAppleGainMapUrn = "urn:com:apple:photo:2020:aux:hdrgainmap";

// What a kept value may look like: text beyond this is no gain-map value.
enum class tShape { Number, Word, AppleGainMapUrn };

struct tKnownProperty {
    std::string_view Ns, Prefix, Name;
    tShape Shape;
    bool PerChannel = false;  // may be an rdf:Seq of one value per colour channel
    bool Companion = false;   // kept only beside another of its namespace that is not
};

// In the order they are written. The hdrgm values that may differ per colour
// channel are a single real or an rdf:Seq of three (Adobe's gain-map XMP).
// Apple's pixel formats say how to read the gain map's samples; on a picture
// that is no gain map they go with the rest.
constexpr std::array<tKnownProperty, 14> kKept = {{
    {kGainMapNs, "hdrgm", "Version", tShape::Number},
    {kGainMapNs, "hdrgm", "BaseRenditionIsHDR", tShape::Word},
    {kGainMapNs, "hdrgm", "GainMapMin", tShape::Number, true},
    {kGainMapNs, "hdrgm", "GainMapMax", tShape::Number, true},
    {kGainMapNs, "hdrgm", "Gamma", tShape::Number, true},
    {kGainMapNs, "hdrgm", "OffsetSDR", tShape::Number, true},
    {kGainMapNs, "hdrgm", "OffsetHDR", tShape::Number, true},
    {kGainMapNs, "hdrgm", "HDRCapacityMin", tShape::Number},
    {kGainMapNs, "hdrgm", "HDRCapacityMax", tShape::Number},
    {kAppleAuxNs, "apdi", "AuxiliaryImageType", tShape::AppleGainMapUrn},
    {kAppleAuxNs, "apdi", "NativeFormat", tShape::Number, false, true},
    {kAppleAuxNs, "apdi", "StoredFormat", tShape::Number, false, true},
    {kAppleGainMapNs, "HDRGainMap", "HDRGainMapVersion", tShape::Number},
    {kAppleGainMapNs, "HDRGainMap", "HDRGainMapHeadroom", tShape::Number},
}};

// The fields of an Ultra HDR container item, in the order they are written.
constexpr std::array<tKnownProperty, 4> kItemFields = {{
    {kItemNs, "Item", "Mime", tShape::Word},
    {kItemNs, "Item", "Semantic", tShape::Word},
    {kItemNs, "Item", "Length", tShape::Number},
    {kItemNs, "Item", "Padding", tShape::Number},
}};
constexpr size_t kLengthField = 2;

// What one APP1 segment carries after its length field and identifier.
constexpr size_t kMaxKeptPacket = 0xFFFF - 2 - kXmpIdentifier.size();
// Longer than any number or MIME type a gain map needs.
constexpr size_t kMaxNumber = 32, kMaxWord = 64;

bool Fits(std::string_view value, tShape shape)
{
    auto all = [&](auto allowed) {
        for (const char c : value)
            if (!allowed(c)) return false;
        return true;
    };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    switch (shape) {
    case tShape::Number:
        return !value.empty() && value.size() <= kMaxNumber && value.find_first_of("0123456789") != value.npos &&
               all([&](char c) { return digit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; });
    case tShape::Word:
        return !value.empty() && value.size() <= kMaxWord &&
               all([&](char c) { return digit(c) || letter(c) || c == '/' || c == '+' || c == '-' || c == '.' || c == '_'; });
    case tShape::AppleGainMapUrn: return value == kAppleGainMapUrn;
    }
    return false;
}

// A simple value of the given shape, without the white space around it.
std::optional<std::string> Plain(const tXmpValue& v, tShape shape)
{
    if (v.Kind != tXmpValue::tKind::Simple) return std::nullopt;
    std::string_view text = v.Text;
    const size_t first = text.find_first_not_of(" \t\r\n");
    text = first == text.npos ? std::string_view() : text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
    if (!Fits(text, shape)) return std::nullopt;
    return std::string(text);
}

struct tKeptValue {
    bool Present = false;
    bool Seq = false;
    std::vector<std::string> Values;  // one, or a Seq's
};

// The fields of one container item that are known and well-shaped.
using tItem = std::array<std::optional<std::string>, kItemFields.size()>;

struct tGainMap {
    std::array<tKeptValue, kKept.size()> Properties;
    std::vector<tItem> Directory;
    bool DirectorySeen = false;
};

void KeepProperty(const tXmpProperty& p, tGainMap& kept)
{
    for (size_t i = 0; i < kKept.size(); ++i) {
        const tKnownProperty& known = kKept[i];
        tKeptValue& slot = kept.Properties[i];
        if (!p.Name.Is(known.Ns, known.Name) || slot.Present) continue;
        if (const auto value = Plain(p.Value, known.Shape)) {
            slot = {true, false, {*value}};
        } else if (known.PerChannel && p.Value.Kind == tXmpValue::tKind::Array && p.Value.Text.empty() &&
                   !p.Value.Items.empty()) {
            tKeptValue seq{true, true, {}};
            for (const tXmpValue& item : p.Value.Items) {
                const auto v = Plain(item, known.Shape);
                if (!v) return;
                seq.Values.push_back(*v);
            }
            slot = std::move(seq);
        }
        return;
    }
}

// Container:Directory → rdf:Seq → rdf:li → Container:Item with Item:* fields.
// A directory with elements beside its rdf:Seq reads as a struct; the
// rdf:Seq is still the list.
void KeepDirectory(const tXmpValue& directory, tGainMap& kept)
{
    kept.DirectorySeen = true;
    const tXmpValue* list = &directory;
    if (directory.Kind == tXmpValue::tKind::Struct)
        for (const tXmpProperty& field : directory.Fields)
            if (field.Name.Is(kRdfNs, "Seq")) list = &field.Value;
    if (list->Kind != tXmpValue::tKind::Array || !list->Text.empty()) return;
    for (const tXmpValue& li : list->Items) {
        if (li.Kind != tXmpValue::tKind::Struct) continue;
        for (const tXmpProperty& field : li.Fields) {
            if (!field.Name.Is(kContainerNs, "Item") || field.Value.Kind != tXmpValue::tKind::Struct) continue;
            tItem item;
            bool any = false;
            for (const tXmpProperty& f : field.Value.Fields)
                for (size_t k = 0; k < kItemFields.size(); ++k)
                    if (f.Name.Is(kItemFields[k].Ns, kItemFields[k].Name) && !item[k])
                        if ((item[k] = Plain(f.Value, kItemFields[k].Shape))) any = true;
            if (any) kept.Directory.push_back(std::move(item));
            break;
        }
    }
}

tGainMap GainMapOf(std::string_view packet)
{
    tGainMap kept;
    for (const tXmpProperty& p : ReadXmp(packet)) {
        if (p.Name.Is(kContainerNs, "Directory") && !kept.DirectorySeen)
            KeepDirectory(p.Value, kept);
        else
            KeepProperty(p, kept);
    }
    auto anyOf = [&](std::string_view ns) {
        for (size_t i = 0; i < kKept.size(); ++i)
            if (kKept[i].Ns == ns && !kKept[i].Companion && kept.Properties[i].Present) return true;
        return false;
    };
    for (size_t i = 0; i < kKept.size(); ++i)
        if (kKept[i].Companion && !anyOf(kKept[i].Ns)) kept.Properties[i] = {};
    // The directory serves the hdrgm gain map; alone (a motion photo's, say)
    // it is no gain-map property.
    if (!anyOf(kGainMapNs)) kept.Directory.clear();
    return kept;
}

bool Empty(const tGainMap& kept)
{
    for (const tKeptValue& p : kept.Properties)
        if (p.Present) return false;
    return kept.Directory.empty();
}

std::string Escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Attribute(const tKnownProperty& p, std::string_view value)
{
    return " " + std::string(p.Prefix) + ":" + std::string(p.Name) + "=\"" + Escaped(value) + "\"";
}

std::string Namespace(std::string_view prefix, std::string_view ns)
{
    return " xmlns:" + std::string(prefix) + "=\"" + std::string(ns) + "\"";
}

}  // namespace

bool HasGainMapProperties(std::string_view packet)
{
    try {
        return !Empty(GainMapOf(packet));
    } catch (const EMetaError&) {
        return false;
    }
}

std::string GainMapOnlyPacket(std::string_view packet, const std::vector<uint32_t>& itemLengths)
{
    tGainMap kept;
    try {
        kept = GainMapOf(packet);
    } catch (const EMetaError&) {
        return {};
    }
    if (Empty(kept)) return {};
    std::string namespaces, attributes, elements;
    std::string_view declared;
    for (size_t i = 0; i < kKept.size(); ++i) {
        const tKnownProperty& p = kKept[i];
        const tKeptValue& v = kept.Properties[i];
        if (!v.Present) continue;
        // The table keeps each namespace's properties together.
        if (declared != p.Ns) namespaces += Namespace(p.Prefix, p.Ns);
        declared = p.Ns;
        if (!v.Seq) {
            attributes += Attribute(p, v.Values[0]);
            continue;
        }
        const std::string name = std::string(p.Prefix) + ":" + std::string(p.Name);
        elements += "<" + name + "><rdf:Seq>";
        for (const std::string& value : v.Values) elements += "<rdf:li>" + Escaped(value) + "</rdf:li>";
        elements += "</rdf:Seq></" + name + ">";
    }
    if (!kept.Directory.empty()) {
        namespaces += Namespace("Container", kContainerNs) + Namespace("Item", kItemNs);
        elements += "<Container:Directory><rdf:Seq>";
        size_t nextLength = 0;
        for (tItem& item : kept.Directory) {
            if (item[kLengthField] && nextLength < itemLengths.size())
                item[kLengthField] = std::to_string(itemLengths[nextLength++]);
            elements += "<rdf:li rdf:parseType=\"Resource\"><Container:Item";
            for (size_t k = 0; k < kItemFields.size(); ++k)
                if (item[k]) elements += Attribute(kItemFields[k], *item[k]);
            elements += "/></rdf:li>";
        }
        elements += "</rdf:Seq></Container:Directory>";
    }
    std::string out = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
                      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                      "<rdf:Description rdf:about=\"\"" +
                      namespaces + attributes + ">" + elements +
                      "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    // Kept properties that would not fit one segment are no gain map a viewer wrote.
    return out.size() <= kMaxKeptPacket ? out : std::string();
}
