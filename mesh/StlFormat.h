#pragma once
// The binary STL layout shared by every reader and writer: an 80-byte header, a little-endian
// 32-bit facet count, then 50-byte records (normal, three corners, a 16-bit attribute word).
// A well-formed file holds exactly 84 + 50 N bytes; that product is always taken in 64 bits.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "geometry/Vec3.h"

namespace orvex {

static_assert(std::endian::native == std::endian::little, "STL records are read and written as raw bytes");

inline constexpr std::size_t kStlHeaderBytes = 80;
inline constexpr std::size_t kStlPreambleBytes = 84;  // header and facet count
inline constexpr std::size_t kStlRecordBytes = 50;
// What the writers put at the start of the header; the rest is zero bytes.
inline constexpr char kStlHeaderText[] = "STLEXP Object01";

// One facet as stored: the file's normal and three corners in file order.
struct StlFacet {
    Vec3 normal;
    Vec3 corner[3];
};

inline std::uint64_t Stl_Binary_Size(std::uint64_t facets) {
    return kStlPreambleBytes + kStlRecordBytes * facets;
}

inline std::uint32_t Stl_Read_Count(const unsigned char* preamble) {
    std::uint32_t count;
    std::memcpy(&count, preamble + kStlHeaderBytes, sizeof count);
    return count;
}

inline void Stl_Read_Record(const unsigned char* record, StlFacet& facet) {
    static_assert(sizeof(StlFacet) == 48);
    std::memcpy(&facet, record, sizeof facet);
}

// The 84 bytes before the records: the header text, zero bytes, then the count.
inline void Stl_Put_Preamble(unsigned char* preamble, std::uint32_t count) {
    std::memset(preamble, 0, kStlPreambleBytes);
    std::memcpy(preamble, kStlHeaderText, sizeof kStlHeaderText - 1);
    std::memcpy(preamble + kStlHeaderBytes, &count, sizeof count);
}

// One 50-byte record: the facet as stored, then the attribute word.
inline void Stl_Put_Record(unsigned char* record, const StlFacet& facet, std::uint16_t attribute = 0) {
    std::memcpy(record, &facet, sizeof facet);
    std::memcpy(record + sizeof facet, &attribute, sizeof attribute);
}

}  // namespace orvex
