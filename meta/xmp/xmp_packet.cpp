#include "meta/xmp/xmp_packet.h"

#include <expat.h>

#include <memory>
#include <optional>
#include <utility>

#include "meta/exif/end_ind.h"

namespace {

// Between namespace URI, local name and prefix in the names expat reports. No
// XML name holds it, and expat refuses a namespace URI that does.
constexpr XML_Char kSeparator = '\n';
constexpr std::string_view kXmlNs = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kMetaNs = "adobe:ns:meta/";

struct tElement {
    tXmpName Name;
    std::vector<std::pair<tXmpName, std::string>> Attributes;
    std::vector<tElement> Children;
    std::string Text;
};

// "uri\nlocal\nprefix", "uri\nlocal" (default namespace) or "local".
tXmpName SplitName(std::string_view raw)
{
    tXmpName name;
    const size_t first = raw.find(kSeparator);
    if (first == std::string_view::npos) {
        name.Local = raw;
        return name;
    }
    name.Ns = raw.substr(0, first);
    const size_t second = raw.find(kSeparator, first + 1);
    name.Local = raw.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    if (second != std::string_view::npos) name.Prefix = raw.substr(second + 1);
    return name;
}

// The element tree of a packet, built by expat's callbacks.
struct tTreeBuilder {
    XML_Parser Parser = nullptr;
    std::vector<tElement> Open;  // the elements entered and not yet left
    std::optional<tElement> Root;
    std::string Refused;  // why the parse was stopped; once set, callbacks do nothing

    void Refuse(const char* why)
    {
        Refused = why;
        XML_StopParser(Parser, XML_FALSE);
    }

    static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes)
    {
        auto& b = *static_cast<tTreeBuilder*>(self);
        if (!b.Refused.empty()) return;
        if (b.Open.size() >= static_cast<size_t>(kMaxXmpDepth)) return b.Refuse("nests too deep");
        tElement e;
        e.Name = SplitName(name);
        for (const XML_Char** a = attributes; a[0] && a[1]; a += 2) e.Attributes.emplace_back(SplitName(a[0]), a[1]);
        b.Open.push_back(std::move(e));
    }

    static void OnEnd(void* self, const XML_Char*)
    {
        auto& b = *static_cast<tTreeBuilder*>(self);
        if (!b.Refused.empty() || b.Open.empty()) return;
        tElement e = std::move(b.Open.back());
        b.Open.pop_back();
        if (b.Open.empty())
            b.Root = std::move(e);
        else
            b.Open.back().Children.push_back(std::move(e));
    }

    static void OnText(void* self, const XML_Char* text, int length)
    {
        auto& b = *static_cast<tTreeBuilder*>(self);
        if (b.Refused.empty() && !b.Open.empty() && length > 0) b.Open.back().Text.append(text, static_cast<size_t>(length));
    }

    // XMP has no document type; refusing any keeps entity declarations (and
    // their exponential expansion) out before they are read.
    static void OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<tTreeBuilder*>(self)->Refuse("has a document type declaration");
    }
};

tElement ParseTree(std::string_view packet)
{
    if (packet.size() > kMaxXmpPacket) throw EMetaError("larger than a JPEG segment can hold");
    // Some writers pad the packet with NUL bytes after its end.
    while (!packet.empty() && packet.back() == '\0') packet.remove_suffix(1);
    const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreateNS(nullptr, kSeparator),
                                                                              XML_ParserFree);
    Ensure(parser != nullptr, "Out of memory");
    tTreeBuilder b;
    b.Parser = parser.get();
    XML_SetUserData(b.Parser, &b);
    XML_SetReturnNSTriplet(b.Parser, XML_TRUE);
    XML_SetParamEntityParsing(b.Parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetElementHandler(b.Parser, &tTreeBuilder::OnStart, &tTreeBuilder::OnEnd);
    XML_SetCharacterDataHandler(b.Parser, &tTreeBuilder::OnText);
    XML_SetStartDoctypeDeclHandler(b.Parser, &tTreeBuilder::OnDoctype);
    if (XML_Parse(b.Parser, packet.data(), static_cast<int>(packet.size()), XML_TRUE) != XML_STATUS_OK) {
        if (!b.Refused.empty()) throw EMetaError(b.Refused);
        throw EMetaError(std::string("not well-formed XML (") + XML_ErrorString(XML_GetErrorCode(b.Parser)) + ", line " +
                         std::to_string(XML_GetCurrentLineNumber(b.Parser)) + ")");
    }
    Ensure(b.Root.has_value(), "not well-formed XML");
    return std::move(*b.Root);
}

bool Blank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool IsRdf(const tXmpName& name, std::string_view local)
{
    return name.Is(kRdfNs, local);
}

bool IsContainer(const tXmpName& name)
{
    return IsRdf(name, "Seq") || IsRdf(name, "Bag") || IsRdf(name, "Alt");
}

// Attributes that are properties: not RDF's own syntax, not xml:lang, not the
// unqualified ones old writers put beside rdf:about.
bool IsPropertyAttribute(const tXmpName& name)
{
    return !name.Ns.empty() && name.Ns != kRdfNs && name.Ns != kXmlNs;
}

const std::string* AttributeOf(const tElement& e, std::string_view ns, std::string_view local)
{
    for (const auto& [name, value] : e.Attributes)
        if (name.Is(ns, local)) return &value;
    return nullptr;
}

void NodeProperties(const tElement& node, std::vector<tXmpProperty>& out);
tXmpValue PropertyValue(const tElement& e);

// The items of an rdf:Seq, rdf:Bag or rdf:Alt.
tXmpValue ContainerValue(const tElement& container)
{
    tXmpValue v;
    v.Kind = tXmpValue::tKind::Array;
    for (const tElement& item : container.Children) v.Items.push_back(PropertyValue(item));
    if (!Blank(container.Text)) v.Text = container.Text;
    return v;
}

// The value of a property element (or of an rdf:li).
tXmpValue PropertyValue(const tElement& e)
{
    tXmpValue v;
    if (const std::string* uri = AttributeOf(e, kRdfNs, "resource")) {
        v.Text = *uri;
        return v;
    }
    bool fieldAttributes = false;
    for (const auto& a : e.Attributes) fieldAttributes |= IsPropertyAttribute(a.first);
    const std::string* parseType = AttributeOf(e, kRdfNs, "parseType");
    const bool resource = parseType && *parseType == "Resource";
    if (e.Children.empty() && !fieldAttributes && !resource) {
        v.Text = e.Text;
        return v;
    }
    if (e.Children.size() == 1 && IsContainer(e.Children[0].Name) && !fieldAttributes && !resource) {
        v = ContainerValue(e.Children[0]);
        if (!Blank(e.Text)) v.Text += e.Text;
        return v;
    }
    // A struct: rdf:parseType="Resource", a nested rdf:Description, fields as
    // attributes, or (not RDF, but read so that nothing hides in it) property
    // elements straight inside.
    v.Kind = tXmpValue::tKind::Struct;
    for (const auto& [name, value] : e.Attributes)
        if (IsPropertyAttribute(name)) v.Fields.push_back({name, {tXmpValue::tKind::Simple, value, {}, {}}});
    for (const tElement& child : e.Children) {
        if (IsRdf(child.Name, "Description"))
            NodeProperties(child, v.Fields);
        else if (IsContainer(child.Name))
            v.Fields.push_back({child.Name, ContainerValue(child)});
        else
            v.Fields.push_back({child.Name, PropertyValue(child)});
    }
    if (!Blank(e.Text)) v.Text = e.Text;
    return v;
}

// The properties of an rdf:Description: its attributes and its elements.
void NodeProperties(const tElement& node, std::vector<tXmpProperty>& out)
{
    for (const auto& [name, value] : node.Attributes)
        if (IsPropertyAttribute(name)) out.push_back({name, {tXmpValue::tKind::Simple, value, {}, {}}});
    for (const tElement& child : node.Children) out.push_back({child.Name, PropertyValue(child)});
}

}  // namespace

std::vector<tXmpProperty> ReadXmp(std::string_view packet)
{
    const tElement root = ParseTree(packet);
    std::vector<const tElement*> rdf;
    if (IsRdf(root.Name, "RDF")) rdf.push_back(&root);
    if (root.Name.Ns == kMetaNs)
        for (const tElement& child : root.Children)
            if (IsRdf(child.Name, "RDF")) rdf.push_back(&child);
    std::vector<tXmpProperty> properties;
    for (const tElement* r : rdf)
        for (const tElement& node : r->Children) NodeProperties(node, properties);
    return properties;
}
