// The picture of the GL area: what screenshots, the clipboard copy and captured frames save.

#include "app/MainGrab.h"

#include "app/GLView.h"
#include "app/Main.h"

namespace orvex {

RgbImage Rgb_Image_From(const QImage& image) {
    RgbImage out;
    if (image.isNull()) return out;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    out.Width = rgb.width();
    out.Height = rgb.height();
    out.Pixels.resize(std::size_t(out.Width) * std::size_t(out.Height));
    std::uint32_t* to = out.Pixels.data();
    for (int y = 0; y < out.Height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < out.Width; ++x) *to++ = Pixel_Rgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x]));
    }
    return out;
}

QImage QImage_From(const RgbImage& image) {
    if (!image.Consistent()) return {};
    QImage out(image.Width, image.Height, QImage::Format_RGB32);
    for (int y = 0; y < image.Height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t c = image.At(x, y);
            row[x] = qRgb(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
        }
    }
    return out;
}

RgbImage TMyGL::Grab_GL_Area() {
    // The Inspector may float over the view; it is out of the way while the frame is drawn.
    const bool hide = inspector_ && inspector_->isVisible();
    if (hide) inspector_->hide();
    FormPaint();
    // The view's own framebuffer, drawn again: neither bars nor windows above it can show.
    const QImage frame = glView_->grabFramebuffer();
    if (hide) inspector_->show();
    return Rgb_Image_From(frame);
}

}  // namespace orvex
