#include "render/Axes.h"

#include <array>
#include <cstdint>

#include "render/AxisArrows.h"
#include "render/GL.h"

namespace orvex {

namespace {
using GlyphRows = std::array<std::uint16_t, 16>;

// Bottom row first.
constexpr GlyphRows kGlyphRows[3] = {
    {0x0000, 0xF1F8, 0x2060, 0x1060, 0x08C0, 0x04C0, 0x02C0, 0x01C0, 0x0180, 0x01C0, 0x01A0, 0x0390, 0x0308,
     0x0306, 0x0F8F, 0x0000},
    {0x0000, 0x3F00, 0x0E00, 0x0600, 0x0600, 0x0300, 0x0300, 0x0300, 0x0380, 0x0340, 0x0240, 0x0620, 0x0610,
     0x0618, 0x1FBE, 0x0000},
    {0x0000, 0x7FE0, 0x3060, 0x1830, 0x0C10, 0x0C00, 0x0600, 0x0300, 0x0180, 0x00C0, 0x0060, 0x1060, 0x1030,
     0x0818, 0x0FFC, 0x0000},
};

using GlyphBytes = std::array<unsigned char, kAxisGlyphBytes>;

constexpr GlyphBytes Pack(const GlyphRows& rows) {
    GlyphBytes bytes{};
    for (int r = 0; r < 16; ++r) {
        bytes[4 * r] = static_cast<unsigned char>(rows[r] >> 8);
        bytes[4 * r + 1] = static_cast<unsigned char>(rows[r] & 0xFF);
    }
    return bytes;
}

constexpr GlyphBytes kGlyphs[3] = {Pack(kGlyphRows[0]), Pack(kGlyphRows[1]), Pack(kGlyphRows[2])};

void Emit(const std::vector<AxisVertex>& triangles) {
    for (const AxisVertex& v : triangles) {
        glNormal3fv(v.normal.data());
        glVertex3fv(v.position.data());
    }
}
}  // namespace

const unsigned char* Axis_Glyph(int axis) {
    return kGlyphs[axis].data();
}

void Draw_Axes(bool flat, const float colour[3]) {
    glColor3fv(colour);
    // The rows are padded to four bytes; another user of the context may have changed the unpacking.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    static constexpr int kAt[3][3] = {{55, 0, 0}, {0, 55, 0}, {0, 0, 55}};
    for (int axis = 0; axis < 3; ++axis) {
        glRasterPos3i(kAt[axis][0], kAt[axis][1], kAt[axis][2]);
        glBitmap(16, 16, 0, 0, 16, 16, kGlyphs[axis].data());
    }

    static constexpr float kArrowColours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const AxisArrows& arrows = Axis_Arrows(flat);
    glBegin(GL_TRIANGLES);
    Emit(arrows.ball);
    for (int axis = 0; axis < 3; ++axis) {
        glColor3fv(kArrowColours[axis]);
        Emit(arrows.arrow[axis]);
    }
    glEnd();
}

void Draw_Coordinate_Mark(const Matrix4& modelMatrix, const float contrast[3]) {
    // The GL area starts at the widget's own origin, so its lower-left corner is (0, 0).
    glViewport(0, 0, 140, 140);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-75, 75, -75, 75, -1000, 1500);
    Matrix4 rotation;
    Mat4_Identity(rotation);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rotation[4 * r + c] = modelMatrix[4 * r + c];
    glMultMatrixf(rotation.data());
    Draw_Axes(true, contrast);
}

}  // namespace orvex
