#include "render/Voxels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "render/GL.h"
#include "volume/CtVolume.h"

namespace orvex {

namespace {
// The voxels' own records are the vertex array (three ints at the start of each); the greys are
// made a chunk at a time so that a dense scan does not need a second copy of its list.
constexpr std::size_t kChunk = 1 << 16;
static_assert(offsetof(VEXEL, i) == 0 && offsetof(VEXEL, j) == sizeof(int) &&
              offsetof(VEXEL, k) == 2 * sizeof(int));
}  // namespace

void Draw_Voxels(const CT_3D& volume) {
    const std::vector<VEXEL>& voxels = volume.voxels;
    if (voxels.empty()) return;
    glDisable(GL_DEPTH_TEST);
    const GLboolean blended = glIsEnabled(GL_BLEND);
    glDisable(GL_BLEND);
    glPointSize(1.0f);
    std::vector<float> greys(3 * std::min(kChunk, voxels.size()));
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (std::size_t start = 0; start < voxels.size(); start += kChunk) {
        const std::size_t count = std::min(kChunk, voxels.size() - start);
        for (std::size_t m = 0; m < count; ++m) {
            const float g = std::exp(-voxels[start + m].intensity);
            greys[3 * m] = greys[3 * m + 1] = greys[3 * m + 2] = g;
        }
        glVertexPointer(3, GL_INT, sizeof(VEXEL), &voxels[start].i);
        glColorPointer(3, GL_FLOAT, 0, greys.data());
        glDrawArrays(GL_POINTS, 0, GLsizei(count));
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (blended) glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace orvex
