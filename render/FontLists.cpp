#include "render/FontLists.h"

#include <cstring>
#include <mutex>

#include "render/GL.h"

namespace orvex {

namespace {
std::mutex& Glyph_Mutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<const Label_Glyphs>& Glyphs() {
    static std::shared_ptr<const Label_Glyphs> glyphs;
    return glyphs;
}
}  // namespace

void Set_Label_Glyphs(std::shared_ptr<const Label_Glyphs> glyphs) {
    const std::lock_guard<std::mutex> lock(Glyph_Mutex());
    Glyphs() = std::move(glyphs);
}

bool Build_Font_Lists() {
    // Contexts share nothing: the last list tells whether this one was built here already.
    if (glIsList(kFontListBase + kFontListCount - 1)) {
        glListBase(kFontListBase);
        return true;
    }
    std::shared_ptr<const Label_Glyphs> glyphs;
    {
        const std::lock_guard<std::mutex> lock(Glyph_Mutex());
        glyphs = Glyphs();
    }
    if (!glyphs) return false;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (int code = 0; code < kFontListCount; ++code) {
        const Glyph_Bitmap& g = (*glyphs)[code];
        const bool whole = g.Width > 0 && g.Height > 0 &&
                           g.Bits.size() >= std::size_t(Glyph_Row_Bytes(g.Width)) * std::size_t(g.Height);
        glNewList(kFontListBase + code, GL_COMPILE);
        if (whole)
            glBitmap(g.Width, g.Height, g.X_Origin, g.Y_Origin, g.Advance, 0.0f, g.Bits.data());
        else
            glBitmap(0, 0, 0.0f, 0.0f, g.Advance, 0.0f, nullptr);
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glListBase(kFontListBase);
    return true;
}

void Print_Label(const char* text) {
    if (!text) return;
    const std::size_t n = strnlen(text, kLabelMaxLength);
    if (n == 0) return;
    glListBase(kFontListBase);
    glCallLists(GLsizei(n), GL_UNSIGNED_BYTE, text);
}

}  // namespace orvex
