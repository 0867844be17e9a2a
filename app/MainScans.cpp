// Laser scans, the texture map and structure-from-motion data: opening them (kinds 7, 9 and 12),
// the "Texture" tile, the scan playback and the glyphs the scene's labels are printed with.
// A file that cannot be read, or holds nothing to show, leaves what is open as it was: each file
// is read aside first and only a read that gave something clears and installs.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "geometry/Jpeg.h"
#include "render/FontLists.h"
#include "sfm/ArrayMap.h"
#include "sfm/SFMData.h"
#include "sfm/SickScan.h"
// clang-format on

#include <QAction>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <memory>

#include "app/LocalPath.h"
#include "app/Main.h"

namespace orvex {

namespace {

QString From_Status(const Status& status) {
    return QString::fromStdString(status.message);
}

// The label glyphs: the desktop's bold general font, unsmoothed, at a size near the stock system
// font's. Codes below 32 and from 127 to 159 are controls: they print nothing.
std::shared_ptr<const Label_Glyphs> Make_Label_Glyphs() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(13);
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(font);
    const int height = std::max(1, metrics.ascent() + metrics.descent());
    auto glyphs = std::make_shared<Label_Glyphs>();
    for (int code = 32; code < kFontListCount; ++code) {
        if (code >= 127 && code < 160) continue;
        const QString text(QChar::fromLatin1(char(code)));
        const int advance = metrics.horizontalAdvance(text);
        const int width = std::max(1, advance + 1);  // bold strokes may reach past the advance
        QImage picture(width, height, QImage::Format_Grayscale8);
        picture.fill(0);
        QPainter painter(&picture);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(0, metrics.ascent(), text);
        painter.end();
        Glyph_Bitmap& glyph = (*glyphs)[code];
        glyph.Width = width;
        glyph.Height = height;
        glyph.Y_Origin = float(metrics.descent());
        glyph.Advance = float(advance);
        const int rowBytes = Glyph_Row_Bytes(width);
        glyph.Bits.assign(std::size_t(rowBytes) * std::size_t(height), 0);
        for (int row = 0; row < height; ++row) {
            const uchar* line = picture.constScanLine(height - 1 - row);  // bottom row first
            for (int x = 0; x < width; ++x)
                if (line[x] >= 128)
                    glyph.Bits[std::size_t(row * rowBytes + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
    }
    return glyphs;
}

}  // namespace

void TMyGL::installLabelFont() {
    static const std::shared_ptr<const Label_Glyphs> glyphs = Make_Label_Glyphs();
    Set_Label_Glyphs(glyphs);
}

void TMyGL::openOverlay(int kind, QString& problem) {
    const std::string path = Local_Path(Open_File_Name);
    if (kind == 7) {
        // The map keeps its pixels unless the picture decodes.
        std::string warning;
        const Status status = Load_Texture_Map(ArrayMap, path, &warning);
        if (!status) {
            problem = From_Status(status);
            Set_Panel_Text(3, problem);
            return;
        }
        ++textureGeneration_;
        clearForNewFile();
        View.Scene_Min = {0.0f, 0.0f, -1.0f};
        View.Scene_Max = {float(ArrayMap.width), float(ArrayMap.height), 1.0f};
        if (!warning.empty()) Set_Panel_Text(3, QString::fromStdString(warning));
    } else if (kind == 9) {
        VEC_LIST* scans = nullptr;
        SickReadReport report;
        const Status status = Read_Sick(path, scans, &report);
        if (!status) problem = From_Status(status);
        if (!scans) {
            if (problem.isEmpty()) problem = Open_File_Name + QStringLiteral(": no complete scan");
            Set_Panel_Text(3, problem);
            return;
        }
        clearForNewFile();
        Free_Vec_List(Scan_First);
        Scan_First = scans;
        Scan_Current = Scan_First;
        Set_Panel_Text(3, QStringLiteral("%1 scans. ").arg(report.scans));
    } else if (kind == 12) {
        orvex::SFMData data;
        const Status status = data.Read(path);
        if (!status) problem = From_Status(status);
        if (data.Empty()) {
            if (problem.isEmpty()) problem = Open_File_Name + QStringLiteral(": no point or camera");
            Set_Panel_Text(3, problem);
            return;
        }
        clearForNewFile();
        SFMData = std::move(data);
        Set_Panel_Text(
            3,
            QStringLiteral("%1 points. %2 cameras loaded.").arg(SFMData.pointCount).arg(SFMData.cameraCount));
    }
}

void TMyGL::Texture1Click() {
    Open_Filter_Index = 7;
    const std::optional<OpenChoice> choice = Open_Dialog(Open_Filter_Index, false);
    Open_Filter_Index = 3;
    if (!choice || choice->Files.isEmpty()) return;
    JpegDecoded decoded;
    const Status status = Read_Jpeg_File(Local_Path(choice->Files.front()), decoded);
    if (!status) {
        Show_Message(From_Status(status));
        return;
    }
    Copy_Texture_Tile(decoded.Image, Tile_Image.data());
    if (!decoded.Warning.empty()) Set_Panel_Text(3, QString::fromStdString(decoded.Warning));
}

void TMyGL::ToolButton5Click() {
    if (inspector_) inspector_->show();
    if (QAction* play = Command_Action(QStringLiteral("ToolButton5"))) play->setChecked(true);
    Timer->start();
    if (!Scan_Current) Scan_Current = Scan_First;
}

void TMyGL::ToolButton4Click() {
    Timer->stop();
    if (QAction* stop = Command_Action(QStringLiteral("ToolButton4"))) stop->setChecked(true);
}

void TMyGL::TimerTimer() {
    if (!Scan_Current) {
        ToolButton4Click();
        return;
    }
    // The frame may forget the current scan (the plain wire frame shows them all): the tag is taken
    // first, and the cursor moves on only from the scan it still holds.
    const VEC_LIST* shown = Scan_Current;
    const std::int32_t tag = shown->tag;
    FormPaint();
    Set_Panel_Text(3, QStringLiteral("@time = %1").arg(tag));
    if (Scan_Current == shown) Scan_Current = Scan_Current->next;
}

}  // namespace orvex
