// Frames of a 2,000,000-triangle mesh in points, wire, hidden-line and shaded modes, sent as vertex
// arrays (what the window uses) and in immediate mode (the reference picture). Needs a display with
// GL: run it under `xvfb-run -a`. Each benchmark reports frames per second ("fps"). BM_Texture_Map
// times the texture map's frame.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <memory>

#include "render/Camera.h"
#include "render/Frame.h"
#include "render/GL.h"
#include "render/MeshPasses.h"
#include "render/TextureTiles.h"
#include "sfm/ArrayMap.h"
#include "tests/support/OffscreenGl.h"
#include "tests/support/TestMeshes.h"

using namespace orvex;

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr int kGrid = 1000;  // 2 x 1000^2 triangles

enum Mode { kPoints, kWire, kHiddenLine, kShaded };

struct Scene {
    UniOb mesh;
    ViewState view;
};

// A rippled sheet: every triangle faces the camera at a different angle, so shading does real work.
Scene& The_Scene() {
    static std::unique_ptr<Scene> scene;
    if (!scene) {
        scene = std::make_unique<Scene>();
        UniOb& mesh = scene->mesh;
        test::Make_Grid(mesh, kGrid, 1.0f);
        for (Vec3& p : mesh.Vertex_Pos) p.z = 20.0f * std::sin(p.x / 40.0f) * std::cos(p.y / 55.0f);
        test::Finish_Mesh(mesh);
        const float c[4] = {0.2f, 0.6f, 1.0f, 1.0f};
        for (int i = 0; i < 4; ++i) mesh.Color_RGBA[i] = c[i];
        scene->view.Camera_Distance = 1600;
        scene->view.Zoom_Scale = 1.0f;
        scene->view.WidenSceneBounds(mesh.Box_Min, mesh.Box_Max);
    }
    return *scene;
}

test::OffscreenGl* gGl = nullptr;

void BM_Frame(benchmark::State& state) {
    if (!gGl || !gGl->Ready()) {
        state.SkipWithError(gGl ? gGl->Reason().c_str() : "no GL context");
        return;
    }
    const Mode mode = Mode(state.range(0));
    const bool arrays = state.range(1) != 0;
    Scene& scene = The_Scene();
    gGl->Make_Current();
    DisplayOptions options;
    options.Point_Checked = mode == kPoints;
    options.Wire_Checked = mode == kWire || mode == kHiddenLine;
    options.Hidden_Face = mode == kHiddenLine;
    options.Shading_Checked = mode == kShaded;
    SceneObjects objects;
    objects.Main_Objects = &scene.mesh;
    Set_Mesh_Submission(arrays ? MeshSubmission::VertexArrays : MeshSubmission::Immediate);
    Render_Main_Frame(kWidth, kHeight, scene.view, options, objects);  // warm caches and lists
    glFinish();
    for (auto _ : state) {
        Render_Main_Frame(kWidth, kHeight, scene.view, options, objects);
        glFinish();
    }
    Set_Mesh_Submission(MeshSubmission::VertexArrays);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    static const char* kNames[] = {"points", "wire", "hidden-line", "shaded"};
    state.SetLabel(std::string(kNames[mode]) + (arrays ? ", vertex arrays" : ", immediate"));
}

BENCHMARK(BM_Frame)
    ->ArgsProduct({{kPoints, kWire, kHiddenLine, kShaded}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// A 4096 x 3072 texture map (65 x 49 tiles of 64 x 64, 52 MB of texels) under an otherwise empty
// scene, fitted to the view: its tiles kept between frames or uploaded every frame, and the same
// frame without the map, which the other two add to.
void BM_Texture_Map(benchmark::State& state) {
    if (!gGl || !gGl->Ready()) {
        state.SkipWithError(gGl ? gGl->Reason().c_str() : "no GL context");
        return;
    }
    static std::unique_ptr<ArrayMap> map;
    if (!map) {
        map = std::make_unique<ArrayMap>();
        map->Allocate(4096, 3072);
        for (int x = 0; x < map->width; ++x)
            for (int y = 0; y < map->height; ++y)
                map->Column(x)[y] = Pixel_Rgb(unsigned(x / 16), unsigned(y / 12), unsigned((x + y) / 28));
    }
    const int mode = int(state.range(0));
    gGl->Make_Current();
    ViewState view;
    view.Camera_Distance = 5000;
    view.Perspective_Mode = 0;
    view.WidenSceneBounds({0, 0, -1}, {4096, 3072, 1});
    const ProjectionNumbers p = Projection_Numbers(kWidth, kHeight, 0, view.Persp_Ratio);
    view.Zoom_Scale = float(std::min((p.right - p.left) / 4096, (p.top - p.bottom) / 3136));
    if (state.range(1)) view.Zoom_Scale = float((p.right - p.left) / kWidth);  // a texel a pixel
    DisplayOptions options;
    SceneObjects objects;
    objects.Texture_Map = mode == 2 ? nullptr : map.get();
    objects.Texture_Map_Generation = 1;
    Set_Tile_Keeping(mode == 0);
    Render_Main_Frame(kWidth, kHeight, view, options, objects);  // the kept tiles are made here
    glFinish();
    for (auto _ : state) {
        Render_Main_Frame(kWidth, kHeight, view, options, objects);
        glFinish();
    }
    Set_Tile_Keeping(true);
    static const char* kNames[] = {"4096 x 3072 map, tiles kept", "4096 x 3072 map, uploaded every frame",
                                   "no map"};
    state.SetLabel(std::string(kNames[mode]) + (state.range(1) ? ", a texel a pixel" : ", whole map in view"));
}

BENCHMARK(BM_Texture_Map)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        test::OffscreenGl gl(kWidth, kHeight);
        if (!gl.Ready()) std::fprintf(stderr, "orvex_bench_render: %s\n", gl.Reason().c_str());
        gGl = &gl;
        benchmark::RunSpecifiedBenchmarks();
        gGl = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
