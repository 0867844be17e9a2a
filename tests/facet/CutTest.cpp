#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "../support/TestMeshes.h"
#include "facet/Cut.h"
#include "facet/Transfer.h"
#include "mesh/StlReader.h"

namespace orvex {
namespace {

VEC_LIST* Record(std::initializer_list<float> values, VEC_LIST* next = nullptr) {
    auto* r = new VEC_LIST(unsigned(values.size()));
    std::copy(values.begin(), values.end(), r->values);
    r->next = next;
    return r;
}

// A facet list of its own: a facet to cut and a tail, so the pieces can be walked and freed.
struct OneFacet {
    TRI_FACET facet;
    OneFacet(Vec3 c0, Vec3 c1, Vec3 c2, const std::vector<Vec3>& cuts) {
        facet.Corner0 = c0, facet.Corner1 = c1, facet.Corner2 = c2;
        ComputePlane(facet);
        for (const Vec3& p : cuts) facet.Segments = Record({p.x, p.y, p.z, 0.0f}, facet.Segments);
    }
    ~OneFacet() { Free_Facet_List(facet.Next); }
    std::vector<TRI_FACET*> Pieces() const {
        std::vector<TRI_FACET*> out;
        for (TRI_FACET* p = facet.Next; p; p = p->Next) out.push_back(p);
        return out;
    }
};

double Area(const TRI_FACET& f) {
    const Vec3 x = Cross(f.Corner1 - f.Corner0, f.Corner2 - f.Corner0);
    return 0.5 * std::sqrt(double(Dot(x, x)));
}

std::size_t Count(const VEC_LIST* r) {
    std::size_t n = 0;
    for (; r; r = r->next) ++n;
    return n;
}

BOUNDARY_LOOP Line(Vec3 from, Vec3 to, int refinements, Vec3 normal = {0, 0, 1}) {
    BOUNDARY_LOOP loop;
    loop.Points = {{from.x, from.y, from.z, normal.x, normal.y, normal.z},
                   {to.x, to.y, to.z, normal.x, normal.y, normal.z}};
    for (int i = 0; i < refinements; ++i) EXPECT_TRUE(loop.Refine().ok);
    return loop;
}

TEST(IntersectFacet, RibbonCrossingATriangleGivesTheChord) {
    TRI_FACET f, cutter;
    f.Corner0 = {0, 0, 0}, f.Corner1 = {4, 0, 0}, f.Corner2 = {0, 4, 0};
    ComputePlane(f);
    // A wall x = 1 standing on the plane.
    cutter.Corner0 = {1, -10, -10}, cutter.Corner1 = {1, 30, -10}, cutter.Corner2 = {1, -10, 30};
    ComputePlane(cutter);
    ASSERT_TRUE(IntersectFacet(f, cutter));
    ASSERT_EQ(Count(f.Segments), 2u);
    const float* a = f.Segments->values;
    const float* b = f.Segments->next->values;
    EXPECT_FLOAT_EQ(a[0], 1.0f);
    EXPECT_FLOAT_EQ(b[0], 1.0f);
    EXPECT_FLOAT_EQ(std::fabs(a[1] - b[1]), 3.0f);
    // A wall that stops short of the triangle meets nothing.
    cutter.Corner0 = {1, -5, 10}, cutter.Corner1 = {1, -10, 10}, cutter.Corner2 = {1, -10, -10};
    ComputePlane(cutter);
    EXPECT_FALSE(IntersectFacet(f, cutter));
    EXPECT_EQ(Count(f.Segments), 2u);
}

TEST(BuildCutPolygons, ThroughACornerAndOutTheOppositeEdgeMakesTwoTriangles) {
    OneFacet one({0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {{1, 1, 0}, {0, 0, 0}, {0.5f, 0.5f, 0}, {1, 1, 0}});
    BuildCutPolygons(one.facet);
    // Each side: a corner and the three cut points, the midpoint collinear.
    ASSERT_EQ(Count(one.facet.Segments), 4u);
    ASSERT_EQ(Count(one.facet.Cut_Path), 4u);
    const std::size_t made = TriangulateCut(one.facet);
    EXPECT_EQ(made, 2u);
    EXPECT_TRUE(Split_Fits(one.facet, made));
    for (TRI_FACET* p : one.Pieces()) EXPECT_NEAR(Area(*p), 1.0, 1e-6);
}

TEST(BuildCutPolygons, ACutInAndOutOfOneEdgeLeavesANotch) {
    OneFacet one({0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {{1, 0, 0}, {2, 0.5f, 0}, {3, 0, 0}});
    BuildCutPolygons(one.facet);
    ASSERT_EQ(Count(one.facet.Segments), 6u);  // the facet less the notch
    ASSERT_EQ(Count(one.facet.Cut_Path), 3u);  // the notch
    const float* n = one.facet.Cut_Path->values;
    EXPECT_EQ(n[0], 3.0f);
    const std::size_t made = TriangulateCut(one.facet);
    EXPECT_TRUE(Split_Fits(one.facet, made));
    double notch = 0.0, rest = 0.0;
    for (TRI_FACET* p : one.Pieces()) {
        const bool inNotch = std::max({p->Corner0.y, p->Corner1.y, p->Corner2.y}) <= 0.5f &&
                             std::min({p->Corner0.x, p->Corner1.x, p->Corner2.x}) >= 1.0f &&
                             std::max({p->Corner0.x, p->Corner1.x, p->Corner2.x}) <= 3.0f;
        (inNotch ? notch : rest) += Area(*p);
    }
    EXPECT_NEAR(notch, 0.5, 1e-6);
    EXPECT_NEAR(rest, 7.5, 1e-6);
}

TEST(BuildCutPolygons, CollapsedOrOneCornerCutsLeaveTheFacetWhole) {
    OneFacet same({0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}});
    BuildCutPolygons(same.facet);
    EXPECT_EQ(same.facet.Segments, nullptr);
    OneFacet corner({0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {{0, 0, 0}, {0.0001f, 0.0001f, 0}});
    BuildCutPolygons(corner.facet);
    EXPECT_EQ(corner.facet.Segments, nullptr);
    EXPECT_EQ(corner.facet.Cut_Path, nullptr);
}

TEST(WeldDirections, RecordsWithin1e5ShareTheirNormalisedDirection) {
    TRI_FACET sentinel;
    sentinel.Segments = Record(
        {0, 0, 0, 1, 0, 0},
        Record({5e-6f, -5e-6f, 0, 0, 1, 0}, Record({1, 1, 1, 0, 0, 2}, Record({2e-5f, 0, 0, 0, 3, 0}))));
    WeldDirections(sentinel);
    const VEC_LIST* r = sentinel.Segments;
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(r->values[3], h, 1e-6);
    EXPECT_NEAR(r->values[4], h, 1e-6);
    r = r->next;
    EXPECT_NEAR(r->values[3], h, 1e-6);
    EXPECT_NEAR(r->values[4], h, 1e-6);
    r = r->next;
    EXPECT_NEAR(r->values[5], 1.0f, 1e-6);
    r = r->next;  // 2e-5 away: a place of its own
    EXPECT_NEAR(r->values[4], 1.0f, 1e-6);
    EXPECT_EQ(r->values[0], 2e-5f);

    // Clusters of near points in shuffled order: the same directions as the tree walked from the root.
    Free_Vec_List(sentinel.Segments);
    unsigned seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    TRI_FACET other;
    for (int i = 0; i < 3000; ++i) {
        const float c = float(next() % 40), jx = float(next() % 5) * 4e-6f, jy = float(next() % 5) * 4e-6f;
        const float v[6] = {c + jx, c * 0.5f - jy, 1.0f + jx, float(next() % 7), float(next() % 3), 1.0f};
        sentinel.Segments = Record({v[0], v[1], v[2], v[3], v[4], v[5]}, sentinel.Segments);
        other.Segments = Record({v[0], v[1], v[2], v[3], v[4], v[5]}, other.Segments);
    }
    WeldDirections(sentinel, true);
    WeldDirections(other, false);
    for (const VEC_LIST *a = sentinel.Segments, *b = other.Segments; a; a = a->next, b = b->next)
        ASSERT_EQ(0, std::memcmp(a->values, b->values, 6 * sizeof(float)));

    // Sorted input grows the tree into one chain; 100,000 deep must not matter.
    Free_Vec_List(sentinel.Segments);
    for (int i = 0; i < 100000; ++i) sentinel.Segments = Record({float(i), 0, 0, 0, 0, 2}, sentinel.Segments);
    WeldDirections(sentinel);
    for (const VEC_LIST* q = sentinel.Segments; q; q = q->next) ASSERT_EQ(q->values[5], 1.0f);
}

TEST(SortByKey, AscendingAndStableWithoutRecursion) {
    VEC_LIST* list = nullptr;
    const float keys[] = {2, 1, 2, 1, 0};
    for (int i = 4; i >= 0; --i) {
        list = Record({keys[i]}, list);
        list->tag = i;
    }
    SortByKey(list, 0);
    std::vector<int> order;
    for (const VEC_LIST* r = list; r; r = r->next) order.push_back(r->tag);
    EXPECT_EQ(order, (std::vector<int>{4, 1, 3, 0, 2}));
    Free_Vec_List(list);

    // A NaN key goes with the pivot's equals, as the partition puts it.
    list = Record({1}, Record({NAN}, Record({0})));
    SortByKey(list, 0);
    EXPECT_EQ(list->values[0], 0.0f);
    EXPECT_EQ(list->next->values[0], 1.0f);
    EXPECT_TRUE(std::isnan(list->next->next->values[0]));
    Free_Vec_List(list);

    for (int i = 300000; i > 0; --i) list = Record({float(i)}, list);  // sorted already
    SortByKey(list, 0);
    float last = 0.0f;
    std::size_t n = 0;
    for (const VEC_LIST* r = list; r; r = r->next, ++n) {
        ASSERT_GT(r->values[0], last);
        last = r->values[0];
    }
    EXPECT_EQ(n, 300000u);
    Free_Vec_List(list);
}

TEST(Transfer, SquareCutAcrossSplitsBothTrianglesToBothSides) {
    UniOb square;
    test::Make_Square(square);
    test::Finish_Mesh(square);
    TriOb part1, part2;
    const auto report = Transfer(part1, part2, &square, Line({-1, 0.4f, 0}, {2, 0.4f, 0}, 0));
    EXPECT_EQ(report.cut.split, 2u);
    EXPECT_EQ(report.cut.keptWhole, 0u);
    EXPECT_GT(report.part1, 0u);
    EXPECT_GT(report.part2, 0u);
    EXPECT_NEAR(report.area1, 0.4, 1e-6);  // below the line: the curve winds negatively there
    EXPECT_NEAR(report.area2, 0.6, 1e-6);
    EXPECT_GT(Count(part1.Head.Segments), 0u);
}

void Expect_Grid_Cut(float y, int refinements) {
    UniOb grid;
    test::Make_Grid(grid, 20);
    test::Finish_Mesh(grid);
    TriOb part1, part2;
    const auto report = Transfer(part1, part2, &grid, Line({-1, y, 0}, {21, y, 0}, refinements));
    EXPECT_NEAR(report.area1 + report.area2, 400.0, 400.0 * 1e-5);
    EXPECT_NEAR(report.area2, 20.0 * (20.0 - y), 1e-3);
    EXPECT_EQ(report.cut.keptWhole, 0u);
    for (const TRI_FACET* f = part2.Head.Next; f; f = f->Next) {
        ASSERT_GT((f->Corner0.y + f->Corner1.y + f->Corner2.y) / 3.0f, y);
        ASSERT_GE(std::min({f->Corner0.y, f->Corner1.y, f->Corner2.y}), y - 1e-5f);
    }
    for (const TRI_FACET* f = part1.Head.Next; f; f = f->Next)
        ASSERT_LE(std::max({f->Corner0.y, f->Corner1.y, f->Corner2.y}), y + 1e-5f);
}

TEST(Transfer, GridCutAlongAStraightRefinedRange) {
    {
        SCOPED_TRACE("between rows");
        Expect_Grid_Cut(7.3f, 3);
    }
    {
        SCOPED_TRACE("along a row of edges");
        Expect_Grid_Cut(7.0f, 2);
    }
}

TEST(Transfer, ACurveCrossingAFacetTwiceKeepsTheArea) {
    UniOb tri;
    test::Make_Triangle(tri);
    test::Finish_Mesh(tri);
    BOUNDARY_LOOP vee;
    vee.Points = {{0.1f, -0.5f, 0, 0, 0, 1}, {0.3f, 0.4f, 0, 0, 0, 1}, {0.5f, -0.5f, 0, 0, 0, 1}};
    TriOb part1, part2;
    const auto report = Transfer(part1, part2, &tri, vee);
    EXPECT_EQ(report.cut.cutFacets, 1u);
    EXPECT_NEAR(report.area1 + report.area2, 0.5, 0.5e-4);
}

TEST(Transfer, FilteredCutEqualsThePlainLoopsOnTheBunny) {
    const std::string path = ORVEX_SHARED_DATA_DIR "/mesh_bunny_zipper.stl";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
    UniOb bunny;
    ASSERT_TRUE(Read_STL(bunny, path).ok);
    BOUNDARY_LOOP rim, range;
    DetectBoundary(bunny, rim);
    ASSERT_GT(rim.Point_Count(), 10u);
    range.CopyRange(rim, 0, 20);
    TriOb a1, a2, b1, b2;
    TransferOptions plain;
    plain.cut.spatialFilter = false;
    plain.classify.planarShortcut = false;
    plain.classify.threads = 1;
    const auto fast = Transfer(a1, a2, &bunny, range);
    const auto slow = Transfer(b1, b2, &bunny, range, plain);
    EXPECT_LT(fast.cut.tests, slow.cut.tests / 5);
    EXPECT_EQ(fast.cut.hits, slow.cut.hits);
    EXPECT_EQ(fast.cut.keptWhole, slow.cut.keptWhole);
    std::printf("bunny: %zu facets, %zu split, %zu made, %zu kept whole, %zu not split\n", fast.facets,
                fast.cut.split, fast.cut.made, fast.cut.keptWhole, fast.cut.notSplit);
    auto same = [](const TriOb& x, const TriOb& y) {
        const TRI_FACET *f = x.Head.Next, *g = y.Head.Next;
        for (; f && g; f = f->Next, g = g->Next)
            if (std::memcmp(&f->Normal, &g->Normal, 13 * sizeof(float)) != 0) return false;
        return !f && !g;
    };
    EXPECT_TRUE(same(a1, b1));
    EXPECT_TRUE(same(a2, b2));
    const VEC_LIST *r = a1.Head.Segments, *q = b1.Head.Segments;
    for (; r && q; r = r->next, q = q->next)
        ASSERT_EQ(0, std::memcmp(r->values, q->values, 6 * sizeof(float)));
    EXPECT_TRUE(!r && !q);
    EXPECT_NEAR(fast.area1 + fast.area2, Facet_Area(b1) + Facet_Area(b2), 1e-9);
}

TEST(ClassifyByCurve, PlanarShortcutAgreesWithTheFullSum) {
    // An open circle of 200 points, normals +z, over a 60 x 60 grid: every facet lands as the
    // stretch-by-stretch sum puts it, also those near the gap's line where the sum is near 0.
    UniOb grid;
    test::Make_Grid(grid, 60);
    test::Finish_Mesh(grid);
    BOUNDARY_LOOP circle;
    for (int i = 0; i < 200; ++i) {
        const double t = 2.0 * 3.14159265358979 * i / 200.0;
        circle.Points.push_back({float(30 + 20 * std::cos(t)), float(30 + 20 * std::sin(t)), 0, 0, 0, 1});
    }
    TriOb a1, a2, b1, b2;
    FillFromMeshes(a1, &grid);
    FillFromMeshes(b1, &grid);
    ClassifyReport quick, full;
    ClassifyOptions slow;
    slow.planarShortcut = false;
    ClassifyByCurve(a1, circle, a2, &quick);
    ClassifyByCurve(b1, circle, b2, &full, slow);
    EXPECT_GT(quick.shortcut, quick.full * 10);
    EXPECT_EQ(quick.moved, full.moved);
    const TRI_FACET *f = a2.Head.Next, *g = b2.Head.Next;
    for (; f && g; f = f->Next, g = g->Next)
        ASSERT_EQ(0, std::memcmp(&f->Corner0, &g->Corner0, 9 * sizeof(float)));
    EXPECT_TRUE(!f && !g);
    // Inside the circle the sum is near a whole turn; outside an open curve it is the small angle
    // of the gap, of either sign.
    for (const TRI_FACET* h = a1.Head.Next; h; h = h->Next) {
        const float cx = (h->Corner0.x + h->Corner1.x + h->Corner2.x) / 3 - 30;
        const float cy = (h->Corner0.y + h->Corner1.y + h->Corner2.y) / 3 - 30;
        ASSERT_GT(cx * cx + cy * cy, 19.0f * 19.0f);
    }
}

}  // namespace
}  // namespace orvex
