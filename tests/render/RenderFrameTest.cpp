// Real frames of the main view drawn into an offscreen framebuffer and read back pixel by pixel.
// Needs a GL context (Mesa under Xvfb does); without one every test is skipped with the reason.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/Axes.h"
#include "render/Camera.h"
#include "render/Frame.h"
#include "render/GL.h"
#include "render/MeshPasses.h"
#include "tests/support/OffscreenGl.h"
#include "tests/support/TestMeshes.h"

using namespace orvex;

namespace {
constexpr int kW = 400, kH = 300;

struct Rgb {
    int r = 0, g = 0, b = 0;
};

bool Near(Rgb a, Rgb b, int tol = 2) {
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kBoxColour{255, 128, 255}, kRed{255, 0, 0};
// The test mesh colour (0.2, 0.6, 1.0).
const Rgb kMeshColour{51, 153, 255};

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;

    Rgb At(int x, int y) const {
        const std::uint8_t* p = &rgba[4 * (std::size_t(y) * width + x)];
        return {p[0], p[1], p[2]};
    }
    // Some pixel within `radius` of (x, y) has colour c.
    bool Has_Near(int x, int y, Rgb c, int radius = 1, int tol = 2) const {
        for (int j = y - radius; j <= y + radius; ++j)
            for (int i = x - radius; i <= x + radius; ++i)
                if (i >= 0 && j >= 0 && i < width && j < height && Near(At(i, j), c, tol)) return true;
        return false;
    }
    int Count(int x0, int y0, int x1, int y1, Rgb c, int tol = 2) const {
        int n = 0;
        for (int j = y0; j < y1; ++j)
            for (int i = x0; i < x1; ++i) n += Near(At(i, j), c, tol) ? 1 : 0;
        return n;
    }
    int Differences(const Image& other) const {
        int n = 0;
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            n += (rgba[i] != other.rgba[i] || rgba[i + 1] != other.rgba[i + 1] ||
                  rgba[i + 2] != other.rgba[i + 2]);
        return n;
    }
};

// One context for the whole run; it has to go before the application object does.
class GlEnvironment {
public:
    static test::OffscreenGl& Get() {
        if (!instance_) instance_ = std::make_unique<test::OffscreenGl>(kW, kH);
        return *instance_;
    }
    static void Release() { instance_.reset(); }

private:
    static inline std::unique_ptr<test::OffscreenGl> instance_;
};

Image Read_Pixels() {
    Image image;
    image.width = kW, image.height = kH;
    image.rgba.resize(4 * std::size_t(kW) * kH);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return image;
}

class RenderFrameTest : public testing::Test {
protected:
    void SetUp() override {
        test::OffscreenGl& env = GlEnvironment::Get();
        if (!env.Ready()) GTEST_SKIP() << env.Reason();
        env.Make_Current();
        Set_Mesh_Submission(MeshSubmission::VertexArrays);
        test::Make_Cube(cube_);
        test::Finish_Mesh(cube_);
        Set_Colour(cube_);
        view_.Camera_Distance = 1000;
        view_.Zoom_Scale = 50;
        view_.WidenSceneBounds(cube_.Box_Min, cube_.Box_Max);
        objects_.Main_Objects = &cube_;
        // The clear colour of a frame is the one the frame before it chose.
        Frame();
    }
    void TearDown() override { Set_Mesh_Submission(MeshSubmission::VertexArrays); }

    static void Set_Colour(UniOb& mesh) {
        const float c[4] = {0.2f, 0.6f, 1.0f, 1.0f};
        std::copy(c, c + 4, mesh.Color_RGBA);
    }

    Image Frame() {
        Render_Main_Frame(kW, kH, view_, options_, objects_);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return Read_Pixels();
    }

    // Pixel of scene point p in this frame.
    std::pair<int, int> Pixel(const Vec3& p) const {
        Vec3 w;
        EXPECT_TRUE(Project_Scene_Point(view_, options_.Pivot_Checked, kW, kH, p, w));
        return {int(std::floor(w.x)), int(std::floor(w.y))};
    }
    bool Has_Near(const Image& image, const Vec3& p, Rgb c, int radius = 1, int tol = 2) const {
        const auto [x, y] = Pixel(p);
        return image.Has_Near(x, y, c, radius, tol);
    }

    UniOb cube_;
    ViewState view_;
    DisplayOptions options_;
    SceneObjects objects_;
};

Vec3 Mid(const Vec3& a, const Vec3& b) {
    return (a + b) * 0.5f;
}

TEST_F(RenderFrameTest, DefaultFrameShowsPointsInsideTheBoxOverBlack) {
    // Points over the box: the cube's corners are its box's corners, so look at a mesh whose
    // vertices are not all on its box.
    UniOb sphere;
    test::Make_Sphere(sphere, 1.0f, 1);
    test::Finish_Mesh(sphere);
    Set_Colour(sphere);
    objects_.Main_Objects = &sphere;
    const Image image = Frame();

    EXPECT_TRUE(Near(image.At(kW - 5, kH - 5), kBlack));
    // Vertices strictly inside the box show in the mesh colour as single pixels.
    int inside = 0, shown = 0;
    for (const Vec3& p : sphere.Vertex_Pos) {
        if (std::fabs(p.x) > 0.99f || std::fabs(p.y) > 0.99f) continue;
        ++inside;
        shown += Has_Near(image, p, kMeshColour, 1) ? 1 : 0;
    }
    EXPECT_GT(inside, 10);
    EXPECT_EQ(shown, inside);
    // No faces are drawn: the middle of a face is background.
    const FaceIndex& f = sphere.Face_Index[0];
    const Vec3 c =
        (sphere.Vertex_Pos[f[0]] + sphere.Vertex_Pos[f[1]] + sphere.Vertex_Pos[f[2]]) * (1.0f / 3.0f);
    EXPECT_FALSE(Has_Near(image, c, kMeshColour, 0));
    // The box in 0xFF80FF: middles of its near edges.
    const Vec3 lo = sphere.Box_Min, hi = sphere.Box_Max;
    EXPECT_TRUE(Has_Near(image, Mid({lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}), kBoxColour));
    EXPECT_TRUE(Has_Near(image, Mid({hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}), kBoxColour));
    EXPECT_TRUE(Has_Near(image, Mid({lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}), kBoxColour));
}

TEST_F(RenderFrameTest, DefaultFrameShowsTheCubeBoxAndCoordinateMark) {
    const Image image = Frame();
    // The cube's box in the box colour, its nearer square bigger than the farther one.
    EXPECT_TRUE(Has_Near(image, {0, -1, 1}, kBoxColour));
    EXPECT_TRUE(Has_Near(image, {0, -1, -1}, kBoxColour));
    EXPECT_TRUE(Has_Near(image, {1, 0, 1}, kBoxColour));
    EXPECT_GT(Pixel({1, 0, 1}).first, Pixel({1, 0, -1}).first);
    EXPECT_TRUE(Near(image.At(kW / 2, kH / 2), kBlack));

    // The mark in the lower-left 140 x 140 pixels: white letters, red x and green y arrows.
    const double k = 140.0 / 150.0;                                     // pixels per unit of the mark
    EXPECT_GT(image.Count(int(70 + 55 * k), 70, 140, 90, kWhite), 20);  // the X
    EXPECT_GT(image.Count(70, int(70 + 55 * k), 90, 140, kWhite), 20);  // the Y
    EXPECT_TRUE(image.Has_Near(int(70 + 30 * k), 70, kRed));
    EXPECT_TRUE(image.Has_Near(70, int(70 + 30 * k), {0, 255, 0}));
    // Nothing of it outside the corner.
    EXPECT_EQ(image.Count(140, 0, 200, 140, kWhite), 0);
}

TEST_F(RenderFrameTest, CoordinateMarkOffShowsNothingInTheCorner) {
    options_.Coor_Mark = false;
    const Image image = Frame();
    EXPECT_EQ(image.Count(0, 0, 140, 140, kBlack), 140 * 140);
}

TEST_F(RenderFrameTest, CoordinateMarkTurnsWithTheView) {
    Standard_View(view_.Model_Matrix, kViewFront);
    const Image image = Frame();
    // Front view: x to the right, z up, y away from the viewer.
    const double k = 140.0 / 150.0;
    EXPECT_TRUE(image.Has_Near(int(70 + 30 * k), 70, kRed));
    EXPECT_TRUE(image.Has_Near(70, int(70 + 30 * k), {0, 0, 255}));
    EXPECT_FALSE(image.Has_Near(70, int(70 + 30 * k), {0, 255, 0}, 3));
}

TEST_F(RenderFrameTest, WhiteBackgroundTurnsMarksAndEdgesBlack) {
    options_.BG_Color = 0xFFFFFF;
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    options_.Edge_Checked = true;
    // The new background shows in the very frame that follows the change.
    const Image image = Frame();
    EXPECT_TRUE(Near(image.At(kW - 5, kH - 5), kWhite));
    EXPECT_TRUE(Has_Near(image, {0, -1, 1}, kBlack));  // an edge of the top face
    EXPECT_TRUE(Has_Near(image, {0, 0, 1}, kBlack));   // the diagonal splitting it
    const double k = 140.0 / 150.0;
    EXPECT_GT(image.Count(int(70 + 55 * k), 70, 140, 90, kBlack), 20);
}

TEST_F(RenderFrameTest, ShadedTopFaceIsLitByTheFrontLight) {
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    options_.Bounding = false;
    options_.Gouraud = false;
    // Facing the front light: ambient 0.15 + diffuse 0.75 + global ambient 0.2 = 1.1 of the colour.
    Image image = Frame();
    const auto [x, y] = Pixel({0.5f, 0.3f, 1});
    EXPECT_TRUE(Near(image.At(x, y), {56, 168, 255}, 3)) << image.At(x, y);

    // Iso view: three faces, each at 1/sqrt(3) to the light, equally bright.
    Standard_View(view_.Model_Matrix, kViewIsoEastNorth);
    image = Frame();
    const float lit = 0.35f + 0.75f / std::sqrt(3.0f);
    const Rgb expected{int(std::lround(51 * lit)), int(std::lround(153 * lit)), int(std::lround(255 * lit))};
    for (const Vec3& p : {Vec3{1, 0.3f, -0.2f}, Vec3{0.3f, 1, -0.2f}, Vec3{-0.3f, 0.2f, 1}})
        EXPECT_TRUE(Near(image.At(Pixel(p).first, Pixel(p).second), expected, 3))
            << image.At(Pixel(p).first, Pixel(p).second) << " expected " << expected;
}

TEST_F(RenderFrameTest, SmoothShadingBlendsCornerNormals) {
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    options_.Bounding = false;
    const Image image = Frame();
    // Corner normals lean 1/sqrt(3) away from the light, so the face is darker than flat shading.
    const auto [x, y] = Pixel({0.5f, 0.3f, 1});
    const Rgb c = image.At(x, y);
    EXPECT_GT(c.g, 100);
    EXPECT_LT(c.g, 160);
}

TEST_F(RenderFrameTest, NoLightsShowsTheBareColour) {
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    options_.Bounding = false;
    options_.Front_Light = false;
    const Image image = Frame();
    const auto [x, y] = Pixel({0.5f, 0.3f, 1});
    EXPECT_TRUE(Near(image.At(x, y), kMeshColour)) << image.At(x, y);
}

TEST_F(RenderFrameTest, TransparencyMultipliesBySourceColour) {
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    options_.Bounding = false;
    options_.Gouraud = false;
    options_.Transparency = true;
    const Image image = Frame();
    // result = source x source + destination x source. The bottom face comes first in the list:
    // unlit by the front light it is 0.35 of the colour, over black (0.0049, 0.0441, 0.1225). The
    // top face, lit (0.22, 0.66, 1.0), then gives (0.0495, 0.4647, 1.0).
    const auto [x, y] = Pixel({0.5f, 0.3f, 1});
    EXPECT_TRUE(Near(image.At(x, y), {13, 118, 255}, 3)) << image.At(x, y);
}

TEST_F(RenderFrameTest, HiddenLineShowsOnlyFrontEdges) {
    options_.Wire_Checked = true;
    options_.Point_Checked = false;
    options_.Bounding = false;
    options_.Coor_Mark = false;
    view_.Perspective_Mode = 0;
    Camera_From_Trackbars(view_, 1000, 30, 25);
    view_.Zoom_Scale = 60;

    // Edges with the faces next to them; a face faces the viewer when its normal does.
    const Vec3 toward = View_Toward(view_.Model_Matrix);
    std::map<std::pair<int, int>, std::vector<bool>> edges;
    for (unsigned f = 0; f < cube_.Face_Count; ++f) {
        const bool front = Dot(cube_.Face_Normal[f], toward) > 0;
        const FaceIndex& t = cube_.Face_Index[f];
        for (int j = 0; j < 3; ++j)
            edges[{std::min(t[j], t[(j + 1) % 3]), std::max(t[j], t[(j + 1) % 3])}].push_back(front);
    }
    auto screen = [&](const Vec3& p) {
        Vec3 w;
        Project_Scene_Point(view_, true, kW, kH, p, w);
        return w;
    };
    auto distance_to_segment = [](const Vec3& p, const Vec3& a, const Vec3& b) {
        const float dx = b.x - a.x, dy = b.y - a.y;
        const float t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
        return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
    };

    const Image hidden = Frame();
    options_.Hidden_Face = false;
    const Image plain = Frame();

    int backSamples = 0, frontSamples = 0;
    for (const auto& [edge, faces] : edges) {
        const Vec3 a = cube_.Vertex_Pos[edge.first], b = cube_.Vertex_Pos[edge.second];
        const bool back = !faces[0] && !faces[1];
        for (float t : {0.3f, 0.5f, 0.7f}) {
            const Vec3 p = a + (b - a) * t;
            const Vec3 s = screen(p);
            const int x = int(std::floor(s.x)), y = int(std::floor(s.y));
            if (back) {
                // Skip samples that lie on the image of some front edge.
                bool clear = true;
                for (const auto& [other, otherFaces] : edges)
                    if (otherFaces[0] || otherFaces[1])
                        clear = clear && distance_to_segment(s, screen(cube_.Vertex_Pos[other.first]),
                                                             screen(cube_.Vertex_Pos[other.second])) > 4;
                if (!clear) continue;
                ++backSamples;
                EXPECT_TRUE(plain.Has_Near(x, y, kMeshColour, 1)) << "back edge in plain wire";
                EXPECT_FALSE(hidden.Has_Near(x, y, kMeshColour, 1)) << "back edge shows through";
            } else {
                ++frontSamples;
                EXPECT_TRUE(hidden.Has_Near(x, y, kMeshColour, 1)) << "front edge hidden";
            }
        }
    }
    EXPECT_GT(backSamples, 3);
    EXPECT_GT(frontSamples, 20);
}

TEST_F(RenderFrameTest, MasterBoxIsRedAndSkippedForEmptyBounds) {
    options_.Master_Bounding_Box_Checked = true;
    options_.Bounding = false;
    options_.Point_Checked = false;
    view_.WidenSceneBounds({-2, -2, -2}, {2, 2, 2});
    Image image = Frame();
    EXPECT_TRUE(Has_Near(image, {0, -2, 2}, kRed));
    EXPECT_TRUE(Has_Near(image, {2, 0, -2}, kRed));

    // Bounds in their empty state hold nothing to outline.
    view_.ResetSceneBounds();
    objects_.Main_Objects = nullptr;
    options_.Coor_Mark = false;
    image = Frame();
    EXPECT_EQ(image.Count(0, 0, kW, kH, kRed, 60), 0);
}

TEST_F(RenderFrameTest, EmptyMeshDrawsNothing) {
    UniOb empty;
    objects_.Main_Objects = &empty;
    options_.Coor_Mark = false;
    options_.Euler_Bounding = true;
    const Image image = Frame();
    EXPECT_EQ(image.Count(0, 0, kW, kH, kBlack), kW * kH);
}

TEST_F(RenderFrameTest, OrientedBoxAndCentroid) {
    options_.Euler_Bounding = true;
    options_.Bounding = false;
    options_.Point_Checked = false;
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    std::copy(axes, axes + 3, cube_.Principal_Axes);
    const float extent[6] = {-1.5f, 1.5f, -1.5f, 1.5f, -1.5f, 1.5f};
    std::copy(extent, extent + 6, cube_.Axes_Extent);
    cube_.Volume_Centroid = {0, 0, 0};
    const Image image = Frame();
    EXPECT_TRUE(Near(image.At(kW / 2, kH / 2), kRed));  // the centroid, 5 pixels wide
    EXPECT_TRUE(Near(image.At(kW / 2 + 2, kH / 2 - 2), kRed));
    EXPECT_TRUE(Has_Near(image, {0, -1.5f, 1.5f}, kMeshColour));
    EXPECT_TRUE(Has_Near(image, {1.5f, 0, -1.5f}, kMeshColour));
}

TEST_F(RenderFrameTest, ShowCoordinateDrawsAxesAtTheSceneOrigin) {
    options_.Coordinate_Checked = true;
    options_.Coor_Mark = false;
    options_.Point_Checked = false;
    options_.Bounding = false;
    view_.Zoom_Scale = 1;
    const Image image = Frame();
    // Top view at distance 1000: one unit is one pixel around the origin.
    EXPECT_TRUE(image.Has_Near(kW / 2 + 30, kH / 2, kRed));
    EXPECT_TRUE(image.Has_Near(kW / 2, kH / 2 + 30, {0, 255, 0}));
    EXPECT_GT(image.Count(kW / 2 + 50, kH / 2, kW / 2 + 75, kH / 2 + 20, kWhite), 20);
}

TEST_F(RenderFrameTest, InsetViewFramesTheWholeSceneInCyan) {
    options_.Child_Window = true;
    options_.Coor_Mark = false;
    view_.Inset_Size = 100;
    view_.Inset_X = 20;
    view_.Inset_Y = 150;  // from the top: the inset spans rows 150 to 249 from the bottom
    view_.Inset_View = 2;
    const Image image = Frame();
    const Rgb cyan{0, 255, 255};
    EXPECT_GT(image.Count(20, 150, 120, 250, cyan), 300);
    // Wide lines may reach one pixel past the viewport's edge.
    EXPECT_EQ(image.Count(0, 0, kW, 148, cyan), 0);
    EXPECT_EQ(image.Count(122, 0, kW, kH, cyan), 0);
    // The scene fills 0.9 of the inset: front view of the cube, its box edges at 50 +- 45 pixels.
    EXPECT_TRUE(image.Has_Near(70, 200 + 45, kBoxColour, 2));
    EXPECT_TRUE(image.Has_Near(70 - 45, 200, kBoxColour, 2));
    EXPECT_FALSE(image.Has_Near(70, 200, kBoxColour, 10));

    // Kept inside the GL area however far out it was placed.
    view_.Inset_X = 1000;
    view_.Inset_Y = -50;
    const Image moved = Frame();
    EXPECT_GT(moved.Count(kW - 105, kH - 113, kW - 5, kH - 13, cyan), 300);
}

// The letters are the given bitmaps, bottom row first, leftmost pixel in the high bit.
TEST_F(RenderFrameTest, AxisLettersAreTheGlyphs) {
    const float white[3] = {1, 1, 1};
    auto draw = [&](const Matrix4& rotation) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, kW, kH);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kW, 0, kH, -1000, 1000);
        glTranslatef(100, 100, 0);
        glMultMatrixf(rotation.data());
        glDisable(GL_LIGHTING);
        Draw_Axes(true, white);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return Read_Pixels();
    };
    auto matches = [](const Image& image, int axis, int x0, int y0) {
        const unsigned char* g = Axis_Glyph(axis);
        for (int row = 0; row < 16; ++row)
            for (int col = 0; col < 16; ++col) {
                const bool set = (g[4 * row + col / 8] >> (7 - col % 8)) & 1;
                if (Near(image.At(x0 + col, y0 + row), set ? kWhite : kBlack) == false) return false;
            }
        return true;
    };
    Matrix4 top, front;
    Standard_View(top, kViewTop);
    Standard_View(front, kViewFront);
    const Image a = draw(top);
    EXPECT_TRUE(matches(a, 0, 155, 100));
    EXPECT_TRUE(matches(a, 1, 100, 155));
    const Image b = draw(front);
    EXPECT_TRUE(matches(b, 2, 100, 155));
    EXPECT_FALSE(matches(b, 1, 100, 155));
}

// Vertex arrays must give exactly the picture immediate mode gives.
class SubmissionTest : public RenderFrameTest, public testing::WithParamInterface<int> {};

TEST_P(SubmissionTest, ArraysMatchImmediateMode) {
    UniOb sphere;
    test::Make_Sphere(sphere, 1.0f, 2);
    test::Finish_Mesh(sphere);
    Set_Colour(sphere);
    sphere.Vertex_Color.resize(sphere.Vertex_Count);
    for (unsigned v = 0; v < sphere.Vertex_Count; ++v) sphere.Vertex_Color[v] = int(v * 0x10305) & 0xFFFFFF;
    objects_.Main_Objects = &sphere;
    view_.Zoom_Scale = 110;
    Camera_From_Trackbars(view_, 1000, 35, 20);
    options_.Point_Checked = false;
    options_.Bounding = false;
    switch (GetParam()) {
        case 0:
            options_.Point_Checked = true, options_.Width = 3;
            break;
        case 1:
            options_.Shading_Checked = true, options_.Gouraud = false;
            break;
        case 2:
            options_.Shading_Checked = true;
            break;
        case 3:
            options_.Shading_Checked = true, options_.Texture_Checked = true, options_.Gouraud = false;
            break;
        case 4:
            options_.Shading_Checked = true, options_.Texture_Checked = true;
            break;
        case 5:
            options_.Spectrum = true, options_.Spectrum_Select = 6;
            break;
        case 6:
            options_.Spectrum = true, options_.Spectrum_Select = 3, options_.Edge_Checked = true;
            break;
        case 7:
            options_.Wire_Checked = true, options_.Width = 2;
            break;
        case 8:
            options_.Wire_Checked = true, options_.Hidden_Face = false;
            break;
        case 9:
            options_.Shading_Checked = true, options_.Edge_Checked = true, options_.Transparency = true;
            break;
    }
    Set_Mesh_Submission(MeshSubmission::Immediate);
    Frame();
    const Image immediate = Frame();
    Set_Mesh_Submission(MeshSubmission::VertexArrays);
    const Image arrays = Frame();
    EXPECT_EQ(arrays.Differences(immediate), 0);
    // The picture is not empty.
    EXPECT_GT((kW - 140) * kH - immediate.Count(140, 0, kW, kH, kBlack), 300);
}

INSTANTIATE_TEST_SUITE_P(Modes, SubmissionTest, testing::Range(0, 10));

}  // namespace

int main(int argc, char** argv) {
    // Without any display the offscreen platform still lets the tests report why they skip.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    GlEnvironment::Release();
    return result;
}
