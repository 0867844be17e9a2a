#pragma once
// POINT_LIST: a point cloud as a singly linked list of VEC_LIST point nodes behind a sentinel
// (newest first), plus the faces of its convex hull behind a sentinel face. Point nodes and their
// coordinate arrays (3 floats, or 6 with a colour) come from a pool, so ten million points stay
// lean; hull runs never copy a node, they relink the hull's corners and delete the rest. Faces come
// from a face pool likewise.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "geometry/Matrix4.h"
#include "geometry/Progress.h"
#include "geometry/Status.h"
#include "geometry/Vec3.h"
#include "geometry/VecList.h"
#include "pointset/HullFace.h"

namespace orvex {

class UniOb;
class PointPool;
class FacePool;

enum PointDistribution {
    IN_CUBE = 0,
    IN_SPHERE_POLAR = 1,
    IN_SPHERE_CARD = 2,
    ON_SPHERE = 3,
    SHELL_95 = 4,
    SHELL_75 = 5,
    SHELL_50 = 6,
};

// The most points a command asks the generators for (36 bytes a point: 3.6 GB); a larger or
// negative "Point numbers" entry is refused rather than tried.
constexpr unsigned kMaxGeneratedPoints = 100'000'000;

constexpr int kHullStatsCount = 20;
using HullStats = std::array<std::uint32_t, kHullStatsCount>;

class POINT_LIST {
public:
    POINT_LIST();
    ~POINT_LIST();
    POINT_LIST(const POINT_LIST&) = delete;
    POINT_LIST& operator=(const POINT_LIST&) = delete;

    void Clear();
    void ClearHull();
    unsigned Count(int kind) const;  // 0 points, 1 hull faces, else 0
    void UpdateBounds();
    void Rotate(const Matrix4& rotation);

    // `progress` hears (with fraction 0) every 64Ki points, so a listener stays alive over large clouds.
    void GenerateRandom(unsigned xRange, unsigned yRange, unsigned zRange, unsigned count, int distribution,
                        bool rotate, Progress* progress = nullptr);
    void GenerateDensity(unsigned xRange, unsigned yRange, unsigned zRange, unsigned count, int density,
                         bool rotate, Progress* progress = nullptr);
    void FromMeshes(const UniOb* first);

    Status ReadRAN(const std::string& path);
    Status ReadXYZ(const std::string& path);
    Status ReadXYC(const std::string& path);
    // name + ".ran" / ".xyz" / ".xyc" / ".stl"
    Status WriteRAN(const std::string& name) const;
    Status WriteXYZ(const std::string& name) const;
    Status WriteXYC(const std::string& name) const;
    Status WriteHullSTL(const std::string& name) const;
    // The same files under exactly the name given, whose extension is the caller's business.
    Status WriteRANFile(const std::string& path) const;
    Status WriteXYZFile(const std::string& path) const;
    Status WriteXYCFile(const std::string& path) const;

    // The three hull algorithms. Input they cannot hull (fewer than four points, all points on a
    // plane or a line) leaves an empty hull and a status saying why.
    Status QuickHullBest(Progress* progress = nullptr);
    Status QuickHullSpecial(Progress* progress = nullptr);
    Status IncrementalHull(Progress* progress = nullptr);

    void HullMassProperties();
    void InertiaBox();

    // Node management: every point node and face of this set comes from and returns to its pools.
    VEC_LIST* NewPoint(unsigned floats);  // 3 or 6; values uninitialised, flag 0, next null
    void DeletePoint(VEC_LIST* node);
    std::size_t LivePoints() const;  // nodes taken from the pool and not deleted: at least Count(0)
    CON_FACE_LIST_VEC* NewFace();    // default-initialised face
    void DeleteFace(CON_FACE_LIST_VEC* face);
    // Pairs this set with `partner` (both still empty): they share one point pool, so a selection,
    // its giving back and swapping the two lists relink nodes, and each Clear frees only its own
    // nodes, dropping the partner's hull when one of them is its corner.
    void SharePointsWith(POINT_LIST& partner);
    bool PairedWith(const POINT_LIST& other) const { return partner_ == &other; }
    // 3 or 6: the floats the array of pooled node `node` holds; 0 for a node of no pool.
    unsigned PointFloats(const VEC_LIST* node) const;
    // Gives `node` (on this set) a 6-float array with the set's RGB when it holds 3 floats. The node
    // stays the same, so hull faces keep their corners. Drawing and inversion of a coloured set read
    // six floats a point.
    void ColourPlainPoint(VEC_LIST* node);
    void ColourPlainPoints();  // every point of the list
    // Links a new node directly after the sentinel.
    void InsertFront(VEC_LIST* node) {
        node->next = points.next;
        points.next = node;
    }

    VEC_LIST points{3};      // sentinel; the list runs newest to oldest
    CON_FACE_LIST_VEC hull;  // sentinel face
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Vec3 boundsMin;
    Vec3 boundsMax;
    Vec3 centroid;
    float volume = 0.0f;
    Vec3 boxAxes[3];
    float boxExtent[6] = {0, 0, 0, 0, 0, 0};
    bool coloured = false;
    HullStats stats{};

private:
    bool hullUsesAnyOf(const VEC_LIST* first) const;

    std::shared_ptr<PointPool> pointPool_;
    POINT_LIST* partner_ = nullptr;
    std::unique_ptr<FacePool> facePool_;
};

}  // namespace orvex
