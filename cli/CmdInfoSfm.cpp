// orvex info for the auxiliary data: an .sfm reconstruction, a Sick scan log (.txt) and a texture
// picture (.jpg). Each prints what the window's status bar shows after the open, then what the
// view will draw. Exit code 1 when the file could not be read whole; what was read still shows.

#include <algorithm>
#include <cstdio>
#include <string>

#include "sfm/ArrayMap.h"
#include "sfm/SFMData.h"
#include "sfm/SickScan.h"

namespace orvex::cli {

int Run_Sfm_Info(const std::string& path) {
    SFMData data;
    const Status status = data.Read(path);
    if (!status) std::fprintf(stderr, "orvex info: %s\n", status.message.c_str());
    if (data.Empty()) return 1;
    std::printf("%s\n", path.c_str());
    std::printf("%d points. %d cameras loaded.\n", data.pointCount, data.cameraCount);
    std::printf("Labels: %s\n", data.labelled ? "on" : "off");
    Vec3 min, max;
    if (Sfm_Bounds(data, min, max))
        std::printf("Bounds: (%g, %g, %g) .. (%g, %g, %g)\n", double(min.x), double(min.y), double(min.z),
                    double(max.x), double(max.y), double(max.z));
    for (int c = 0; c < data.cameraCount; ++c) {
        const std::string& name = data.names[std::size_t(c)];
        if (!Camera_Drawable(data, c)) {
            std::printf("Camera %d %s: singular extrinsics, not drawn\n", c + 1, name.c_str());
            continue;
        }
        // + 0.0: a coordinate of -R^T t that comes out as minus zero prints as 0.
        const Vec3 centre = Camera_Centre(data, c);
        std::printf("Camera %d %s: centre (%g, %g, %g), k0 %g, scale %g%s\n", c + 1, name.c_str(),
                    double(centre.x) + 0.0, double(centre.y) + 0.0, double(centre.z) + 0.0,
                    double(data.K(c)[0]), double(data.scales[std::size_t(c)]),
                    Camera_Has_Pyramid(data, c) ? "" : ", centre only");
    }
    return status ? 0 : 1;
}

int Run_Sick_Info(const std::string& path) {
    VEC_LIST* scans = nullptr;
    SickReadReport report;
    const Status status = Read_Sick(path, scans, &report);
    if (!status) std::fprintf(stderr, "orvex info: %s\n", status.message.c_str());
    if (!scans) return 1;
    std::printf("%s\n", path.c_str());
    std::printf("%llu scans. \n", static_cast<unsigned long long>(report.scans));
    const VEC_LIST* last = scans;
    float low = scans->values[1], high = low;
    unsigned long long drawn = 0, readings = 0;
    for (const VEC_LIST* s = scans; s; s = s->next) {
        last = s;
        for (int i = 1; i <= Sick_Readings; ++i) {
            const float r = s->values[i];
            low = std::min(low, r);
            high = std::max(high, r);
            drawn += r >= Scan_Min_Range && r <= Scan_Max_Range ? 1 : 0;
        }
        readings += Sick_Readings;
    }
    std::printf("Tags: %d .. %d\n", scans->tag, last->tag);
    std::printf("Readings: %g .. %g, %llu of %llu within %g .. %g drawn\n", double(low), double(high), drawn,
                readings, double(Scan_Min_Range), double(Scan_Max_Range));
    std::printf("Integers dropped: %llu\n", static_cast<unsigned long long>(report.dropped));
    Free_Vec_List(scans);
    return status ? 0 : 1;
}

int Run_Jpeg_Info(const std::string& path) {
    ArrayMap map;
    std::string warning;
    const Status status = Load_Texture_Map(map, path, &warning);
    if (!status) {
        std::fprintf(stderr, "orvex info: %s\n", status.message.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::printf("Texture map: %d x %d pixels, %d x %d tiles of %d x %d\n", map.width, map.height,
                Tiles_X(map), Tiles_Y(map), Tile_Size, Tile_Size);
    std::printf("Scene bounds: (0, 0, -1) .. (%d, %d, 1)\n", map.width, map.height);
    if (!warning.empty()) std::printf("Warning: %s\n", warning.c_str());
    return 0;
}

}  // namespace orvex::cli
