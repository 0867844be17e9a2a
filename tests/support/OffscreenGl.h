#pragma once
// A compatibility-profile GL context drawing into an offscreen framebuffer of a fixed size, for
// frames that are read back (tests) or timed (benchmarks). Needs a display with GL (Mesa under
// Xvfb has one); without it Ready() is false and Reason() says why.

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>
#include <memory>
#include <string>

#include "render/Frame.h"

namespace orvex::test {

class OffscreenGl {
public:
    OffscreenGl(int width, int height) {
        QSurfaceFormat format;
        format.setRenderableType(QSurfaceFormat::OpenGL);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        format.setStencilBufferSize(8);
        surface_.setFormat(format);
        surface_.create();
        context_ = std::make_unique<QOpenGLContext>();
        context_->setFormat(format);
        if (!surface_.isValid()) {
            reason_ = "no offscreen surface on this platform";
            return;
        }
        if (!context_->create() || !context_->makeCurrent(&surface_)) {
            reason_ = "no OpenGL context on this display";
            return;
        }
        if (context_->format().profile() == QSurfaceFormat::CoreProfile) {
            reason_ = "only a core-profile context is available";
            return;
        }
        fbo_ = std::make_unique<QOpenGLFramebufferObject>(width, height,
                                                          QOpenGLFramebufferObject::CombinedDepthStencil);
        if (!fbo_->isValid() || !fbo_->bind()) {
            reason_ = "no framebuffer object";
            return;
        }
        Init_Main_Context();
        ready_ = true;
    }
    ~OffscreenGl() {
        if (fbo_ && context_->makeCurrent(&surface_)) fbo_.reset();
        context_.reset();
    }
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Reason() const { return reason_; }
    void Make_Current() {
        context_->makeCurrent(&surface_);
        fbo_->bind();
    }

private:
    QOffscreenSurface surface_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOpenGLFramebufferObject> fbo_;
    bool ready_ = false;
    std::string reason_;
};

}  // namespace orvex::test
