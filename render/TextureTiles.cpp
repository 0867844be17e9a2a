#include "render/TextureTiles.h"

#include <cstddef>
#include <mutex>
#include <vector>

#include "render/GL.h"
#include "sfm/ArrayMap.h"

namespace orvex {

namespace {

// Beyond this many tiles (128 MB of texels) a map is uploaded frame by frame instead of kept.
constexpr std::size_t kMaxKeptTiles = 8192;

// The tiles one context keeps. Contexts share no textures, so each set carries a 1 x 1 tag texture
// holding its serial: the set whose tag reads back its serial belongs to the current context.
struct Tile_Set {
    GLuint tag = 0;
    std::uint32_t serial = 0;
    const ArrayMap* map = nullptr;
    std::uint64_t generation = 0;
    int width = 0;
    int height = 0;
    int background = 0;
    std::vector<GLuint> names;  // p major: tile (p, q) at p * NY + q
};

struct Tile_Sets {
    std::mutex mutex;
    std::vector<Tile_Set> sets;
    std::uint32_t nextSerial = 1;
    bool keep = true;
};

Tile_Sets& Sets() {
    static Tile_Sets sets;
    return sets;
}

bool Tag_Matches(const Tile_Set& set) {
    if (set.tag == 0 || !glIsTexture(set.tag)) return false;
    glBindTexture(GL_TEXTURE_2D, set.tag);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (w != 1 || h != 1) return false;
    std::uint32_t value = 0;
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, &value);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return value == set.serial;
}

// The current context's set, made when it has none. Sets of contexts that are gone (their tag no
// longer reads back) are dropped once there are more than a few.
Tile_Set& Current_Set(Tile_Sets& all) {
    for (Tile_Set& set : all.sets)
        if (Tag_Matches(set)) return set;
    if (all.sets.size() >= 8) all.sets.erase(all.sets.begin());
    Tile_Set set;
    set.serial = all.nextSerial++ | 0x01000000u;  // never 0, whatever the wrap
    glGenTextures(1, &set.tag);
    glBindTexture(GL_TEXTURE_2D, set.tag);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &set.serial);
    all.sets.push_back(std::move(set));
    return all.sets.back();
}

void Forget_Tiles(Tile_Set& set) {
    if (!set.names.empty()) glDeleteTextures(GLsizei(set.names.size()), set.names.data());
    set.names.clear();
    set.map = nullptr;
}

void Upload_Tile(const std::uint8_t* texels) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, Tile_Size, Tile_Size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
}

void Draw_Tile_Quad(int p, int q) {
    const float x0 = float(Tile_Size * p), x1 = float(Tile_Size * (p + 1));
    const float y0 = float(Tile_Size * q), y1 = float(Tile_Size * (q + 1));
    glBegin(GL_POLYGON);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x1, y1, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x0, y1, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(x0, y0, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x1, y0, 0.0f);
    glEnd();
}

}  // namespace

void Set_Tile_Keeping(bool keep) {
    const std::lock_guard<std::mutex> lock(Sets().mutex);
    Sets().keep = keep;
}

bool Tile_Keeping() {
    const std::lock_guard<std::mutex> lock(Sets().mutex);
    return Sets().keep;
}

void Draw_Texture_Tiles(const ArrayMap& map, int background, std::uint64_t generation) {
    Tile_Sets& all = Sets();
    const std::lock_guard<std::mutex> lock(all.mutex);
    const int nx = Tiles_X(map), ny = Tiles_Y(map);
    const bool drawable =
        !map.Empty() && map.pixels.size() >= std::size_t(map.width) * std::size_t(map.height);
    const std::size_t tiles = drawable ? std::size_t(nx) * std::size_t(ny) : 0;
    const bool keep = all.keep && tiles <= kMaxKeptTiles;
    // Only a context that has kept tiles (or is about to) needs its set looked up.
    Tile_Set* set = nullptr;
    if (keep && tiles > 0) {
        set = &Current_Set(all);
    } else if (!all.sets.empty()) {
        for (Tile_Set& each : all.sets)
            if (!each.names.empty() && Tag_Matches(each)) set = &each;
        if (set) Forget_Tiles(*set);  // the map went, or is no longer kept
        set = nullptr;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (tiles == 0) return;

    const bool remake =
        set && (set->map != &map || set->generation != generation || set->width != map.width ||
                set->height != map.height || set->background != background || set->names.size() != tiles);
    if (remake) {
        Forget_Tiles(*set);
        set->names.resize(tiles);
        glGenTextures(GLsizei(tiles), set->names.data());
        set->map = &map;
        set->generation = generation;
        set->width = map.width;
        set->height = map.height;
        set->background = background;
    }
    std::vector<std::uint8_t> texels(Tile_Bytes);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glEnable(GL_TEXTURE_2D);
    for (int p = 0; p < nx; ++p) {
        for (int q = 0; q < ny; ++q) {
            if (set) {
                glBindTexture(GL_TEXTURE_2D, set->names[std::size_t(p) * std::size_t(ny) + std::size_t(q)]);
                if (remake) {
                    Fill_Tile(map, p, q, std::uint32_t(background), texels.data());
                    Upload_Tile(texels.data());
                }
                Draw_Tile_Quad(p, q);
            } else {
                Fill_Tile(map, p, q, std::uint32_t(background), texels.data());
                GLuint name = 0;
                glGenTextures(1, &name);
                glBindTexture(GL_TEXTURE_2D, name);
                Upload_Tile(texels.data());
                Draw_Tile_Quad(p, q);
                glDeleteTextures(1, &name);
            }
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace orvex
