#include "meta/jpeg/xmp_gain_map.h"

#include <cctype>

namespace {

constexpr std::string_view kGainMapNs = "http://ns.adobe.com/hdr-gain-map/1.0/";
constexpr std::string_view kContainerNs = "http://ns.google.com/photos/1.0/container/";
constexpr std::string_view kItemNs = "http://ns.google.com/photos/1.0/container/item/";

bool NameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
}

// The prefix a packet binds to `ns` (xmlns:prefix="ns"), or empty.
std::string PrefixOf(std::string_view packet, std::string_view ns)
{
    for (size_t at = packet.find(ns); at != std::string_view::npos; at = packet.find(ns, at + 1)) {
        const size_t after = at + ns.size();
        if (at < 2 || packet[at - 2] != '=' || after >= packet.size() || packet[after] != packet[at - 1] ||
            (packet[at - 1] != '"' && packet[at - 1] != '\''))
            continue;
        size_t start = at - 2;
        while (start > 0 && NameChar(packet[start - 1])) --start;
        if (start >= 6 && packet.substr(start - 6, 6) == "xmlns:")
            return std::string(packet.substr(start, at - 2 - start));
    }
    return {};
}

// Every attribute `prefix:name="value"` in the packet, as it stands.
std::string Attributes(std::string_view packet, const std::string& prefix)
{
    std::string out;
    const std::string lead = prefix + ":";
    for (size_t at = packet.find(lead); at != std::string_view::npos; at = packet.find(lead, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(packet[at - 1]))) continue;
        size_t end = at + lead.size();
        while (end < packet.size() && NameChar(packet[end])) ++end;
        if (end + 1 >= packet.size() || packet[end] != '=' || (packet[end + 1] != '"' && packet[end + 1] != '\''))
            continue;
        const size_t close = packet.find(packet[end + 1], end + 2);
        if (close == std::string_view::npos) break;
        out += ' ';
        out += packet.substr(at, close + 1 - at);
        at = close;
    }
    return out;
}

// Every element <prefix:name ...>...</prefix:name> (or <prefix:name .../>), as it stands.
std::string Elements(std::string_view packet, const std::string& prefix)
{
    std::string out;
    const std::string lead = "<" + prefix + ":";
    for (size_t at = packet.find(lead); at != std::string_view::npos; at = packet.find(lead, at + 1)) {
        size_t nameEnd = at + lead.size();
        while (nameEnd < packet.size() && NameChar(packet[nameEnd])) ++nameEnd;
        const std::string name(packet.substr(at + 1, nameEnd - at - 1));
        const size_t tagEnd = packet.find('>', nameEnd);
        if (tagEnd == std::string_view::npos) break;
        size_t end = tagEnd + 1;
        if (packet[tagEnd - 1] != '/') {
            const size_t close = packet.find("</" + name + ">", tagEnd);
            if (close == std::string_view::npos) break;
            end = close + name.size() + 3;
        }
        out += packet.substr(at, end - at);
        at = end - 1;
    }
    return out;
}

// `xml` with the values of `prefix:Length="..."` replaced in order.
std::string WithLengths(std::string xml, const std::string& prefix, const std::vector<uint32_t>& lengths)
{
    const std::string lead = prefix + ":Length=";
    size_t k = 0;
    for (size_t at = xml.find(lead); at != std::string::npos && k < lengths.size(); at = xml.find(lead, at + 1)) {
        const size_t open = at + lead.size();
        if (open >= xml.size() || (xml[open] != '"' && xml[open] != '\'')) continue;
        const size_t close = xml.find(xml[open], open + 1);
        if (close == std::string::npos) break;
        xml.replace(open + 1, close - open - 1, std::to_string(lengths[k++]));
    }
    return xml;
}

}  // namespace

bool HasGainMapProperties(std::string_view packet)
{
    return !PrefixOf(packet, kGainMapNs).empty();
}

std::string GainMapOnlyPacket(std::string_view packet, const std::vector<uint32_t>& itemLengths)
{
    const std::string gm = PrefixOf(packet, kGainMapNs);
    const std::string container = PrefixOf(packet, kContainerNs);
    const std::string item = PrefixOf(packet, kItemNs);
    std::string namespaces = " xmlns:" + gm + "=\"" + std::string(kGainMapNs) + "\"";
    std::string directory;
    if (!container.empty()) {
        directory = Elements(packet, container);
        if (!item.empty()) directory = WithLengths(directory, item, itemLengths);
        if (!directory.empty()) {
            namespaces += " xmlns:" + container + "=\"" + std::string(kContainerNs) + "\"";
            if (!item.empty()) namespaces += " xmlns:" + item + "=\"" + std::string(kItemNs) + "\"";
        }
    }
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
           "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\"" +
           namespaces + Attributes(packet, gm) + ">" + Elements(packet, gm) + directory +
           "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
}
