// Smoothing passes and the volume restoration after them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analysis/AreaSmooth.h"
#include "analysis/FairSmooth.h"
#include "analysis/Perturb.h"
#include "analysis/ReverseOrientation.h"
#include "geometry/Random.h"
#include "geometry/Vec3d.h"
#include "mesh/StlReader.h"
#include "mesh/Topology.h"
#include "tests/support/TestMeshes.h"

namespace orvex {
namespace {

bool All_Finite(const UniOb& mesh) {
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        for (int k = 0; k < 3; ++k)
            if (!std::isfinite(mesh.Vertex_Pos[v][k])) return false;
    return true;
}

// A closed mesh as a reader leaves it: derived data and the load volume.
void Load(UniOb& mesh) {
    test::Finish_Mesh(mesh);
    mesh.Volume_Initial = mesh.Volume;
}

Vec3d Box_Centre(const UniOb& mesh) {
    Vec3 lo = mesh.Vertex_Pos[0], hi = lo;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], mesh.Vertex_Pos[v][k]);
            hi[k] = std::max(hi[k], mesh.Vertex_Pos[v][k]);
        }
    return {(double(lo.x) + hi.x) / 2, (double(lo.y) + hi.y) / 2, (double(lo.z) + hi.z) / 2};
}

// ---- Passes ----

TEST(AreaSmooth, FactorOneMovesNothing) {
    UniOb mesh;
    test::Make_Sphere(mesh, 10.0f, 3);
    Random_Reset_All();
    Perturb(mesh, 0.3f);
    Load(mesh);
    const std::vector<Vec3> before = mesh.Vertex_Pos;
    AreaSmooth(mesh, 1.0f);
    EXPECT_EQ(mesh.Vertex_Pos, before);
    FairSmooth(mesh, 1.0f, true, Smooth_Constant);  // only the restoring scale may move it
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        ASSERT_NEAR(Point_Distance(mesh.Vertex_Pos[v], before[v]), 0.0f, 2e-3f) << v;
}

// 4 x 4 unit grid with its centre (2, 2) lifted by 1. The six faces around the centre are right
// triangles of area sqrt(2)/2 (four) and sqrt(3)/2 (two); every other face has area 1/2.
struct LiftedGrid : ::testing::Test {
    static constexpr int kCentre = 2 + 5 * 2;
    UniOb mesh;
    void SetUp() override {
        test::Make_Grid(mesh, 4);
        mesh.Vertex_Pos[kCentre].z = 1.0f;
        test::Finish_Mesh(mesh);
    }
};

TEST_F(LiftedGrid, FactorZeroPutsTheVertexOnTheMeanOfItsRing) {
    // The ring is symmetric through (2, 2, 0), pair by pair with equal areas.
    AreaSmooth(mesh, 0.0f);
    EXPECT_NEAR(mesh.Vertex_Pos[kCentre].x, 2.0f, 1e-6f);
    EXPECT_NEAR(mesh.Vertex_Pos[kCentre].y, 2.0f, 1e-6f);
    EXPECT_NEAR(mesh.Vertex_Pos[kCentre].z, 0.0f, 1e-6f);
}

TEST_F(LiftedGrid, HalfFactorWeighsTheVertexByItsAreaAgainstTheRing) {
    const double s2 = std::sqrt(2.0) / 2, s3 = std::sqrt(3.0) / 2;
    const double A = (4 * s2 + 2 * s3) / 3;  // the centre's third of its faces
    // Four ring vertices touch one face of each lifted kind, two touch two sqrt(2)/2 faces; each
    // has four flat faces besides.
    const double W = 4 * (2 + s2 + s3) / 3 + 2 * (2 + 2 * s2) / 3;
    AreaSmooth(mesh, 0.5f);
    EXPECT_NEAR(mesh.Vertex_Pos[kCentre].z, A / (A + W), 1e-6);
    EXPECT_NEAR(mesh.Vertex_Pos[kCentre].x, 2.0f, 1e-6f);
}

TEST_F(LiftedGrid, GaussEdgeKeepsFlatConcaveVertices) {
    // K = kMax kMin = 5e-7, below 1e-6: "Gaussian" pulls the vertex by 1 - exp(-K), a little;
    // "Gauss+Edge" keeps it where the mean curvature sum is below -2e-6, and pulls it otherwise.
    auto smoothed = [&](float kMax, float kMin, int method) {
        UniOb grid;
        test::Make_Grid(grid, 4);
        grid.Vertex_Pos[kCentre].z = 1.0f;
        test::Finish_Mesh(grid);
        std::fill(grid.Curvature_Max.begin(), grid.Curvature_Max.end(), 0.0f);
        std::fill(grid.Curvature_Min.begin(), grid.Curvature_Min.end(), 0.0f);
        grid.Curvature_Max[kCentre] = kMax;
        grid.Curvature_Min[kCentre] = kMin;
        EXPECT_EQ(FairSmooth(grid, 0.5f, true, method), 0);  // no load volume: no restoration
        return grid.Vertex_Pos[kCentre].z;
    };
    EXPECT_LT(smoothed(-1e-4f, -5e-3f, Smooth_Gaussian), 1.0f);
    EXPECT_EQ(smoothed(-1e-4f, -5e-3f, Smooth_Gauss_Edge), 1.0f);
    EXPECT_LT(smoothed(1e-4f, 5e-3f, Smooth_Gauss_Edge), 1.0f);
    EXPECT_EQ(smoothed(1e-4f, 5e-3f, Smooth_Gauss_Edge), smoothed(1e-4f, 5e-3f, Smooth_Gaussian));
    // Strong curvature pulls it most of the way: a = exp(-1).
    EXPECT_LT(smoothed(1.0f, -1.0f, Smooth_Gauss_Edge), 0.5f);
}

TEST(AreaSmooth, BoundaryAndNextToBoundaryNeverMove) {
    UniOb mesh;
    test::Make_Grid(mesh, 8);
    Random_Reset_All();
    Perturb(mesh, 0.3f);
    test::Finish_Mesh(mesh);
    const std::vector<Vec3> before = mesh.Vertex_Pos;
    for (int pass = 0; pass < 3; ++pass) {
        AreaSmooth(mesh, 0.0f);
        FairSmooth(mesh, 0.0f, true, Smooth_Constant);
    }
    int kept = 0, moved = 0;
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        if (mesh.Vertex_Label[v] < 0) {
            ASSERT_EQ(mesh.Vertex_Pos[v], before[v]) << v;
            ++kept;
        } else {
            moved += !(mesh.Vertex_Pos[v] == before[v]);
        }
    }
    EXPECT_EQ(kept, 32 + 24);  // the rim and the ring inside it
    EXPECT_EQ(moved, 5 * 5);
}

TEST(AreaSmooth, LargeMeshGetsTheRingMeanEverywhere) {
    // Enough vertices for the pass to split over threads: every range is done, and done once.
    UniOb mesh;
    test::Make_Sphere(mesh, 10.0f, 7);
    ASSERT_GE(mesh.Vertex_Count, 65536u);
    Random_Reset_All();
    Perturb(mesh, 0.05f);
    Load(mesh);
    const std::vector<Vec3> before = mesh.Vertex_Pos;
    std::vector<double> area(mesh.Vertex_Count, 0.0);
    for (const FaceIndex& t : mesh.Face_Index)
        for (int j = 0; j < 3; ++j) area[t[j]] += Triangle_Area(before[t[0]], before[t[1]], before[t[2]]) / 3;
    AreaSmooth(mesh, 0.0f);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        double w = 0, sum[3] = {0, 0, 0};
        for (const int* u = mesh.Vertex_Ring.Begin(v); u != mesh.Vertex_Ring.End(v); ++u) {
            w += area[*u];
            for (int k = 0; k < 3; ++k) sum[k] += area[*u] * before[*u][k];
        }
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(mesh.Vertex_Pos[v][k], sum[k] / w, 1e-4) << v;
    }
}

TEST(AreaSmooth, ZeroAreaClustersStayFinite) {
    // A whole closed mesh on one point, and a sphere with one vertex's ring pulled onto it.
    UniOb point, pinched;
    test::Make_Sphere(point, 0.0f, 2);
    test::Make_Sphere(pinched, 5.0f, 2);
    test::Finish_Mesh(pinched);
    for (const int* u = pinched.Vertex_Ring.Begin(0); u != pinched.Vertex_Ring.End(0); ++u)
        pinched.Vertex_Pos[*u] = pinched.Vertex_Pos[0];
    for (UniOb* mesh : {&point, &pinched}) {
        Load(*mesh);
        for (int method : {0, 1, 2, -1}) {
            AreaSmooth(*mesh, 0.0f);
            FairSmooth(*mesh, 0.5f, true, method);
            ASSERT_TRUE(All_Finite(*mesh)) << method;
        }
    }
    EXPECT_EQ(point.Vertex_Pos[7], Vec3{});
}

TEST(FairSmooth, GaussianMovesSpikesAndLeavesFlatParts) {
    // K = kMax kMin: about 1/(2R)^2 on a sphere of radius 0.05 gives a = exp(-100) (full pull);
    // a flat grid has K = 0, a = 1 and stays.
    UniOb sphere, grid;
    test::Make_Sphere(sphere, 0.05f, 2);
    Load(sphere);
    test::Make_Grid(grid, 6);
    Load(grid);
    const std::vector<Vec3> flat = grid.Vertex_Pos;
    FairSmooth(grid, 0.0f, true, Smooth_Gaussian);
    EXPECT_EQ(grid.Vertex_Pos, flat);

    // Without curvature nothing is known, so nothing moves either.
    const std::vector<Vec3> round = sphere.Vertex_Pos;
    UniOb bare;
    test::Make_Sphere(bare, 0.05f, 2);
    Load(bare);
    bare.FreeCurvature();
    Compute_Volume(bare);
    FairSmooth(bare, 0.0f, true, Smooth_Gauss_Edge);
    for (unsigned v = 0; v < bare.Vertex_Count; ++v) ASSERT_NEAR(bare.Vertex_Pos[v].x, round[v].x, 1e-6f);

    // A noisy sphere gets smoother: the spread of |p| shrinks.
    Random_Reset_All();
    Perturb(sphere, 0.002f);
    Compute_Face_Normals(sphere);
    Compute_Vertex_Normals(sphere, true);
    Compute_Volume(sphere);
    auto spread = [&] {
        double sum = 0, sum2 = 0;
        for (const Vec3& p : sphere.Vertex_Pos) {
            const double r = std::sqrt(double(Dot(p, p)));
            sum += r, sum2 += r * r;
        }
        const double n = sphere.Vertex_Count;
        return std::sqrt(std::max(0.0, sum2 / n - (sum / n) * (sum / n)));
    };
    const double before = spread();
    FairSmooth(sphere, 0.5f, true, Smooth_Gaussian);
    EXPECT_LT(spread(), before * 0.7);
}

// ---- Restoration ----

TEST(FairSmooth, SphereKeepsItsVolumeOverTwentyPasses) {
    for (int method : {Smooth_Constant, Smooth_Gaussian, Smooth_Gauss_Edge}) {
        UniOb mesh;
        test::Make_Sphere(mesh, 10.0f, 4, Vec3{3, -2, 1});
        Random_Reset_All();
        Perturb(mesh, 0.2f);
        Load(mesh);
        const double initial = mesh.Volume_Initial;
        for (int pass = 0; pass < 20; ++pass) {
            const int steps = FairSmooth(mesh, 0.5f, true, method);
            ASSERT_GE(steps, 1) << method << " " << pass;
            ASSERT_LE(steps, 20) << method << " " << pass;
            ASSERT_NEAR(mesh.Volume / initial, 1.0, 1e-6) << method << " " << pass;
        }
        // What the pass leaves is current: volume, normals.
        const float volume = mesh.Volume;
        const std::vector<Vec3> normals = mesh.Vertex_Normal;
        Compute_Face_Normals(mesh);
        Compute_Vertex_Normals(mesh, true);
        Compute_Volume(mesh);
        EXPECT_EQ(mesh.Volume, volume);
        EXPECT_EQ(mesh.Vertex_Normal, normals);
    }
}

TEST(FairSmooth, LargeMeshHasTheSameBitsOverThreadsAsInOneSweep) {
    // The main thread splits the pass's per-face work over threads and sums beside one another; a
    // worker thread does it in one sweep. Sums run in face order either way.
    auto same = [](const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vec3)) == 0;
    };
    for (const int method : {Smooth_Constant, Smooth_Gaussian}) {
        SCOPED_TRACE(method);
        UniOb split, whole;
        for (UniOb* mesh : {&split, &whole}) {
            test::Make_Sphere(*mesh, 10.0f, 7, Vec3{3, -2, 1});
            Random_Reset_All();
            Perturb(*mesh, 0.05f);
            Load(*mesh);
        }
        ASSERT_GE(split.Vertex_Count, 65536u);  // vertex sweeps split too
        const int passes = 3;
        int splitSteps = 0, wholeSteps = 0;
        for (int pass = 0; pass < passes; ++pass) splitSteps += FairSmooth(split, 0.5f, true, method);
        std::thread worker([&] {
            for (int pass = 0; pass < passes; ++pass) wholeSteps += FairSmooth(whole, 0.5f, true, method);
        });
        worker.join();
        EXPECT_GE(splitSteps, passes);
        EXPECT_EQ(splitSteps, wholeSteps);
        EXPECT_TRUE(same(split.Vertex_Pos, whole.Vertex_Pos));
        EXPECT_TRUE(same(split.Face_Normal, whole.Face_Normal));
        EXPECT_TRUE(same(split.Vertex_Normal, whole.Vertex_Normal));
        EXPECT_EQ(split.Volume, whole.Volume);
        EXPECT_EQ(split.Area, whole.Area);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(split.Volume_Centroid[k], whole.Volume_Centroid[k]) << k;

        EXPECT_EQ(split.Box_Min, whole.Box_Min);
        EXPECT_EQ(split.Box_Max, whole.Box_Max);

        // And it is what the measures give when taken afresh.
        const Vec3 centroid = split.Volume_Centroid;
        const Vec3 boxMin = split.Box_Min, boxMax = split.Box_Max;
        Compute_Box(split);
        EXPECT_EQ(boxMin, split.Box_Min);
        EXPECT_EQ(boxMax, split.Box_Max);
        Compute_Face_Normals(whole);
        Compute_Vertex_Normals(whole, true);
        Compute_Volume(whole);
        EXPECT_TRUE(same(split.Face_Normal, whole.Face_Normal));
        EXPECT_TRUE(same(split.Vertex_Normal, whole.Vertex_Normal));
        EXPECT_EQ(split.Volume, whole.Volume);
        EXPECT_EQ(split.Area, whole.Area);
        EXPECT_EQ(centroid, whole.Volume_Centroid);
    }
}

TEST(FairSmooth, SphereWoundInwardsFarFromTheOriginStaysPut) {
    UniOb mesh;
    test::Make_Sphere(mesh, 10.0f, 3, Vec3{1000, 0, 0});
    test::Reverse_Orientation(mesh);
    mesh.Volume_Initial = mesh.Volume;
    ASSERT_LT(mesh.Volume, 0.0f);
    for (int pass = 0; pass < 20; ++pass) {
        ASSERT_GE(FairSmooth(mesh, 0.5f, true, Smooth_Constant), 1);
        ASSERT_NEAR(mesh.Volume / mesh.Volume_Initial, 1.0, 1e-6) << pass;
    }
    const Vec3d c = Box_Centre(mesh);
    EXPECT_NEAR(c.x, 1000.0, 0.01);
    EXPECT_NEAR(c.y, 0.0, 0.01);
    EXPECT_NEAR(c.z, 0.0, 0.01);
}

TEST(FairSmooth, NoVolumeToRestoreSkipsRestoration) {
    // An open flat grid has volume 0: the pass smooths, nothing is scaled.
    UniOb grid;
    test::Make_Grid(grid, 6);
    Random_Reset_All();
    Perturb(grid, 0.1f);
    for (Vec3& p : grid.Vertex_Pos) p.z = 0.0f;
    Load(grid);
    EXPECT_EQ(FairSmooth(grid, 0.5f, true, Smooth_Constant), 0);
    EXPECT_TRUE(All_Finite(grid));

    // A load volume of the other sign, or not a number.
    for (const float initial : {-1.0f, 0.0f, NAN, INFINITY}) {
        UniOb sphere;
        test::Make_Sphere(sphere, 2.0f, 2);
        Load(sphere);
        sphere.Volume_Initial = initial;
        UniOb plain;
        test::Make_Sphere(plain, 2.0f, 2);
        Load(plain);
        EXPECT_EQ(FairSmooth(sphere, 0.5f, true, Smooth_Constant), 0) << initial;
        AreaSmooth(plain, 0.5f);
        EXPECT_EQ(sphere.Vertex_Pos, plain.Vertex_Pos) << initial;
    }
}

TEST(FairSmooth, HorseWoundInwardsKeepsVolumeAndCentroid) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/mesh_horse.stl";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
    UniOb horse;
    ASSERT_TRUE(Read_STL(horse, path));
    ASSERT_LT(horse.Volume, 0.0f);
    // Moved off the origin, so scaling about anything but the centroid would shift it.
    for (Vec3& p : horse.Vertex_Pos) p.x += 1.0f;
    Compute_Box(horse);
    Compute_Volume(horse);
    horse.Volume_Initial = horse.Volume;
    auto centroid = [&] {
        const double d = 4.0 * horse.Volume;
        return Vec3d{horse.Volume_Centroid.x / d, horse.Volume_Centroid.y / d, horse.Volume_Centroid.z / d};
    };
    const Vec3d before = centroid();
    double size = 0;
    for (int k = 0; k < 3; ++k) size = std::max(size, double(horse.Box_Max[k]) - horse.Box_Min[k]);
    for (int pass = 0; pass < 20; ++pass) {
        const int steps = FairSmooth(horse, 0.5f, true, Smooth_Constant);
        ASSERT_GE(steps, 1);
        ASSERT_LE(steps, 20);
    }
    EXPECT_NEAR(horse.Volume / horse.Volume_Initial, 1.0, 1e-6);
    const Vec3d after = centroid();
    EXPECT_NEAR(after.x, before.x, 0.01 * size);
    EXPECT_NEAR(after.y, before.y, 0.01 * size);
    EXPECT_NEAR(after.z, before.z, 0.01 * size);
}

// ---- Edits ----

TEST(ReverseOrientation, TwoReversalsRestoreFacesAndCurvatureSign) {
    UniOb mesh, recomputed;
    test::Make_Sphere(mesh, 4.0f, 3, Vec3{1, 2, 3});
    test::Make_Sphere(recomputed, 4.0f, 3, Vec3{1, 2, 3});
    Load(mesh);
    const std::vector<FaceIndex> faces = mesh.Face_Index;
    const std::vector<float> kMax = mesh.Curvature_Max;
    const float volume = mesh.Volume;
    const Vec3 centroid = mesh.Volume_Centroid;

    ReverseOrientation(mesh);
    test::Reverse_Orientation(recomputed);
    EXPECT_EQ(mesh.Face_Index, recomputed.Face_Index);
    EXPECT_EQ(mesh.Face_Normal, recomputed.Face_Normal);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v)
        ASSERT_LT(Point_Distance(mesh.Vertex_Normal[v], recomputed.Vertex_Normal[v]), 1e-6f) << v;
    EXPECT_EQ(mesh.Vertex_Ring.entries, recomputed.Vertex_Ring.entries);
    EXPECT_EQ(mesh.Volume, recomputed.Volume);
    EXPECT_EQ(mesh.Volume_Initial, -volume);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(mesh.Volume_Centroid[k], recomputed.Volume_Centroid[k], 1e-2f);
    for (unsigned v = 0; v < mesh.Vertex_Count; ++v) {
        ASSERT_LT(mesh.Curvature_Max[v], 0.0f);
        ASSERT_NEAR(mesh.Curvature_Max[v], recomputed.Curvature_Max[v], 1e-4f);
        ASSERT_NEAR(mesh.Curvature_Min[v], recomputed.Curvature_Min[v], 1e-4f);
    }

    ReverseOrientation(mesh);
    EXPECT_EQ(mesh.Face_Index, faces);
    EXPECT_EQ(mesh.Curvature_Max, kMax);
    EXPECT_EQ(mesh.Volume, volume);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(mesh.Volume_Centroid[k], centroid[k]);
    // Restoring the reversed mesh keeps it in place and its (negative) volume.
    ReverseOrientation(mesh);
    EXPECT_GE(FairSmooth(mesh, 0.5f, true, Smooth_Constant), 1);
    EXPECT_NEAR(mesh.Volume / -volume, 1.0, 1e-6);
    EXPECT_NEAR(Box_Centre(mesh).z, 3.0, 1e-3);
}

TEST(Perturb, RepeatableAfterResetAndWithinTheAmplitude) {
    UniOb a, b;
    test::Make_Sphere(a, 1000.0f, 2);
    test::Make_Sphere(b, 1000.0f, 2);
    const std::vector<Vec3> before = a.Vertex_Pos;
    Random_Reset_All();
    Perturb(a, 0.3f);
    Random_Reset_All();
    Perturb(b, 0.3f);
    EXPECT_EQ(a.Vertex_Pos, b.Vertex_Pos);
    double largest = 0, sum = 0;
    for (unsigned v = 0; v < a.Vertex_Count; ++v)
        for (int k = 0; k < 3; ++k) {
            const double d = double(a.Vertex_Pos[v][k]) - before[v][k];
            largest = std::max(largest, std::fabs(d));
            sum += d;
        }
    EXPECT_LE(largest, 0.3 + 1e-4);  // plus the rounding of a coordinate near 1000
    EXPECT_GT(largest, 0.25);
    EXPECT_NEAR(sum / (3.0 * a.Vertex_Count), 0.0, 0.05);

    UniOb empty;
    Perturb(empty, 1.0f);
    EXPECT_TRUE(empty.Vertex_Pos.empty());
}

}  // namespace
}  // namespace orvex
