#pragma once

#include <QSurfaceFormat>

namespace orvex {

// Compatibility profile with a depth buffer and 8-bit colour: every view draws fixed-function GL.
inline QSurfaceFormat Fixed_Function_Format() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    return format;
}

}  // namespace orvex
