#pragma once
// Helpers of the volume tests: .ct files written byte by byte, volumes filled in code, STL files
// parsed back into records, and the measures of a triangle soup (area, enclosed volume, and the
// edge pairing that tells a closed, consistently wound surface).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "mesh/StlFormat.h"
#include "tests/support/ScratchFolder.h"
#include "volume/CtVolume.h"

namespace orvex::test {

namespace fs = std::filesystem;

inline void Put_U16(std::string& bytes, std::uint16_t value) {
    bytes.push_back(char(value & 0xFF));
    bytes.push_back(char(value >> 8));
}

// A .ct file: magic, sizes, then the samples exactly as given (file order).
inline std::string Ct_Bytes(std::uint16_t magic, std::uint16_t nx, std::uint16_t ny, std::uint16_t nz,
                            const std::vector<std::uint16_t>& samples) {
    std::string bytes;
    Put_U16(bytes, magic);
    Put_U16(bytes, nx);
    Put_U16(bytes, ny);
    Put_U16(bytes, nz);
    for (std::uint16_t s : samples) Put_U16(bytes, s);
    return bytes;
}

inline void Write_Bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A volume of the given size with every sample `fill`, then `set(i, j, k)` where it returns >= 0.
inline void Fill_Volume(CT_3D& volume, int nx, int ny, int nz, std::uint16_t fill,
                        const std::function<int(int, int, int)>& set = {}) {
    ASSERT_TRUE(volume.Allocate(std::uint16_t(nx), std::uint16_t(ny), std::uint16_t(nz)));
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            for (int k = 0; k < nz; ++k) {
                const int value = set ? set(i, j, k) : -1;
                volume.data[i][j][k] = value >= 0 ? std::uint16_t(value) : fill;
            }
}

struct StlRecord {
    Vec3 normal;
    Vec3 p[3];
    std::uint16_t attribute = 0;
};

struct StlFile {
    bool valid = false;
    std::string header;  // the 80 header bytes
    std::uint32_t count = 0;
    std::uint64_t recordsPresent = 0;  // (size - 84) / 50
    std::vector<StlRecord> records;
};

inline StlFile Parse_Stl(const std::string& path) {
    StlFile file;
    const std::string bytes = Slurp(path);
    if (bytes.size() < kStlPreambleBytes) return file;
    file.valid = (bytes.size() - kStlPreambleBytes) % kStlRecordBytes == 0;
    file.header = bytes.substr(0, kStlHeaderBytes);
    std::memcpy(&file.count, bytes.data() + kStlHeaderBytes, 4);
    file.recordsPresent = (bytes.size() - kStlPreambleBytes) / kStlRecordBytes;
    file.records.resize(file.recordsPresent);
    for (std::uint64_t r = 0; r < file.recordsPresent; ++r) {
        const char* at = bytes.data() + kStlPreambleBytes + r * kStlRecordBytes;
        StlRecord& record = file.records[r];
        std::memcpy(&record.normal, at, 12);
        std::memcpy(record.p, at + 12, 36);
        std::memcpy(&record.attribute, at + 48, 2);
    }
    return file;
}

inline Vec3 Winding_Normal(const StlRecord& r) {
    return Cross(r.p[1] - r.p[0], r.p[2] - r.p[0]);
}

inline double Area(const std::vector<StlRecord>& records) {
    double area = 0;
    for (const StlRecord& r : records) {
        const Vec3 n = Winding_Normal(r);
        area += 0.5 * std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    }
    return area;
}

// Sum of the signed tetrahedra against the origin: the enclosed volume, positive when the
// triangles wind counter-clockwise seen from outside.
inline double Signed_Volume(const std::vector<StlRecord>& records) {
    double volume = 0;
    for (const StlRecord& r : records) {
        const double a[3] = {r.p[0].x, r.p[0].y, r.p[0].z}, b[3] = {r.p[1].x, r.p[1].y, r.p[1].z},
                     c[3] = {r.p[2].x, r.p[2].y, r.p[2].z};
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) /
                  6.0;
    }
    return volume;
}

// Closed and consistently wound: with corners identified by their exact coordinates and
// zero-area triangles left aside, every directed edge occurs once and its reverse once.
struct EdgeReport {
    std::uint64_t triangles = 0;   // with non-zero area
    std::uint64_t unpaired = 0;    // directed edges without their reverse
    std::uint64_t repeated = 0;    // directed edges used more than once
    std::vector<Vec3> unpairedAt;  // a few of them, for the message
};

inline EdgeReport Edge_Pairing(const std::vector<StlRecord>& records) {
    using Key = std::tuple<float, float, float>;
    auto key = [](const Vec3& v) { return Key{v.x, v.y, v.z}; };
    std::map<std::pair<Key, Key>, int> directed;
    EdgeReport report;
    for (const StlRecord& r : records) {
        const Vec3 n = Winding_Normal(r);
        if (n.x == 0 && n.y == 0 && n.z == 0) continue;
        ++report.triangles;
        for (int e = 0; e < 3; ++e) ++directed[{key(r.p[e]), key(r.p[(e + 1) % 3])}];
    }
    for (const auto& [edge, uses] : directed) {
        if (uses > 1) ++report.repeated;
        const auto reverse = directed.find({edge.second, edge.first});
        if (reverse == directed.end() || reverse->second != uses) {
            ++report.unpaired;
            if (report.unpairedAt.size() < 4) {
                const auto& [x, y, z] = edge.first;
                report.unpairedAt.push_back({x, y, z});
            }
        }
    }
    return report;
}

inline std::string Describe(const EdgeReport& report) {
    std::ostringstream text;
    text << report.triangles << " triangles, " << report.unpaired << " unpaired, " << report.repeated
         << " repeated directed edges";
    for (const Vec3& v : report.unpairedAt) text << " (" << v.x << ", " << v.y << ", " << v.z << ")";
    return text.str();
}

}  // namespace orvex::test
