#pragma once
// HDR gain maps in XMP (Adobe's hdrgm namespace; the container directory of
// Ultra HDR files): the properties a viewer needs to show the picture in HDR,
// kept when every other XMP property goes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The identifier an XMP APP1 payload starts with.
constexpr std::string_view kXmpIdentifier{"http://ns.adobe.com/xap/1.0/\0", 29};

// True when the packet declares the hdrgm namespace.
bool HasGainMapProperties(std::string_view packet);

// A new packet holding only the gain-map properties of `packet`: every hdrgm
// attribute and element, and the container directory, whose Item:Length
// values are replaced in order by `itemLengths` (as many as it gives).
std::string GainMapOnlyPacket(std::string_view packet, const std::vector<uint32_t>& itemLengths);
