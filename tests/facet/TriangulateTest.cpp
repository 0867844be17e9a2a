#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "facet/Cut.h"
#include "facet/Triangulate.h"

namespace orvex {
namespace {

using Point2 = std::pair<double, double>;

double Shoelace(const std::vector<Point2>& p) {
    double s = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        s += a.first * b.second - a.second * b.first;
    }
    return 0.5 * s;
}

double Ear_Area(const Ear& e) {
    return 0.5 * ((e.x[1] - e.x[0]) * double(e.y[2] - e.y[0]) - (e.y[1] - e.y[0]) * double(e.x[2] - e.x[0]));
}

std::vector<Ear> Triangulate(const std::vector<Point2>& points, RingReport* report = nullptr,
                             bool grid = true) {
    Poly_2D poly;
    for (std::size_t i = 0; i < points.size(); ++i)
        poly.Append(float(points[i].first), float(points[i].second), int(i));
    UpdateTurns(poly);
    std::vector<Ear> ears;
    Triangulate_Ring(poly, ears, report, grid);
    return ears;
}

// Every triangle counter-clockwise and the areas adding to the ring's.
void Expect_Covered(const std::vector<Point2>& points, const std::vector<Ear>& ears, double relative = 1e-6) {
    double sum = 0.0;
    for (const Ear& e : ears) {
        EXPECT_GT(Ear_Area(e), 0.0);
        sum += Ear_Area(e);
    }
    const double area = Shoelace(points);
    EXPECT_NEAR(sum, area, relative * std::fabs(area));
}

std::vector<Point2> Comb(int teeth) {
    // Base from (0, 0) to (2 teeth, 0), then back along the top, tooth by tooth.
    std::vector<Point2> p{{0.0, 0.0}, {2.0 * teeth, 0.0}};
    for (int t = teeth - 1; t >= 0; --t) {
        const double x = 2.0 * t;
        p.push_back({x + 1.5, 1.0});
        p.push_back({x + 1.5, 10.0});
        p.push_back({x + 0.5, 10.0});
        p.push_back({x + 0.5, 1.0});
    }
    return p;
}

TEST(Poly2D, TurnsConvexityAndDiagonals) {
    Poly_2D poly;
    const std::vector<Point2> L{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    std::vector<VEC_DLINK*> nodes;
    for (const auto& [x, y] : L) nodes.push_back(poly.Append(float(x), float(y)));
    UpdateTurns(poly);
    EXPECT_EQ(VertexCount(poly), 6u);
    EXPECT_FLOAT_EQ(nodes[1]->Coords[2], 2.0f);   // convex corner
    EXPECT_FLOAT_EQ(nodes[3]->Coords[2], -1.0f);  // the reflex corner of the L
    EXPECT_FALSE(IsConvex(poly));
    EXPECT_TRUE(IsDiagonal(poly, nodes[0], nodes[3]));
    EXPECT_TRUE(IsDiagonal(poly, nodes[2], nodes[4]));   // outside, but it crosses no edge
    EXPECT_FALSE(IsDiagonal(poly, nodes[1], nodes[4]));  // crosses the edge (2, 1)-(1, 1)
}

TEST(Triangulate, ConvexPolygonIsAFanAroundTheMostConvexNode) {
    // An irregular convex heptagon: node 3 turns most.
    const std::vector<Point2> p{{0, 0}, {4, -1}, {7, 0}, {9, 3}, {7, 6}, {3, 7}, {0, 4}};
    std::vector<double> turns;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[(i + p.size() - 1) % p.size()];
        const auto& v = p[i];
        const auto& b = p[(i + 1) % p.size()];
        turns.push_back((v.first - a.first) * (b.second - a.second) -
                        (v.second - a.second) * (b.first - a.first));
    }
    const int apex = int(std::max_element(turns.begin(), turns.end()) - turns.begin());
    const auto ears = Triangulate(p);
    ASSERT_EQ(ears.size(), p.size() - 2);
    for (const Ear& e : ears) EXPECT_EQ(e.source[0], apex);
    Expect_Covered(p, ears);
}

TEST(Triangulate, LShapeMakesFourTriangles) {
    const std::vector<Point2> L{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    const auto ears = Triangulate(L);
    EXPECT_EQ(ears.size(), 4u);
    Expect_Covered(L, ears);
}

TEST(Triangulate, DegenerateRingsKeepTheirArea) {
    // Collinear nodes on every side of a square.
    const std::vector<Point2> collinear{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2},
                                        {3, 3}, {2, 3}, {1, 3}, {0, 3}, {0, 2}, {0, 1}};
    // Repeated nodes, as a cut's points that fail to merge give.
    const std::vector<Point2> duplicate{{0, 0}, {0, 0}, {4, 0}, {4, 0}, {4, 4}, {2, 2}, {2, 2}, {0, 4}};
    // Two lobes touching at one point, visited twice.
    const std::vector<Point2> touching{{0, 0}, {2, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}, {0, 2}};
    for (const auto* ring : {&collinear, &duplicate, &touching}) {
        RingReport report;
        const auto ears = Triangulate(*ring, &report);
        Expect_Covered(*ring, ears, 1e-5);
        EXPECT_EQ(report.nodesDropped, 0u);
    }
}

TEST(Triangulate, LongRingsAreCoveredAndTheGridChangesNoEar) {
    const auto comb = Comb(500);  // 2002 nodes
    RingReport combReport;
    const auto fast = Triangulate(comb, &combReport, true);
    EXPECT_EQ(combReport.nodesDropped, 0u) << combReport.collinearDropped << " " << combReport.emptyEars;
    const auto plain = Triangulate(comb, nullptr, false);
    // Clipped teeth leave collinear nodes along the base; they go without a triangle.
    EXPECT_EQ(fast.size() + combReport.collinearDropped, comb.size() - 2);
    ASSERT_EQ(fast.size(), plain.size());
    for (std::size_t i = 0; i < fast.size(); ++i)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(fast[i].source[k], plain[i].source[k]) << i;
    Expect_Covered(comb, fast);

    std::vector<Point2> zigzag;  // 10,000 nodes: a saw along the bottom, a straight top
    for (int i = 0; i < 9998; ++i) zigzag.push_back({double(i), (i % 2) ? 1.0 : 0.0});
    zigzag.push_back({9997.0, 5.0});
    zigzag.push_back({0.0, 5.0});
    RingReport report;
    const auto ears = Triangulate(zigzag, &report);
    EXPECT_EQ(report.nodesDropped, 0u);
    Expect_Covered(zigzag, ears, 1e-5);
}

// A facet in a given plane whose two cut polygons are given counter-clockwise about its normal.
struct PlaneFacet {
    TRI_FACET facet;
    TRI_FACET tail;  // after the pieces, so the list can be walked without running into garbage

    PlaneFacet(Vec3 n, Vec3 c0, Vec3 c1, Vec3 c2, const std::vector<Vec3>& first,
               const std::vector<Vec3>& second) {
        facet.Normal = n;
        facet.Corner0 = c0, facet.Corner1 = c1, facet.Corner2 = c2;
        facet.Offset = Dot(n, c1);
        facet.Next = &tail;
        Fill(facet.Segments, first);
        Fill(facet.Cut_Path, second);
    }
    ~PlaneFacet() {
        while (facet.Next != &tail) {
            TRI_FACET* piece = facet.Next;
            facet.Next = piece->Next;
            delete piece;
        }
        facet.Next = nullptr;
    }
    static void Fill(VEC_LIST*& list, const std::vector<Vec3>& points) {
        for (auto it = points.rbegin(); it != points.rend(); ++it) {
            auto* r = new VEC_LIST(4);
            r->values[0] = it->x, r->values[1] = it->y, r->values[2] = it->z, r->values[3] = 0.0f;
            r->next = list;
            list = r;
        }
    }
};

TEST(TriangulateCut, PiecesLieInThePlaneCounterClockwiseAboutTheNormal) {
    for (float sz : {1.0f, -1.0f}) {
        SCOPED_TRACE(sz);
        const float z = 2.5f;
        // Seen from the normal's side: for -z the same square is listed the other way round.
        std::vector<Vec3> square{{0, 0, z}, {1, 0, z}, {1, 1, z}, {0, 1, z}};
        std::vector<Vec3> tri{{1, 0, z}, {2, 0, z}, {1, 1, z}};
        if (sz < 0) {
            std::reverse(square.begin(), square.end());
            std::reverse(tri.begin(), tri.end());
        }
        const Vec3 n{0, 0, sz};
        PlaneFacet pf(n, {0, 0, z}, sz > 0 ? Vec3{2, 0, z} : Vec3{0, 1, z},
                      sz > 0 ? Vec3{0, 1, z} : Vec3{2, 0, z}, square, tri);
        ASSERT_EQ(TriangulateCut(pf.facet), 3u);
        double area = 0.0;
        for (TRI_FACET* p = pf.facet.Next; p != &pf.tail; p = p->Next) {
            EXPECT_EQ(p->Normal.z, sz);
            EXPECT_FLOAT_EQ(p->Offset, sz * z);
            for (const Vec3& c : {p->Corner0, p->Corner1, p->Corner2}) EXPECT_EQ(c.z, z);
            const Vec3 x = Cross(p->Corner1 - p->Corner0, p->Corner2 - p->Corner0);
            EXPECT_GT(Dot(x, n), 0.0f);
            area += 0.5 * std::fabs(x.z);
        }
        EXPECT_DOUBLE_EQ(area, 1.5);
    }
}

TEST(TriangulateCut, TiltedPlaneAndTriangleRing) {
    // The plane x + y + z = 1, its normal tilted off z: one triangle ring per polygon.
    const float s = 1.0f / std::sqrt(3.0f);
    const Vec3 n{s, s, s}, a{1, 0, 0}, b{0, 1, 0}, c{0, 0, 1}, m{0.5f, 0.5f, 0};
    PlaneFacet pf(n, a, b, c, {a, m, c}, {m, b, c});
    ASSERT_EQ(TriangulateCut(pf.facet), 2u);
    EXPECT_TRUE(Split_Fits(pf.facet, 2));
}

TEST(TriangulateCut, ClockwisePolygonsFailTheCheck) {
    // Listed clockwise about the normal: no ear qualifies, the pieces cannot cover the facet, and
    // the cut keeps such a facet whole.
    PlaneFacet pf({0, 0, 1}, {0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}},
                  {{1, 0, 0}, {1, 1, 0}, {2, 0, 0}});
    const std::size_t made = TriangulateCut(pf.facet);
    EXPECT_FALSE(Split_Fits(pf.facet, made));
}

}  // namespace
}  // namespace orvex
