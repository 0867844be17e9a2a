// Frames with the data overlays (texture map, laser scans, structure-from-motion cameras and their
// labels) drawn into an offscreen framebuffer and read back. Needs a GL context (Mesa under Xvfb);
// without one every test is skipped with the reason.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/Camera.h"
#include "render/FontLists.h"
#include "render/Frame.h"
#include "render/GL.h"
#include "render/TextureTiles.h"
#include "sfm/ArrayMap.h"
#include "sfm/SFMData.h"
#include "sfm/SickScan.h"
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
Rgb Of(std::uint32_t colour) {
    return {int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)};
}
const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0};

struct Image {
    std::vector<std::uint8_t> rgba;
    Rgb At(int x, int y) const {
        if (x < 0 || y < 0 || x >= kW || y >= kH) return {-1, -1, -1};
        const std::uint8_t* p = &rgba[4 * (std::size_t(y) * kW + x)];
        return {p[0], p[1], p[2]};
    }
    int Count(int x0, int y0, int x1, int y1, Rgb c, int tol = 2) const {
        int n = 0;
        for (int j = y0; j < y1; ++j)
            for (int i = x0; i < x1; ++i) n += Near(At(i, j), c, tol) ? 1 : 0;
        return n;
    }
    bool Has_Near(int x, int y, Rgb c, int radius = 1) const {
        return Count(x - radius, y - radius, x + radius + 1, y + radius + 1, c) > 0;
    }
    bool operator==(const Image& o) const { return rgba == o.rgba; }
};

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

// A glyph of every printable code: a solid 5 x 8 block, advancing 6.
std::shared_ptr<const Label_Glyphs> Block_Glyphs() {
    auto glyphs = std::make_shared<Label_Glyphs>();
    for (int code = 32; code < kFontListCount; ++code) {
        Glyph_Bitmap& g = (*glyphs)[code];
        g.Width = 5;
        g.Height = 8;
        g.Advance = 6;
        g.Bits.assign(std::size_t(Glyph_Row_Bytes(5)) * 8, 0);
        for (int row = 0; row < 8; ++row) g.Bits[std::size_t(row * Glyph_Row_Bytes(5))] = 0xF8;
    }
    return glyphs;
}

class OverlayFrameTest : public testing::Test {
protected:
    void SetUp() override {
        test::OffscreenGl& env = GlEnvironment::Get();
        if (!env.Ready()) GTEST_SKIP() << env.Reason();
        env.Make_Current();
        Set_Label_Glyphs(Block_Glyphs());
        Set_Tile_Keeping(true);
        view_.Camera_Distance = 1000;
        options_.Coor_Mark = false;
        options_.Bounding = false;
    }
    void TearDown() override { Set_Tile_Keeping(true); }

    Image Frame() {
        Render_Main_Frame(kW, kH, view_, options_, objects_);  // the clear colour takes a frame
        Render_Main_Frame(kW, kH, view_, options_, objects_);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        Image image;
        image.rgba.resize(4 * std::size_t(kW) * kH);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
        return image;
    }
    std::pair<int, int> Pixel(const Vec3& p) const {
        Vec3 w;
        EXPECT_TRUE(Project_Scene_Point(view_, options_.Pivot_Checked, kW, kH, p, w));
        return {int(std::floor(w.x)), int(std::floor(w.y))};
    }
    Rgb At(const Image& image, const Vec3& p) const {
        const auto [x, y] = Pixel(p);
        return image.At(x, y);
    }
    bool Has_Near(const Image& image, const Vec3& p, Rgb c, int radius = 1) const {
        const auto [x, y] = Pixel(p);
        return image.Has_Near(x, y, c, radius);
    }
    // Parallel view of the plane z = 0 from x0..x1, y0..y1 (in scene units) filling the area.
    void Look_At_Plane(float x0, float y0, float x1, float y1) {
        view_.Perspective_Mode = 0;
        view_.ResetSceneBounds();
        view_.WidenSceneBounds({x0, y0, -1}, {x1, y1, 1});
        const ProjectionNumbers p = Projection_Numbers(kW, kH, 0, view_.Persp_Ratio);
        view_.Zoom_Scale = float(std::min((p.right - p.left) / (x1 - x0), (p.top - p.bottom) / (y1 - y0)));
    }

    ViewState view_;
    DisplayOptions options_;
    SceneObjects objects_;
};

// Pixel (x, y) of a map shown upright: column x along +x, row y down from y = 64 NY.
Vec3 Map_Point(const ArrayMap& map, float x, float y) {
    return {x + 0.5f, float(64 * Tiles_Y(map)) - y - 0.5f, 0.0f};
}

std::uint32_t Test_Colour(int x, int y) {
    return Pixel_Rgb(unsigned(3 * x + 10), unsigned(3 * y + 10), 200);
}

ArrayMap Test_Map(int w, int h) {
    ArrayMap map;
    map.Allocate(w, h);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) map.Column(x)[y] = Test_Colour(x, y);
    return map;
}

TEST_F(OverlayFrameTest, MapOf65By65LiesUprightInTwoByTwoTilesWithBackgroundBeyond) {
    ArrayMap map = Test_Map(65, 65);
    ASSERT_EQ(Tiles_X(map), 2);
    ASSERT_EQ(Tiles_Y(map), 2);
    objects_.Texture_Map = &map;
    objects_.Texture_Map_Generation = 1;
    options_.BG_Color = 0x302010;
    // Marks behind the plane: hidden where a tile lies, seen beyond the tiles.
    UniOb under, beside;
    test::Make_Box(under, {6, 6, 2}, {100, 30, -5});
    test::Make_Box(beside, {6, 6, 2}, {150, 30, -5});
    test::Finish_Mesh(under);
    test::Finish_Mesh(beside);
    under.next = &beside;
    objects_.Main_Objects = &under;
    options_.Shading_Checked = true;
    options_.Point_Checked = false;
    Look_At_Plane(0, 0, 160, 130);
    const Image image = Frame();

    for (auto [x, y] :
         std::vector<std::pair<int, int>>{{0, 0}, {64, 0}, {0, 64}, {64, 64}, {30, 40}, {63, 1}})
        EXPECT_TRUE(Near(At(image, Map_Point(map, float(x), float(y))), Of(Test_Colour(x, y))))
            << "pixel (" << x << ", " << y << ") shows " << At(image, Map_Point(map, float(x), float(y)));
    // Beyond the map, inside the tiles: the background, covering what lies behind.
    const Rgb background = Of(0x302010);
    EXPECT_TRUE(Near(At(image, {100, 30, 0}), background)) << At(image, {100, 30, 0});
    EXPECT_TRUE(Near(At(image, {30, 10, 0}), background)) << At(image, {30, 10, 0});
    EXPECT_FALSE(Near(At(image, {150, 30, 0}), background)) << "the mark beyond the tiles is seen";
}

TEST_F(OverlayFrameTest, KeptTilesGiveTheUploadedPicturesAndFollowTheMapAndBackground) {
    ArrayMap map = Test_Map(150, 70);
    objects_.Texture_Map = &map;
    objects_.Texture_Map_Generation = 7;
    Look_At_Plane(0, 0, 200, 130);
    Set_Tile_Keeping(false);
    const Image uploaded = Frame();
    Set_Tile_Keeping(true);
    const Image kept = Frame();
    const Image keptAgain = Frame();
    EXPECT_TRUE(kept == uploaded);
    EXPECT_TRUE(keptAgain == uploaded);

    // A new background recolours the texels beyond the map.
    options_.BG_Color = 0x0000FF;
    const Image red = Frame();
    EXPECT_TRUE(Near(At(red, Map_Point(map, 170, 10)), kRed)) << At(red, Map_Point(map, 170, 10));
    EXPECT_TRUE(Near(At(red, Map_Point(map, 5, 5)), Of(Test_Colour(5, 5))));

    // New pixels under a new generation show; so does the map going away.
    map.Column(5)[5] = Pixel_Rgb(255, 255, 0);
    objects_.Texture_Map_Generation = 8;
    EXPECT_TRUE(Near(At(Frame(), Map_Point(map, 5, 5)), {255, 255, 0}));
    map.Release();
    EXPECT_TRUE(Near(At(Frame(), Map_Point(map, 5, 5)), kRed));
}

// Kept tiles are read at texture coordinates offset into their packed texture: where a pixel centre
// falls within rounding of a texel border the two may pick neighbouring texels, nowhere else.
TEST_F(OverlayFrameTest, KeptTilesMatchUploadedTilesAtAnyScaleAndTurn) {
    ArrayMap map = Test_Map(300, 200);
    for (int x = 0; x < map.width; ++x)
        for (int y = 0; y < map.height; ++y)
            if ((x + y) % 2) map.Column(x)[y] = Pixel_Rgb(255, 255, 255);  // every texel its own
    objects_.Texture_Map = &map;
    objects_.Texture_Map_Generation = 3;
    Look_At_Plane(0, 0, 320, 260);
    const float fitted = view_.Zoom_Scale;
    for (int perspective : {0, 1}) {
        for (float scale : {0.37f, 0.5f, 1.0f, 2.0f, 3.3f}) {
            view_.Perspective_Mode = perspective;
            view_.Zoom_Scale = fitted * scale;
            Mat4_Rotation({0.3f, 0.2f, 1.0f}, 0.4f * scale, view_.Model_Matrix);
            Set_Tile_Keeping(false);
            const Image uploaded = Frame();
            Set_Tile_Keeping(true);
            const Image kept = Frame();
            int differ = 0;
            for (std::size_t i = 0; i < kept.rgba.size(); i += 4)
                differ += std::memcmp(&kept.rgba[i], &uploaded.rgba[i], 3) != 0;
            EXPECT_LE(differ, kW * kH / 5000) << "perspective " << perspective << ", scale " << scale;
        }
    }
}

// A scan whose reading i is `r`, all others no return.
struct Scan {
    VEC_LIST node{Sick_Record};
    explicit Scan(int tag) {
        node.tag = tag;
        node.values[0] = float(tag);
        for (int i = 1; i < Sick_Record; ++i) node.values[i] = 81870.0f;
    }
    void Set(int i, float r) { node.values[i + 1] = r; }
};

TEST_F(OverlayFrameTest, CurrentScanShowsItsReturnsInThePointPassAndPlainWireShowsEveryScan) {
    Scan first(100), second(200);
    first.Set(0, 1000);     // (1000, 0)
    first.Set(180, 300);    // (0, 300): the nearest return drawn
    first.Set(360, 75000);  // (-75000, 0): outside the view, but drawn
    first.Set(90, 299);     // (211, 211): too near
    first.Set(270, 75001);  // too far
    second.Set(120, 800);   // 60 degrees
    first.node.next = &second.node;
    objects_.Scan_First = &first.node;
    objects_.Scan_Current = &first.node;
    Look_At_Plane(-1200, -200, 1200, 1200);
    options_.Width = 3;

    Image image = Frame();
    EXPECT_TRUE(Has_Near(image, {1000, 0, 0}, kWhite));
    EXPECT_TRUE(Has_Near(image, {0, 300, 0}, kWhite));
    EXPECT_FALSE(Has_Near(image, {211.4f, 211.4f, 0}, kWhite, 3));
    EXPECT_FALSE(Has_Near(image, {400, 692.8f, 0}, kWhite, 3)) << "only the current scan";
    EXPECT_TRUE(Near(At(image, {0, 40, 0}), kRed)) << "the scanner body";

    objects_.Scan_Current = &second.node;
    image = Frame();
    EXPECT_TRUE(Has_Near(image, {400, 692.8f, 0}, kWhite));
    EXPECT_FALSE(Has_Near(image, {1000, 0, 0}, kWhite, 3));

    // Plain wire shows every scan, the hidden-line wire none.
    options_.Point_Checked = false;
    options_.Wire_Checked = true;
    options_.Hidden_Face = false;
    objects_.Scan_Current = nullptr;
    image = Frame();
    EXPECT_TRUE(Has_Near(image, {1000, 0, 0}, kWhite));
    EXPECT_TRUE(Has_Near(image, {400, 692.8f, 0}, kWhite));
    options_.Hidden_Face = true;
    image = Frame();
    EXPECT_FALSE(Has_Near(image, {1000, 0, 0}, kWhite, 3));
}

// One camera with the given extrinsics rows, k0 = k4 = 1000, k2 = k5 = 500, scale s.
int Add_Camera(SFMData& data, int c, const float e[12], float s, const char* name, float k0 = 1000) {
    const float k[9] = {k0, 0, 500, 0, 1000, 500, 0, 0, 1};
    std::copy(k, k + 9, data.intrinsics.begin() + 9 * c);
    std::copy(e, e + 12, data.extrinsics.begin() + 12 * c);
    data.scales[std::size_t(c)] = s;
    data.names[std::size_t(c)] = name;
    data.Update_Pose(c);
    return c;
}

TEST_F(OverlayFrameTest, CamerasStandAtTheirCentresWithTheirPyramidsAndGreenNames) {
    SFMData data;
    data.Allocate(1, 4);
    const float p[6] = {0, 0, 0, 1, 1, 0};
    std::copy(p, p + 6, data.points.begin());
    // Turned a quarter about z and moved: centre -R^T t.
    const float turned[12] = {0, 1, 0, 5, -1, 0, 0, 6, 0, 0, 1, 7};
    Add_Camera(data, 0, turned, 2, "cam");
    const float plain[12] = {1, 0, 0, 0, 0, 1, 0, -20, 0, 0, 1, 0};
    Add_Camera(data, 1, plain, 2, "flat", 0);  // k0 = 0: its centre only
    const float singular[12] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    Add_Camera(data, 2, singular, 2, "gone");
    const float far[12] = {1, 0, 0, 20, 0, 1, 0, 0, 0, 0, 1, 0};
    Add_Camera(data, 3, far, 2, "far");
    data.labelled = 0;
    objects_.SFM_Data = &data;
    Look_At_Plane(-30, -10, 20, 30);
    view_.Perspective_Mode = 0;

    Image image = Frame();
    const Vec3 centre = Camera_Centre(data, 0);
    EXPECT_NEAR(centre.x, 6, 1e-5);
    EXPECT_NEAR(centre.y, -5, 1e-5);
    EXPECT_NEAR(centre.z, -7, 1e-5);
    EXPECT_TRUE(Has_Near(image, centre, kWhite));
    EXPECT_TRUE(Has_Near(image, {0, 0, 0}, {255, 255, 0})) << "the point in its colour";
    // The far edge of the pyramid, a line between two base corners in the world.
    const std::array<Vec3, 4> k = Pyramid_World_Corners(data, 0);
    EXPECT_TRUE(Has_Near(image, (k[0] + k[2]) * 0.5f, kWhite));
    EXPECT_TRUE(Has_Near(image, (k[1] + k[3]) * 0.5f, kWhite));
    EXPECT_TRUE(Has_Near(image, (k[0] + k[1]) * 0.5f, kWhite));
    EXPECT_TRUE(Has_Near(image, Camera_Centre(data, 1), kWhite));
    EXPECT_FALSE(Has_Near(image, Camera_Centre(data, 1) + Vec3{0, 0.5f, 1} * 2.0f, kWhite, 2));
    EXPECT_EQ(image.Count(0, 0, kW, kH, kGreen), 0) << "no labels unless labelled";

    data.labelled = 1;
    image = Frame();
    for (int c : {0, 1, 3}) {
        const auto [x, y] = Pixel(Camera_Centre(data, c));
        EXPECT_GT(image.Count(x - 2, y + 1, x + 40, y + 20, kGreen), 20) << "label of camera " << c;
        EXPECT_EQ(image.Count(x - 40, y - 20, x - 3, y, kGreen), 0);
    }
    // "cam", "flat" and "far": 10 blocks of 40 pixels, a few under the nearer pyramid; none for "gone".
    const int green = image.Count(0, 0, kW, kH, kGreen);
    EXPECT_LE(green, 10 * 40);
    EXPECT_GT(green, 9 * 40);
}

TEST_F(OverlayFrameTest, KermitCamerasStandWhereTheyTookTheirPictures) {
    const std::string path = std::string(ORVEX_SHARED_DATA_DIR) + "/sfm_kermit_bundler.sfm";
    SFMData data;
    const Status status = data.Read(path);
    if (data.Empty()) GTEST_SKIP() << path << " is not there: " << status.message;
    ASSERT_EQ(data.cameraCount, 9);
    objects_.SFM_Data = &data;
    Vec3 lo, hi;
    ASSERT_TRUE(Sfm_Bounds(data, lo, hi));
    view_.WidenSceneBounds(lo, hi);
    view_.Perspective_Mode = 0;
    const Vec3 extent = hi - lo;
    view_.Zoom_Scale = 250.0f / std::max(extent.x, extent.y);
    data.labelled = 0;  // labels would cover the pyramids
    const Image image = Frame();
    int centres = 0, edges = 0;
    for (int c = 0; c < 9; ++c) {
        centres += Has_Near(image, Camera_Centre(data, c), kWhite, 1) ? 1 : 0;
        const std::array<Vec3, 4> k = Pyramid_World_Corners(data, c);
        edges += Has_Near(image, (k[0] + k[2]) * 0.5f, kWhite, 1) ? 1 : 0;
    }
    EXPECT_EQ(centres, 9);
    EXPECT_GE(edges, 8);  // one may hide under a point
    const Vec3 first = Camera_Centre(data, 0);
    EXPECT_NEAR(first.x, -0.3281, 1e-3);
    EXPECT_NEAR(first.y, -1.1958, 1e-3);
    EXPECT_NEAR(first.z, 0.4751, 1e-3);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    GlEnvironment::Release();
    return result;
}
