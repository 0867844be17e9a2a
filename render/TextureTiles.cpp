#include "render/TextureTiles.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

#include "render/GL.h"
#include "sfm/ArrayMap.h"

namespace orvex {

namespace {

// Beyond this many tiles (about 140 MB of texels) a map is uploaded frame by frame instead of kept.
constexpr std::size_t kMaxKeptTiles = 8192;
constexpr int kSlot = Tile_Size + 2;
constexpr int kMaxSide = 4096;

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
    // The tiles sit in a few large textures, each in a slot of 66 x 66 texels whose border repeats
    // the tile's edge: sampled as the lone tile would be, clamped at its edges, and drawn in one
    // batch a texture instead of one texture switch a tile.
    std::vector<GLuint> names;
    int side = 0;     // texels a side of each texture
    int perSide = 0;  // slots a side
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

void Set_Nearest_Clamp() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
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

void Make_Kept_Tiles(Tile_Set& set, const ArrayMap& map, int background, std::uint64_t generation, int nx,
                     int ny) {
    Forget_Tiles(set);
    const int tiles = nx * ny;
    int slots = 1;
    while (slots * slots < tiles && (slots + 1) * kSlot <= kMaxSide) ++slots;
    set.side = 64;
    while (set.side < slots * kSlot) set.side *= 2;
    set.perSide = set.side / kSlot;
    const int perTexture = set.perSide * set.perSide;
    set.names.resize(std::size_t((tiles + perTexture - 1) / perTexture));
    glGenTextures(GLsizei(set.names.size()), set.names.data());
    for (GLuint name : set.names) {
        glBindTexture(GL_TEXTURE_2D, name);
        Set_Nearest_Clamp();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, set.side, set.side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    std::vector<std::uint8_t> texels(Tile_Bytes);
    std::vector<std::uint32_t> slot(std::size_t(kSlot) * kSlot);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (int k = 0; k < tiles; ++k) {
        const int p = k / ny, q = k % ny;
        Fill_Tile(map, p, q, std::uint32_t(background), texels.data());
        for (int row = 0; row < kSlot; ++row) {
            const int r = std::clamp(row - 1, 0, Tile_Size - 1);
            for (int col = 0; col < kSlot; ++col) {
                const int c = std::clamp(col - 1, 0, Tile_Size - 1);
                std::memcpy(&slot[std::size_t(row * kSlot + col)],
                            &texels[std::size_t(r * Tile_Size + c) * 4], 4);
            }
        }
        const int within = k % perTexture;
        glBindTexture(GL_TEXTURE_2D, set.names[std::size_t(k / perTexture)]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, (within % set.perSide) * kSlot, (within / set.perSide) * kSlot,
                        kSlot, kSlot, GL_RGBA, GL_UNSIGNED_BYTE, slot.data());
    }
    set.map = &map;
    set.generation = generation;
    set.width = map.width;
    set.height = map.height;
    set.background = background;
}

// Each tile as the two triangles its polygon is drawn as, (0, 1, 2) and (0, 2, 3), with the
// texture coordinates of its slot.
void Draw_Kept_Tiles(const Tile_Set& set, int nx, int ny) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glEnable(GL_TEXTURE_2D);
    const int tiles = nx * ny;
    const int perTexture = set.perSide * set.perSide;
    const float unit = 1.0f / float(set.side);
    for (std::size_t t = 0; t < set.names.size(); ++t) {
        glBindTexture(GL_TEXTURE_2D, set.names[t]);
        glBegin(GL_TRIANGLES);
        glNormal3f(0.0f, 0.0f, 1.0f);
        const int first = int(t) * perTexture, last = std::min(tiles, first + perTexture);
        for (int k = first; k < last; ++k) {
            const int p = k / ny, q = k % ny, within = k - first;
            const float s0 = float((within % set.perSide) * kSlot + 1) * unit;
            const float t0 = float((within / set.perSide) * kSlot + 1) * unit;
            const float s1 = s0 + float(Tile_Size) * unit, t1 = t0 + float(Tile_Size) * unit;
            const float x0 = float(Tile_Size * p), x1 = float(Tile_Size * (p + 1));
            const float y0 = float(Tile_Size * q), y1 = float(Tile_Size * (q + 1));
            const float corner[4][4] = {
                {s1, t0, x1, y1}, {s1, t1, x0, y1}, {s0, t1, x0, y0}, {s0, t0, x1, y0}};
            for (int v : {0, 1, 2, 0, 2, 3}) {
                glTexCoord2f(corner[v][0], corner[v][1]);
                glVertex3f(corner[v][2], corner[v][3], 0.0f);
            }
        }
        glEnd();
    }
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

    if (set) {
        const bool remake = set->map != &map || set->generation != generation || set->width != map.width ||
                            set->height != map.height || set->background != background || set->names.empty();
        if (remake) Make_Kept_Tiles(*set, map, background, generation, nx, ny);
        Draw_Kept_Tiles(*set, nx, ny);
    } else {
        std::vector<std::uint8_t> texels(Tile_Bytes);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glEnable(GL_TEXTURE_2D);
        for (int p = 0; p < nx; ++p) {
            for (int q = 0; q < ny; ++q) {
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
