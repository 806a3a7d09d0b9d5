#pragma once
// Byte builders shared by the IPTC tests.

#include <cstdint>
#include <string>

namespace iptcbytes {

inline std::string Record(uint8_t recordNo, uint8_t datasetNo, const std::string& value)
{
    std::string out{'\x1C', static_cast<char>(recordNo), static_cast<char>(datasetNo),
                    static_cast<char>(value.size() >> 8), static_cast<char>(value.size() & 0xFF)};
    return out + value;
}

inline std::string BigEndian(uint64_t v, size_t bytes)
{
    std::string out;
    while (bytes--) out += static_cast<char>(v >> (8 * bytes));
    return out;
}

// The header of a record whose length field announces `lengthBytes` bytes of
// length, then the length itself (IPTC IIM 4.2, 1.5.2).
inline std::string ExtendedHeader(uint8_t recordNo, uint8_t datasetNo, uint64_t length, size_t lengthBytes = 4)
{
    return std::string{'\x1C', static_cast<char>(recordNo), static_cast<char>(datasetNo)} +
           BigEndian(0x8000 | lengthBytes, 2) + BigEndian(length, lengthBytes);
}

inline std::string ExtendedRecord(uint8_t recordNo, uint8_t datasetNo, const std::string& value, size_t lengthBytes = 4)
{
    return ExtendedHeader(recordNo, datasetNo, value.size(), lengthBytes) + value;
}

// A Photoshop image resource block; the name is a Pascal string padded to an
// even length.
inline std::string Resource(uint16_t id, const std::string& data, const std::string& name = "")
{
    std::string out = "8BIM";
    out += static_cast<char>(id >> 8);
    out += static_cast<char>(id & 0xFF);
    out += static_cast<char>(name.size());
    out += name;
    if (name.size() % 2 == 0) out += '\0';
    const size_t n = data.size();
    out += BigEndian(n, 4);
    out += data;
    if (n % 2) out += '\0';
    return out;
}

// An APP13 section's bytes as the scan stores them: length field and payload.
inline std::string App13Bytes(const std::string& resources)
{
    const std::string payload = std::string("Photoshop 3.0\0", 14) + resources;
    const size_t n = payload.size() + 2;
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;
}

inline std::string IptcBlock(const std::string& records) { return App13Bytes(Resource(0x0404, records)); }

}  // namespace iptcbytes
