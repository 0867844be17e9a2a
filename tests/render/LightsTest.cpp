// The numbers of the five lights, computed without a GL context.
#include <gtest/gtest.h>

#include <cmath>

#include "render/Camera.h"
#include "render/Lights.h"

using namespace orvex;

namespace {
void Expect4(const float* a, float x, float y, float z, float w, float tol = 1e-5f) {
    EXPECT_NEAR(a[0], x, tol);
    EXPECT_NEAR(a[1], y, tol);
    EXPECT_NEAR(a[2], z, tol);
    EXPECT_NEAR(a[3], w, tol);
}

Matrix4 Identity() {
    Matrix4 M;
    Mat4_Identity(M);
    return M;
}
}  // namespace

TEST(Lights, DefaultsLightFromTheViewerOnly) {
    const DisplayOptions o;
    const LightSetup s = Compute_Lights(o, Identity());
    EXPECT_TRUE(s.lighting);
    EXPECT_TRUE(s.smoothShading);
    for (int i : {0, 1, 2, 4}) EXPECT_FALSE(s.light[i].enabled) << "light " << i;
    const LightSetting& f = s.light[3];
    ASSERT_TRUE(f.enabled);
    // I = 0.6, white.
    Expect4(f.ambient, 0.15f, 0.15f, 0.15f, 1);
    Expect4(f.diffuse, 0.75f, 0.75f, 0.75f, 1);
    Expect4(f.specular, 0.96f, 0.96f, 0.96f, 1);
    Expect4(f.position, 0, 0, 100000, 1);
    EXPECT_EQ(f.spotCutoff, 180.0f);
}

TEST(Lights, FrontLightFollowsTheView) {
    DisplayOptions o;
    o.R_Size = 2000;
    Matrix4 M;
    Standard_View(M, kViewFront);
    Expect4(Compute_Lights(o, M).light[3].position, 0, -200000, 0, 1);
    // A zoomed or scaled rotation still places the light at 100 R_Size along the unit toward.
    Standard_View(M, kViewIsoEastNorth);
    for (float& e : M) e *= 3.0f;
    const float k = 200000.0f / std::sqrt(3.0f);
    Expect4(Compute_Lights(o, M).light[3].position, k, k, k, 1, 0.1f);
}

TEST(Lights, BackLightMirrorsTheFrontLightWhileItIsOn) {
    DisplayOptions o;
    o.Back_Light = true;
    o.Front_Color = 0x0000FF;  // red
    LightSetup s = Compute_Lights(o, Identity());
    ASSERT_TRUE(s.light[4].enabled);
    Expect4(s.light[4].position, 0, 0, -100000, 0.9f);
    Expect4(s.light[4].diffuse, 0.75f, 0, 0, 1);
    Expect4(s.light[4].specular, 0.96f, 0, 0, 1);

    o.Front_Light = false;
    o.Master_Light = true;
    s = Compute_Lights(o, Identity());
    EXPECT_FALSE(s.light[3].enabled);
    EXPECT_FALSE(s.light[4].enabled);
}

TEST(Lights, MasterLightFromAbove) {
    DisplayOptions o;
    o.Master_Light = true;
    o.Master_Color = 0xFF8000;  // r 0, g 128, b 255
    const LightSetting& m = Compute_Lights(o, Identity()).light[0];
    ASSERT_TRUE(m.enabled);
    const float g = 128 / 255.0f;
    Expect4(m.ambient, 0, 0.18f * g, 0.18f, 1);
    Expect4(m.diffuse, 0, 1.2f * g, 1.2f, 1);
    // Green specular gets three times the intensity, blue twice.
    Expect4(m.specular, 0, 1.8f * g, 1.2f, 1);
    Expect4(m.position, 0, 0, 1000, 1, 1e-3f);
    EXPECT_EQ(m.spotCutoff, 180.0f);
}

TEST(Lights, SecondAndThirdAreSpotsAimedAtTheOrigin) {
    DisplayOptions o;
    o.Front_Light = false;
    o.Second_Light = true;
    o.Third_Light = true;
    o.Light_Params[5] = 500;  // second light's distance
    const LightSetup s = Compute_Lights(o, Identity());
    const LightSetting& a = s.light[1];
    ASSERT_TRUE(a.enabled);
    Expect4(a.position, 500, 0, 0, 1);
    EXPECT_NEAR(a.spotDirection[0], -1, 1e-6f);
    EXPECT_NEAR(a.spotDirection[1], 0, 1e-6f);
    EXPECT_EQ(a.spotCutoff, 30.0f);
    EXPECT_EQ(a.spotExponent, 2.0f);
    Expect4(a.diffuse, 1.08f, 1.08f, 1.08f, 1);
    Expect4(a.ambient, 0, 0, 0, 1);  // GL's defaults for lights other than 0
    Expect4(a.specular, 0, 0, 0, 1);

    const LightSetting& b = s.light[2];
    ASSERT_TRUE(b.enabled);
    Expect4(b.position, 0, 1000, 0, 1, 1e-3f);
    EXPECT_NEAR(b.spotDirection[1], -1, 1e-6f);
    EXPECT_EQ(b.spotCutoff, 45.0f);
    Expect4(b.diffuse, 1.44f, 1.44f, 1.44f, 1);
}

TEST(Lights, AzimuthTurnsFromXTowardY) {
    DisplayOptions o;
    o.Second_Light = true;
    o.Light_Params[6] = 90;  // theta
    o.Light_Params[7] = 45;  // phi
    const LightSetting& a = Compute_Lights(o, Identity()).light[1];
    const float k = 1000.0f * std::sqrt(0.5f);
    Expect4(a.position, 0, k, k, 1, 1e-3f);
}

TEST(Lights, NoLightCheckedMeansNoLighting) {
    DisplayOptions o;
    o.Front_Light = false;
    o.Back_Light = true;
    o.Gouraud = false;
    const LightSetup s = Compute_Lights(o, Identity());
    EXPECT_FALSE(s.lighting);
    EXPECT_FALSE(s.smoothShading);
    for (const LightSetting& l : s.light) EXPECT_FALSE(l.enabled);
}

TEST(Lights, ZeroIntensityIsDark) {
    DisplayOptions o;
    o.Light_Params[12] = 0;
    const LightSetting& f = Compute_Lights(o, Identity()).light[3];
    EXPECT_TRUE(f.enabled);
    Expect4(f.diffuse, 0, 0, 0, 1);
}
