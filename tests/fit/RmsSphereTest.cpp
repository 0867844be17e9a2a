#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "fit/RmsSphere.h"
#include "pointset/PointList.h"
#include "tests/support/ScratchFolder.h"

namespace orvex {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Points on the cap of half-angle `degrees` of the sphere (centre, radius), around a tilted axis,
// each moved along its radius by normal noise of deviation `sigma`.
std::vector<SpherePoint> Cap(std::array<double, 3> centre, double radius, double degrees, std::size_t n,
                             double sigma = 0, unsigned seed = 7) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    const double axis[3] = {1.0 / 3, 2.0 / 3, 2.0 / 3};
    const double e1[3] = {2.0 / 3, 1.0 / 3, -2.0 / 3};  // axis x e1 is e2, all orthonormal
    const double e2[3] = {axis[1] * e1[2] - axis[2] * e1[1], axis[2] * e1[0] - axis[0] * e1[2],
                          axis[0] * e1[1] - axis[1] * e1[0]};
    const double lowest = std::cos(degrees * kPi / 180.0);
    std::vector<SpherePoint> points;
    for (std::size_t i = 0; i < n; ++i) {
        const double z = 1.0 - unit(random) * (1.0 - lowest);
        const double phi = 2 * kPi * unit(random);
        const double s = std::sqrt(std::max(0.0, 1 - z * z));
        const double r = radius + (sigma > 0 ? noise(random) : 0.0);
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + r * (z * axis[k] + s * std::cos(phi) * e1[k] + s * std::sin(phi) * e2[k]);
        points.push_back({p[0], p[1], p[2]});
    }
    return points;
}

void Fill(RMSSPHERE& sphere, const std::vector<SpherePoint>& points) {
    ASSERT_TRUE(sphere.SetPoints(std::uint32_t(points.size())));
    std::copy(points.begin(), points.end(), sphere.points.begin());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

class SphereFit : public ::testing::Test {
protected:
    SphereFit() { sphere.tracePath = folder.File("test.txt"); }
    test::ScratchFolder folder{"sphere"};
    RMSSPHERE sphere;
};

TEST_F(SphereFit, PointsOnASphereGiveItsCentreAndRadius) {
    Fill(sphere, Cap({1, 2, 3}, 5, 180, 500));
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.a, 1, 1e-12);
    EXPECT_NEAR(sphere.b, 2, 1e-12);
    EXPECT_NEAR(sphere.c, 3, 1e-12);
    EXPECT_NEAR(sphere.R, 5, 1e-12);
    for (double e : {sphere.maxError, sphere.minError, sphere.meanAbsError, sphere.rmsError})
        EXPECT_NEAR(e, 0, 1e-13);
    EXPECT_TRUE(sphere.note.empty());
    EXPECT_TRUE(sphere.traceStatus.ok);
    // The start is already the optimum: one sweep that changes nothing ends the fit.
    EXPECT_LT(sphere.iterations, 20);
}

// Caps from a hemisphere down to 15 degrees at radii across five orders of magnitude: the
// one-parameter steps alone stopped far short on the small caps.
class CapFit : public SphereFit, public ::testing::WithParamInterface<std::tuple<double, double>> {};

TEST_P(CapFit, NoiseFreeCapsGiveTheSphere) {
    const auto [degrees, radius] = GetParam();
    const std::array<double, 3> centre = {3 * radius, -2 * radius, 0.5 * radius + 7};
    Fill(sphere, Cap(centre, radius, degrees, 400));
    ASSERT_TRUE(sphere.Fit());
    ASSERT_TRUE(std::isfinite(sphere.R) && std::isfinite(sphere.a) && std::isfinite(sphere.b) &&
                std::isfinite(sphere.c));
    EXPECT_GT(sphere.R, 0);
    EXPECT_NEAR(sphere.R / radius, 1, 1e-6);
    EXPECT_NEAR(std::hypot(sphere.a - centre[0], sphere.b - centre[1], sphere.c - centre[2]) / radius, 0,
                1e-6);
    EXPECT_LT(std::fabs(sphere.rmsError), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Caps, CapFit,
                         ::testing::Combine(::testing::Values(90.0, 45.0, 30.0, 15.0),
                                            ::testing::Values(0.05, 1.0, 50.0, 5000.0)));

// The algebraic least-squares solution written out independently: the normal equations of
// [2x 2y 2z 1] (a b c k) = x² + y² + z² on the raw coordinates, eliminated in long double.
std::array<double, 4> NormalEquationSphere(const std::vector<SpherePoint>& points) {
    long double M[4][5] = {};
    for (const SpherePoint& p : points) {
        const long double row[4] = {2.0L * p.x, 2.0L * p.y, 2.0L * p.z, 1.0L};
        const long double rhs = (long double)p.x * p.x + (long double)p.y * p.y + (long double)p.z * p.z;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) M[i][j] += row[i] * row[j];
            M[i][4] += row[i] * rhs;
        }
    }
    for (int col = 0; col < 4; ++col)
        for (int r = col + 1; r < 4; ++r) {
            const long double f = M[r][col] / M[col][col];
            for (int k = col; k < 5; ++k) M[r][k] -= f * M[col][k];
        }
    long double x[4];
    for (int r = 3; r >= 0; --r) {
        long double v = M[r][4];
        for (int k = r + 1; k < 4; ++k) v -= M[r][k] * x[k];
        x[r] = v / M[r][r];
    }
    return {double(x[0]), double(x[1]), double(x[2]),
            double(std::sqrt(x[3] + x[0] * x[0] + x[1] * x[1] + x[2] * x[2]))};
}

TEST_F(SphereFit, NoisyCapMatchesTheNormalEquations) {
    // 1000 noisy points on a 45 degree cap of radius 500 once drove the radius negative.
    const auto points = Cap({10, 20, 30}, 500, 45, 1000, 5.0, 11);
    Fill(sphere, points);
    ASSERT_TRUE(sphere.Fit());
    const auto expected = NormalEquationSphere(points);
    EXPECT_NEAR(sphere.a, expected[0], 1e-7 * 500);
    EXPECT_NEAR(sphere.b, expected[1], 1e-7 * 500);
    EXPECT_NEAR(sphere.c, expected[2], 1e-7 * 500);
    EXPECT_NEAR(sphere.R, expected[3], 1e-7 * 500);
    EXPECT_GT(sphere.R, 400);
    EXPECT_LT(sphere.iterations, 100);  // no run to the step limit
    EXPECT_GT(sphere.maxError, 0);
    EXPECT_LT(sphere.minError, 0);
    EXPECT_LE(sphere.meanAbsError, sphere.rmsError);
}

TEST_F(SphereFit, PointsInAPlaneGiveTheirCircleInThatPlane) {
    Fill(sphere, {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.a, 0, 1e-15);
    EXPECT_NEAR(sphere.b, 0, 1e-15);
    EXPECT_EQ(sphere.c, 0);
    EXPECT_NEAR(sphere.R, 1, 1e-15);
    EXPECT_NE(sphere.note.find("plane"), std::string::npos);

    // Three points, the fewest that fit: their circumcircle.
    Fill(sphere, {{0, 0, 5}, {4, 0, 5}, {0, 3, 5}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.a, 2, 1e-12);
    EXPECT_NEAR(sphere.b, 1.5, 1e-12);
    EXPECT_NEAR(sphere.c, 5, 1e-12);
    EXPECT_NEAR(sphere.R, 2.5, 1e-12);
    EXPECT_NEAR(sphere.rmsError, 0, 1e-12);
}

TEST_F(SphereFit, PointsOnALineGiveAFiniteSphereAndANote) {
    Fill(sphere, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.a, 1.5, 1e-12);
    EXPECT_NEAR(sphere.b, 1.5, 1e-12);
    EXPECT_NEAR(sphere.c, 1.5, 1e-12);
    EXPECT_TRUE(std::isfinite(sphere.R));
    EXPECT_NE(sphere.note.find("line"), std::string::npos);
}

TEST_F(SphereFit, CoincidentPointsGiveRadiusZero) {
    Fill(sphere, {{0.1, 0.2, 0.3}, {0.1, 0.2, 0.3}, {0.1, 0.2, 0.3}, {0.1, 0.2, 0.3}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_EQ(sphere.a, 0.1);
    EXPECT_EQ(sphere.b, 0.2);
    EXPECT_EQ(sphere.c, 0.3);
    EXPECT_EQ(sphere.R, 0);
    for (double e : {sphere.maxError, sphere.minError, sphere.meanAbsError, sphere.rmsError}) EXPECT_EQ(e, 0);
    EXPECT_FALSE(sphere.note.empty());
    EXPECT_EQ(Split(Sphere_Detail_Line(sphere), ',').size(), 10u);
}

TEST_F(SphereFit, CoordinatesAtTheEndsOfTheRangeGiveFiniteResults) {
    const double huge = 1.7e308;
    Fill(sphere, {{huge, 0, 0}, {-huge, 0, 0}, {0, huge, 0}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_DOUBLE_EQ(sphere.R, huge);
    EXPECT_NEAR(sphere.b / huge, 0, 1e-15);
    for (double v :
         {sphere.a, sphere.c, sphere.maxError, sphere.minError, sphere.rmsError, sphere.gradientSum})
        EXPECT_TRUE(std::isfinite(v));

    // Coordinates whose plain sum overflows: the sphere about (h / 4, 0, 0) of radius 5h / 4.
    const double h = 1e308;
    Fill(sphere, {{h, h, 0}, {h, -h, 0}, {h, 0, h}, {h, 0, -h}, {-h, 0, 0}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.a / h, 0.25, 1e-12) << Sphere_Detail_Line(sphere);
    EXPECT_NEAR(sphere.R / h, 1.25, 1e-12);

    Fill(sphere, Cap({0, 0, 0}, 1e-30, 180, 50));
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.R / 1e-30, 1, 1e-9);

    // A small ball far from the origin keeps its digits.
    Fill(sphere, Cap({1e7, -1e7, 3e6}, 0.5, 60, 200));
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.R, 0.5, 1e-7);
    EXPECT_NEAR(sphere.a, 1e7, 1e-7);

    Fill(sphere, {{NAN, 0, 0}, {0, 0, 0}, {1, 1, 1}, {2, 0, 1}});
    ASSERT_TRUE(sphere.Fit());
    EXPECT_EQ(sphere.R, 0);
    EXPECT_FALSE(sphere.note.empty());
}

TEST_F(SphereFit, TwoPointsFitNothingAndWriteNoTrace) {
    Fill(sphere, Cap({0, 0, 0}, 2, 180, 50));
    ASSERT_TRUE(sphere.Fit());
    std::filesystem::remove(sphere.tracePath);
    const double radius = sphere.R;

    Fill(sphere, {{0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(sphere.R, 0);  // new points reset the results
    EXPECT_FALSE(sphere.Fit());
    EXPECT_EQ(sphere.R, 0);
    EXPECT_EQ(sphere.iterations, 0);
    EXPECT_FALSE(std::filesystem::exists(sphere.tracePath));
    EXPECT_NE(radius, 0);
}

TEST_F(SphereFit, AnEmptyPointSetRefitsTheHeldPoints) {
    POINT_LIST set;
    for (const SpherePoint& p : Cap({4, 5, 6}, 3, 180, 100)) {
        VEC_LIST* node = set.NewPoint(3);
        node->values[0] = float(p.x);
        node->values[1] = float(p.y);
        node->values[2] = float(p.z);
        set.InsertFront(node);
    }
    ASSERT_TRUE(Load_Points(sphere, set));
    ASSERT_EQ(sphere.count, 100u);
    // List order: the newest point first.
    EXPECT_EQ(sphere.points[0].x, double(set.points.next->values[0]));
    ASSERT_TRUE(sphere.Fit());
    EXPECT_NEAR(sphere.R, 3, 1e-5);
    const std::string first = Sphere_Detail_Line(sphere);

    set.Clear();
    ASSERT_TRUE(Load_Points(sphere, set));
    EXPECT_EQ(sphere.count, 100u);
    EXPECT_NEAR(sphere.R, 3, 1e-5);  // results kept until the refit
    ASSERT_TRUE(sphere.Fit());
    EXPECT_EQ(Sphere_Detail_Line(sphere), first);
}

TEST_F(SphereFit, DetailLineHoldsTenGeneralNumbers) {
    sphere.a = 1;
    sphere.b = -2.5;
    sphere.c = 0.1;
    sphere.R = 123456.789;
    sphere.maxError = 0.0001234;
    sphere.minError = -1e-5;
    sphere.meanAbsError = 1.0 / 3;
    sphere.rmsError = 0;
    sphere.gradientSum = 1e20;
    sphere.iterations = 7;
    EXPECT_EQ(Sphere_Detail_Line(sphere), "1,-2.5,0.1,123456.789,0.0001234,-1E-5,0.333333333333333,0,1E20,7");

    Fill(sphere, Cap({1, 2, 3}, 5, 180, 100));
    ASSERT_TRUE(sphere.Fit());
    const auto values = Split(Sphere_Detail_Line(sphere), ',');
    ASSERT_EQ(values.size(), 10u);
    EXPECT_EQ(values[9], std::to_string(int(sphere.iterations)));
    EXPECT_EQ(values[3], "5");
}

TEST_F(SphereFit, LogHoldsEightLinesWithBig5PrefixesInAnyLocale) {
    sphere.a = 1.5;
    sphere.b = -2;
    sphere.c = 1234567.25;
    sphere.R = 10;
    sphere.maxError = 0.0123456789;
    sphere.minError = -0.5;
    sphere.meanAbsError = 0.25;
    sphere.rmsError = 0.125;
    sphere.gradientSum = 3e-7;
    const std::string expected =
        "RMS-sphere report:\n"
        "\xA4\xA4\xA4\xDF\xC2\x49"
        "Center (X,Y,Z)=(1.500000,-2.000000,1234567.250000)\n"
        "\xA5\x62\xAE\x7C"
        "Radius (R)=(10.000000)\n"
        "\xB3\xCC\xA4\x6A\xA5\x62\xAE\x7C\xBB\x7E\xAE\x74"
        "MAX Radius Upper error (normalized)= 0.012346\n"
        "\xB3\xCC\xA4\x70\xA5\x62\xAE\x7C\xBB\x7E\xAE\x74"
        "MIN Radius Lower error (normalized)= -0.500000\n"
        "\xA5\xAD\xA7\xA1\xBB\x7E\xAE\x74"
        "Average Radius error (normalized)= 0.250000\n"
        "\xBB\x7E\xAE\x74\xC5\xDC\xB2\xA7"
        "Radius Variance(normalized)= 0.125000\n"
        "Residual error. fabs(X)+fabs(Y)+fabs(Z)+fabs(R)= 0.000000\n";
    const std::string path = folder.File("RMS-Sphere.log");
    ASSERT_TRUE(Write_Sphere_Log(sphere, path).ok);
    EXPECT_EQ(ReadAll(path), expected);

    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = true;
            break;
        }
    if (comma) {
        EXPECT_EQ(Sphere_Log_Text(sphere), expected);
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST_F(SphereFit, TraceHasOneLinePerSweepInItsFormat) {
    Fill(sphere, Cap({10, 20, 30}, 500, 45, 1000, 5.0, 3));
    ASSERT_TRUE(sphere.Fit());
    const auto lines = Split(ReadAll(sphere.tracePath), '\n');
    ASSERT_FALSE(lines.empty());
    const std::regex format(R"(\d+\.\d{10}       \d+\.\d{10})");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, format)) << line;
    char last[200];
    std::snprintf(last, sizeof last, "%.10f", sphere.gradientSum);
    EXPECT_EQ(lines.back().substr(lines.back().rfind(' ') + 1), last);
}

TEST_F(SphereFit, AnUnwritableFolderIsReportedAndTheFitStillRuns) {
    sphere.tracePath = folder.File("missing/test.txt");
    Fill(sphere, Cap({1, 2, 3}, 5, 180, 100));
    ASSERT_TRUE(sphere.Fit());
    EXPECT_FALSE(sphere.traceStatus.ok);
    EXPECT_FALSE(sphere.traceStatus.message.empty());
    EXPECT_NEAR(sphere.R, 5, 1e-12);
    const Status log = Write_Sphere_Log(sphere, folder.File("missing/RMS-Sphere.log"));
    EXPECT_FALSE(log.ok);
    EXPECT_FALSE(log.message.empty());
    EXPECT_FALSE(std::filesystem::exists(folder.File("missing")));
}

TEST_F(SphereFit, GeometricRefinementReachesTheGeometricOptimum) {
    const auto points = Cap({-40, 25, 100}, 500, 30, 20000, 5.0, 5);
    Fill(sphere, points);
    ASSERT_TRUE(sphere.Fit());
    const double algebraic = sphere.R;
    const int steps = Refine_Geometric(sphere);
    EXPECT_GT(steps, 0);
    EXPECT_LT(steps, 20);
    // At the optimum of Σ (|p − centre| − R)² the residuals sum to zero, alone and along the
    // unit directions from the centre.
    double sum = 0, along[3] = {0, 0, 0}, cost = 0;
    for (const SpherePoint& p : points) {
        const double d = std::hypot(p.x - sphere.a, p.y - sphere.b, p.z - sphere.c);
        const double r = d - sphere.R;
        sum += r;
        along[0] += r * (p.x - sphere.a) / d;
        along[1] += r * (p.y - sphere.b) / d;
        along[2] += r * (p.z - sphere.c) / d;
        cost += r * r;
    }
    const double scale = std::sqrt(cost * double(points.size()));
    EXPECT_LT(std::fabs(sum) / scale, 1e-9);
    for (double v : along) EXPECT_LT(std::fabs(v) / scale, 1e-9);
    EXPECT_NEAR(sphere.R, 500, 0.05 * 500);
    EXPECT_GT(std::fabs(sphere.R - algebraic), 1.0);  // the algebraic radius is biased small on a cap
    EXPECT_NEAR(sphere.rmsError * sphere.R, 5.0, 0.2);

    // A noisy circle in a plane: the refinement moves the centre within the plane only.
    std::mt19937 random(9);
    std::normal_distribution<double> noise(0, 0.01);
    std::vector<SpherePoint> circle;
    for (int i = 0; i < 200; ++i)
        circle.push_back(
            {(1 + noise(random)) * std::cos(i * 0.0314), (1 + noise(random)) * std::sin(i * 0.0314), 5});
    Fill(sphere, circle);
    ASSERT_TRUE(sphere.Fit());
    const double before[2] = {sphere.a, sphere.b};
    EXPECT_GT(Refine_Geometric(sphere), 0);
    EXPECT_EQ(sphere.c, 5);
    EXPECT_NE(sphere.a, before[0]);
    EXPECT_NE(sphere.b, before[1]);
    EXPECT_NEAR(sphere.R, 1, 0.01);

    // Noise-free points stay where they are.
    Fill(sphere, Cap({1, 2, 3}, 5, 30, 300));
    ASSERT_TRUE(sphere.Fit());
    Refine_Geometric(sphere);
    EXPECT_NEAR(sphere.R, 5, 1e-9);
    EXPECT_NEAR(sphere.a, 1, 1e-9);
}

}  // namespace
}  // namespace orvex
