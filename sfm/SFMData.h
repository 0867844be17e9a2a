#pragma once
// SFMData: the points and cameras of a structure-from-motion reconstruction, read from .sfm text.
//
// An .sfm file is white-space separated tokens; keywords match without regard to case and any
// other token is passed over:
//   "#POINT" N, then N records x y z red green blue (colours 0..255 as integers)
//   "#CAMERA" name, skipped, scale, skipped, k0..k8, skipped, e0..e11 (three rows of four)
//   "#LABEL" n: camera names are drawn when n is not 0
// The extrinsics map world to camera, [R | t] with t in elements 3, 7, 11. The pose is their 4 x 4
// inverse, the camera-to-world transform, stored row-major like every Matrix4: its elements 3, 7,
// 11 are the camera centre (-R^T t for a rotation). GL reads a Matrix4 column-major, so drawing
// multiplies by the transposed pose.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/Matrix4.h"
#include "geometry/Status.h"
#include "geometry/Vec3.h"

namespace orvex {

// Keyword tokens longer than this are cut before they are compared; names are cut to 31.
constexpr std::size_t Sfm_Token_Limit = 255;
constexpr std::size_t Sfm_Name_Limit = 31;

struct SfmReadReport {
    std::int64_t declaredPoints = 0;  // the last "#POINT" count of the file
    std::uint64_t badLine = 0;        // 1-based line where reading stopped early, 0 when it reached the end
    std::vector<int> singular;        // cameras whose extrinsics have no inverse (not drawn)
};

struct SFMData {
    std::int32_t pointCount = 0;
    std::int32_t cameraCount = 0;
    std::int32_t labelled = 0;
    std::vector<float> points;            // pointCount records of x, y, z, red, green, blue (0..1)
    std::vector<float> intrinsics;        // cameraCount records of k0..k8
    std::vector<float> extrinsics;        // cameraCount records of e0..e11
    std::vector<float> scales;            // cameraCount
    std::vector<Matrix4> poses;           // cameraCount, inverse of the extrinsics (row-major)
    std::vector<std::uint8_t> poseValid;  // cameraCount; 0 when the extrinsics are singular
    std::vector<std::string> names;       // cameraCount, at most 31 characters each

    // Replaces the contents by the file's. A file that cannot be opened, holds a negative
    // "#POINT" count or yields neither a point nor a camera leaves everything as it was (not ok).
    // A file ending inside a record, or holding a malformed number, keeps what was read before
    // that record and says so with the line (not ok). Singular extrinsics are named (not ok).
    Status Read(const std::string& path, SfmReadReport* report = nullptr);
    // Frees all arrays; both counts 0; labelled stays.
    void Release();
    // Release, then room for n points and m cameras (identity poses, empty names). Negative counts
    // allocate nothing.
    void Allocate(int n, int m);
    // Recomputes the pose of camera c from its extrinsics; false when they are singular.
    bool Update_Pose(int c);

    bool Empty() const { return pointCount <= 0 && cameraCount <= 0; }
    const float* Point(int i) const { return points.data() + std::size_t(i) * 6; }
    const float* K(int c) const { return intrinsics.data() + std::size_t(c) * 9; }
    const float* E(int c) const { return extrinsics.data() + std::size_t(c) * 12; }
};

// The centre of camera c: elements 3, 7, 11 of its pose.
Vec3 Camera_Centre(const SFMData& data, int c);
// The matrix to hand to glMultMatrixf for camera c: its pose transposed.
void Camera_GL_Matrix(const SFMData& data, int c, Matrix4& out);
// The camera has a pose (its extrinsics are not singular).
bool Camera_Drawable(const SFMData& data, int c);
// The camera has a viewing pyramid: drawable, k0 and k4 not 0, and finite a = k2/k0, b = k5/k4.
// Otherwise only its centre is drawn.
bool Camera_Has_Pyramid(const SFMData& data, int c);
// The base corners of the pyramid at unit depth in the camera's own frame, before its scale:
// (a, b, 1), (a, -b, 1), (-a, b, 1), (-a, -b, 1); the apex is the origin.
std::array<Vec3, 4> Pyramid_Corners(const SFMData& data, int c);
// The same corners in the world: pose x (scale x corner).
std::array<Vec3, 4> Pyramid_World_Corners(const SFMData& data, int c);
// Smallest and largest point and camera centre; false when there is neither.
bool Sfm_Bounds(const SFMData& data, Vec3& min, Vec3& max);

}  // namespace orvex
