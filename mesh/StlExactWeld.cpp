// mmap, then one probe sequence per corner in a table twice the expected vertex count.

#include "mesh/StlExactWeld.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "mesh/StlFormat.h"

namespace orvex {

namespace {

struct Slot {
    std::uint32_t key[3];
    std::uint32_t valuePlusOne;
};

}  // namespace

Status Exact_Weld_Stl(const std::string& path, std::vector<Vec3>& vertices, std::vector<FaceIndex>& faces) {
    vertices.clear();
    faces.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::Error(path + ": cannot open: " + std::strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_size < std::int64_t(kStlPreambleBytes)) {
        ::close(fd);
        return Status::Error(path + ": not a binary STL");
    }
    const auto size = std::size_t(info.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return Status::Error(path + ": cannot map: " + std::strerror(errno));
    const auto* bytes = static_cast<const unsigned char*>(map);
    const std::size_t count =
        std::min<std::uint64_t>(Stl_Read_Count(bytes), (size - kStlPreambleBytes) / kStlRecordBytes);

    std::vector<Slot> table(std::bit_ceil(std::max<std::size_t>(count, 1024)), Slot{});
    auto home = [](const std::uint32_t key[3], std::size_t mask) {
        std::uint64_t h = ((std::uint64_t(key[0]) << 32) | key[1]) * 0x9E3779B97F4A7C15ull;
        h ^= std::uint64_t(key[2]) * 0xC2B2AE3D27D4EB4Full;
        return std::size_t(h ^ (h >> 32)) & mask;
    };
    vertices.reserve(count / 2 + 3);
    faces.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        StlFacet facet;
        Stl_Read_Record(bytes + kStlPreambleBytes + k * kStlRecordBytes, facet);
        for (int c = 0; c < 3; ++c) {
            std::uint32_t key[3];
            std::memcpy(key, &facet.corner[c], sizeof key);
            std::size_t mask = table.size() - 1;
            std::size_t i = home(key, mask);
            while (table[i].valuePlusOne != 0 && std::memcmp(table[i].key, key, sizeof key) != 0)
                i = (i + 1) & mask;
            if (table[i].valuePlusOne != 0) {
                faces[k][c] = int(table[i].valuePlusOne - 1);
            } else {
                std::memcpy(table[i].key, key, sizeof key);
                vertices.push_back(facet.corner[c]);
                table[i].valuePlusOne = std::uint32_t(vertices.size());
                faces[k][c] = int(vertices.size() - 1);
                if (vertices.size() * 2 > table.size()) {  // a triangle soup outgrows the first guess
                    std::vector<Slot> old(table.size() * 2, Slot{});
                    old.swap(table);
                    mask = table.size() - 1;
                    for (const Slot& slot : old) {
                        if (slot.valuePlusOne == 0) continue;
                        std::size_t j = home(slot.key, mask);
                        while (table[j].valuePlusOne != 0) j = (j + 1) & mask;
                        table[j] = slot;
                    }
                }
            }
        }
    }
    munmap(map, size);
    return Status::Ok();
}

}  // namespace orvex
