// The camera: standard views, the track-bar camera, projection numbers, the CPU projection of a
// scene point and the frame-rate text.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "render/Camera.h"

using namespace orvex;

namespace {
constexpr float kTol = 1e-6f;
constexpr double kDeg = std::numbers::pi / 180.0;

Matrix4 View(int code) {
    Matrix4 M;
    M.fill(7.0f);
    EXPECT_TRUE(Standard_View(M, code));
    return M;
}

void Expect_Vec(const Vec3& a, const Vec3& b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void Expect_Matrix(const Matrix4& A, const Matrix4& B, float tol) {
    for (int e = 0; e < 16; ++e) EXPECT_NEAR(A[e], B[e], tol) << "element " << e;
}

// A view is a pure rotation: orthonormal right-handed axes, no translation, last row/column fixed.
void Expect_Rotation(const Matrix4& M) {
    const Vec3 r = View_Right(M), u = View_Up(M), t = View_Toward(M);
    EXPECT_NEAR(Dot(r, r), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(u, u), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(t, t), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(r, u), 0.0f, 1e-5f);
    EXPECT_NEAR(Dot(r, t), 0.0f, 1e-5f);
    Expect_Vec(Cross(r, u), t, 1e-5f);
    EXPECT_EQ(M[3], 0.0f);
    EXPECT_EQ(M[7], 0.0f);
    EXPECT_EQ(M[11], 0.0f);
    EXPECT_EQ(M[12], 0.0f);
    EXPECT_EQ(M[13], 0.0f);
    EXPECT_EQ(M[14], 0.0f);
    EXPECT_EQ(M[15], 1.0f);
}
}  // namespace

TEST(StandardViews, AxisViewsShowTheirSide) {
    struct Case {
        int code;
        Vec3 toward, up;
    };
    const Case cases[] = {
        {kViewTop, {0, 0, 1}, {0, 1, 0}},    {kViewBottom, {0, 0, -1}, {0, -1, 0}},
        {kViewLeft, {-1, 0, 0}, {0, 0, 1}},  {kViewRight, {1, 0, 0}, {0, 0, 1}},
        {kViewFront, {0, -1, 0}, {0, 0, 1}}, {kViewBack, {0, 1, 0}, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Matrix4 M = View(c.code);
        Expect_Rotation(M);
        Expect_Vec(View_Toward(M), c.toward, 0.0f);
        Expect_Vec(View_Up(M), c.up, 0.0f);
    }
}

TEST(StandardViews, IsoViewsLookDownTheDiagonals) {
    const float k = 1.0f / std::sqrt(3.0f);
    struct Case {
        int code;
        Vec3 toward;
    };
    const Case cases[] = {{kViewIsoEastNorth, {k, k, k}},
                          {kViewIsoWestNorth, {-k, k, k}},
                          {kViewIsoWestSouth, {-k, -k, k}},
                          {kViewIsoEastSouth, {k, -k, k}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Matrix4 M = View(c.code);
        Expect_Rotation(M);
        Expect_Vec(View_Toward(M), c.toward, 1e-6f);
        // Scene z stays upright on the screen.
        EXPECT_NEAR(View_Up(M).z, 0.8164966f, 1e-6f);
        EXPECT_NEAR(View_Right(M).z, 0.0f, 1e-6f);
    }
}

TEST(StandardViews, TopRestoresIdentityAfterAnyRotation) {
    ViewState view;
    Camera_From_Trackbars(view, 1000, 123, -40);
    view.Model_Matrix[12] = 15.0f;
    ASSERT_TRUE(Standard_View(view.Model_Matrix, kViewTop));
    Matrix4 I;
    Mat4_Identity(I);
    EXPECT_EQ(view.Model_Matrix, I);
}

TEST(StandardViews, NumberedViewsOfKeysAndInset) {
    const int codes[7] = {0, kViewTop, kViewFront, kViewLeft, kViewBottom, kViewBack, kViewRight};
    for (int n = 1; n <= 6; ++n) {
        Matrix4 M;
        Numbered_View(M, n);
        EXPECT_EQ(M, View(codes[n])) << "view number " << n;
    }
    Matrix4 I;
    Mat4_Identity(I);
    for (int n : {0, 7, -1, 705}) {
        Matrix4 M = View(kViewBack);
        Numbered_View(M, n);
        EXPECT_EQ(M, I) << "view number " << n;
    }
}

TEST(StandardViews, UnknownCodeLeavesMatrix) {
    Matrix4 M = View(kViewIsoEastNorth);
    const Matrix4 before = M;
    EXPECT_FALSE(Standard_View(M, 700));
    EXPECT_FALSE(Standard_View(M, 711));
    EXPECT_FALSE(Standard_View(M, 0));
    EXPECT_EQ(M, before);
}

TEST(TrackbarCamera, ZeroZeroIsTheRightView) {
    ViewState view;
    Camera_From_Trackbars(view, 1000, 0, 0);
    EXPECT_EQ(view.Model_Matrix, View(kViewRight));
    EXPECT_EQ(view.Camera_Distance, 1000.0f);
}

TEST(TrackbarCamera, NinetyZeroIsTheFrontView) {
    ViewState view;
    Camera_From_Trackbars(view, 2500, 90, 0);
    Expect_Matrix(view.Model_Matrix, View(kViewFront), kTol);
    EXPECT_EQ(view.Camera_Distance, 2500.0f);
}

TEST(TrackbarCamera, AzimuthAndElevationGiveToward) {
    for (int theta : {0, 30, 90, 135, 200, 360})
        for (int phi : {-90, -45, 0, 20, 90}) {
            SCOPED_TRACE(testing::Message() << "theta " << theta << " phi " << phi);
            ViewState view;
            Camera_From_Trackbars(view, 1000, theta, phi);
            Expect_Rotation(view.Model_Matrix);
            const double t = theta * kDeg, p = phi * kDeg;
            Expect_Vec(
                View_Toward(view.Model_Matrix),
                {float(std::cos(p) * std::cos(t)), float(-std::cos(p) * std::sin(t)), float(std::sin(p))},
                1e-6f);
            // Scene z never points down the screen.
            EXPECT_GE(View_Up(view.Model_Matrix).z, -1e-6f);
        }
}

TEST(TrackbarCamera, DropsTranslationKeepsZoom) {
    ViewState view;
    view.Model_Matrix[12] = 5, view.Model_Matrix[13] = -3, view.Model_Matrix[14] = 8;
    view.Zoom_Scale = 2.5f;
    Camera_From_Trackbars(view, 700, 45, 30);
    EXPECT_EQ(view.Model_Matrix[12], 0.0f);
    EXPECT_EQ(view.Model_Matrix[13], 0.0f);
    EXPECT_EQ(view.Model_Matrix[14], 0.0f);
    EXPECT_EQ(view.Zoom_Scale, 2.5f);
}

TEST(ViewVector, TowardOverZoom) {
    ViewState view;
    Standard_View(view.Model_Matrix, kViewFront);
    view.Zoom_Scale = 4.0f;
    Expect_Vec(View_Vector(view), {0, -0.25f, 0}, 0.0f);
}

TEST(ViewVector, PivotIsTheBoundsCentreOrOrigin) {
    ViewState view;
    Expect_Vec(Scene_Pivot(view, true), {0, 0, 0}, 0.0f);  // nothing loaded yet
    view.WidenSceneBounds({0, -2, 4}, {10, 2, 8});
    Expect_Vec(Scene_Pivot(view, true), {5, 0, 6}, 0.0f);
    Expect_Vec(Scene_Pivot(view, false), {0, 0, 0}, 0.0f);
}

TEST(Projection, PerspectiveFrustumFollowsTheArea) {
    const ProjectionNumbers p = Projection_Numbers(640, 480, 1, 0.5f);
    EXPECT_TRUE(p.perspective);
    EXPECT_DOUBLE_EQ(p.left, -3.2);
    EXPECT_DOUBLE_EQ(p.right, 3.2);
    EXPECT_DOUBLE_EQ(p.bottom, -2.4);
    EXPECT_DOUBLE_EQ(p.top, 2.4);
    EXPECT_EQ(p.zNear, 10.0);
    EXPECT_EQ(p.zFar, 100000.0);
    // The narrowest and widest ratios of the Inspector.
    EXPECT_NEAR(Projection_Numbers(1000, 500, 1, 0.05f).right, 0.5, 1e-6);
    EXPECT_NEAR(Projection_Numbers(1000, 500, 1, 1.0f).top, 5.0, 1e-6);
}

TEST(Projection, ParallelIsOnePixelPerUnit) {
    const ProjectionNumbers p = Projection_Numbers(641, 481, 0, 0.5f);
    EXPECT_FALSE(p.perspective);
    EXPECT_EQ(p.left, -320.0);
    EXPECT_EQ(p.right, 320.0);
    EXPECT_EQ(p.bottom, -240.0);
    EXPECT_EQ(p.top, 240.0);
    EXPECT_EQ(p.zNear, -10000.0);
    EXPECT_EQ(p.zFar, 10000.0);
    EXPECT_EQ(Projection_Numbers(641, 481, 0, 0.05f).right, 320.0);  // the ratio plays no part
}

TEST(Projection, ScenePointsLandWhereTheCameraSays) {
    ViewState view;
    view.Camera_Distance = 1000;
    Vec3 w;
    // At distance 1000 with ratio 0.5 one unit at the pivot is one pixel, whatever the area.
    ASSERT_TRUE(Project_Scene_Point(view, true, 400, 300, {100, -50, 0}, w));
    EXPECT_NEAR(w.x, 300.0f, 1e-3f);
    EXPECT_NEAR(w.y, 100.0f, 1e-3f);
    // Nearer points look bigger and lie closer in depth.
    Vec3 nearer;
    ASSERT_TRUE(Project_Scene_Point(view, true, 400, 300, {100, -50, 500}, nearer));
    EXPECT_NEAR(nearer.x, 400.0f, 1e-2f);
    EXPECT_LT(nearer.z, w.z);

    view.Perspective_Mode = 0;
    view.Zoom_Scale = 2;
    view.WidenSceneBounds({10, 10, 10}, {30, 30, 30});  // pivot (20, 20, 20)
    ASSERT_TRUE(Project_Scene_Point(view, true, 400, 300, {25, 20, 0}, w));
    EXPECT_NEAR(w.x, 210.0f, 1e-3f);
    EXPECT_NEAR(w.y, 150.0f, 1e-3f);

    // Front view: scene z is screen up.
    Standard_View(view.Model_Matrix, kViewFront);
    ASSERT_TRUE(Project_Scene_Point(view, false, 400, 300, {0, 0, 30}, w));
    EXPECT_NEAR(w.x, 200.0f, 1e-3f);
    EXPECT_NEAR(w.y, 210.0f, 1e-3f);
}

TEST(Projection, DegenerateAreaHasNoImage) {
    ViewState view;
    view.Camera_Distance = 1000;
    Vec3 w;
    EXPECT_FALSE(Project_Scene_Point(view, true, 400, 0, {0, 0, 0}, w));
    EXPECT_FALSE(Project_Scene_Point(view, true, 0, 300, {0, 0, 0}, w));
    // A point in the eye plane.
    EXPECT_FALSE(Project_Scene_Point(view, true, 400, 300, {0, 0, 1000}, w));
}

TEST(FrameRateText, SixtyAndAbove) {
    EXPECT_EQ(Frame_Rate_Text(16), " >60 fps. ");
    EXPECT_EQ(Frame_Rate_Text(1), " >60 fps. ");
    EXPECT_EQ(Frame_Rate_Text(0), " >60 fps. ");
    EXPECT_EQ(Frame_Rate_Text(-3), " >60 fps. ");  // a clock that stepped back divides by nothing
}

TEST(FrameRateText, TwoSignificantDigitsOneDecimal) {
    EXPECT_EQ(Frame_Rate_Text(17), "59.0 fps. ");  // 58.82
    EXPECT_EQ(Frame_Rate_Text(134), "7.5 fps. ");  // 7.46
    EXPECT_EQ(Frame_Rate_Text(20), "50.0 fps. ");
    EXPECT_EQ(Frame_Rate_Text(80), "13.0 fps. ");  // 12.5 rounds up
    EXPECT_EQ(Frame_Rate_Text(1000), "1.0 fps. ");
    EXPECT_EQ(Frame_Rate_Text(3000), "0.3 fps. ");  // 0.33
    EXPECT_EQ(Frame_Rate_Text(4000), "0.3 fps. ");  // 0.25 rounds up
}
