#include "volume/CtSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/AtomicFile.h"

namespace orvex {

namespace {

std::uint16_t Sample(double value) {
    return std::uint16_t(std::clamp(std::lround(value), 0L, 65535L));
}

Status Allocate_Cube(CT_3D& volume, int n) {
    if (n < 1 || n > 65535) return Status::Error("a synthetic volume needs 1 to 65535 samples per side");
    return volume.Allocate(std::uint16_t(n), std::uint16_t(n), std::uint16_t(n));
}

// splitmix64: a fast generator whose stream depends on the seed only.
std::uint64_t Next_Random(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

Status Make_Sphere_Volume(CT_3D& volume, int n, float radius) {
    if (Status s = Allocate_Cube(volume, n); !s) return s;
    const double centre = (n - 1) / 2.0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            std::uint16_t* column = volume.data[i][j];
            for (int k = 0; k < n; ++k) {
                const double r = std::sqrt((i - centre) * (i - centre) + (j - centre) * (j - centre) +
                                           (k - centre) * (k - centre));
                column[k] = Sample(2048.0 + 100.0 * (radius - r));
            }
        }
    }
    volume.threshold = 2048;
    return Status::Ok();
}

Status Make_Gyroid_Volume(CT_3D& volume, int n, float period) {
    if (Status s = Allocate_Cube(volume, n); !s) return s;
    const double w = 2.0 * std::numbers::pi / period;
    std::vector<double> sines(n), cosines(n);
    for (int m = 0; m < n; ++m) {
        sines[m] = std::sin(w * m);
        cosines[m] = std::cos(w * m);
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            std::uint16_t* column = volume.data[i][j];
            for (int k = 0; k < n; ++k) {
                const double g = sines[i] * cosines[j] + sines[j] * cosines[k] + sines[k] * cosines[i];
                column[k] = Sample(32768.0 + 20000.0 * g / 1.5);
            }
        }
    }
    volume.threshold = 32768;
    return Status::Ok();
}

Status Make_Noise_Volume(CT_3D& volume, int n, std::uint64_t seed) {
    if (Status s = Allocate_Cube(volume, n); !s) return s;
    std::uint64_t state = seed;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            std::uint16_t* column = volume.data[i][j];
            for (int k = 0; k < n; ++k) column[k] = std::uint16_t(Next_Random(state) >> 48);
        }
    }
    volume.threshold = 32768;
    return Status::Ok();
}

Status Write_CT_File(const CT_3D& volume, const std::string& path) {
    if (volume.IsEmpty()) return Status::Error(path + ": nothing written, the CT volume is empty");
    AtomicFile file;
    if (Status opened = file.Open(path); !opened) return opened;
    const std::uint16_t header[4] = {kCtMagic, volume.nx, volume.ny, volume.nz};
    file.Write(header, sizeof header);
    // File order: slice (k reversed) slowest, then row (j reversed), then column (i).
    std::vector<std::uint16_t> row(volume.nx);
    for (int k = volume.nz - 1; k >= 0; --k) {
        for (int j = volume.ny - 1; j >= 0; --j) {
            for (int i = 0; i < volume.nx; ++i) row[i] = volume.data[i][j][k];
            file.Write(row.data(), row.size() * sizeof row[0]);
        }
    }
    return file.Commit();
}

}  // namespace orvex
