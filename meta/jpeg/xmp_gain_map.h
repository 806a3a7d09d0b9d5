#pragma once
// HDR gain maps in XMP: the properties a viewer needs to show the picture in
// HDR, kept when every other XMP property goes. Adobe's and Google's hdrgm
// namespace with the Ultra HDR container directory, and Apple's gain-map
// picture properties; each known by namespace URI and name, its value checked
// for the shape it has (a number, a short word).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The identifier an XMP APP1 payload starts with.
constexpr std::string_view kXmpIdentifier{"http://ns.adobe.com/xap/1.0/\0", 29};

// True when the packet, read as XML, holds gain-map properties.
bool HasGainMapProperties(std::string_view packet);

// A new packet holding only the gain-map properties of `packet`, in a fixed
// order and form, so that a packet made here comes out of it unchanged. The
// container directory's Item:Length values are replaced in order by
// `itemLengths` (as many as it gives). Empty when the packet holds none, or
// cannot be read as XML: it then goes whole.
std::string GainMapOnlyPacket(std::string_view packet, const std::vector<uint32_t>& itemLengths);
