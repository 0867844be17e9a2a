// Laser scans, the texture map and structure-from-motion data in the window: opening them through
// the open dialog and the file list, the scan playback by the tool buttons and the timer (plain
// wire included), the cameras and their green names where the frame puts them, the photo laid
// upright, the files that must change nothing, the "Texture" tile and Free_All_Object.

// clang-format off
// The core headers come before Qt's, whose keyword macro `slots` would rewrite their members.
#include "geometry/Jpeg.h"
#include "sfm/SFMData.h"
#include "sfm/SickScan.h"
// clang-format on

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTextStream>
#include <QtTest/QtTest>

#include "AppTestSupport.h"
#include "render/Camera.h"
#include "ui/FileBrowser.h"

using orvex::testing::AppHarness;

namespace {

constexpr int kSickEntry = 9, kTextureEntry = 7, kSfmEntry = 11;  // open dialog entries

// Scans of 362 integers: the tag, then readings 0..360, each 81870 (no return) unless given.
QString writeSick(const QString& path, const std::vector<std::pair<int, std::map<int, int>>>& scans,
                  int extra = 0) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return {};
    QTextStream out(&file);
    for (const auto& [tag, readings] : scans) {
        out << tag;
        for (int i = 0; i < orvex::Sick_Readings; ++i) {
            const auto found = readings.find(i);
            out << (i % 20 == 0 ? '\n' : ' ') << (found == readings.end() ? 81870 : found->second);
        }
        out << '\n';
    }
    for (int i = 0; i < extra; ++i) out << "400 ";
    return path;
}

// Two scans: tag 1000 with one return at (400, 0), tag 2000 with one at (0, 400).
QString writeTwoScans(AppHarness& app) {
    return writeSick(app.path("two.txt"), {{1000, {{0, 400}}}, {2000, {{180, 400}}}});
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

// A w x h picture in four quarters: red top left, green top right, blue bottom left, white bottom right.
orvex::RgbImage quarters(int w, int h) {
    orvex::RgbImage image;
    image.Width = w;
    image.Height = h;
    image.Pixels.resize(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.Pixels[std::size_t(y) * w + x] =
                !bottom ? (right ? orvex::Pixel_Rgb(0, 255, 0) : orvex::Pixel_Rgb(255, 0, 0))
                        : (right ? orvex::Pixel_Rgb(255, 255, 255) : orvex::Pixel_Rgb(0, 0, 255));
        }
    return image;
}

QString writeJpeg(const QString& path, const orvex::RgbImage& image) {
    const orvex::Status status = orvex::Write_Jpeg_File(path.toStdString(), image, 100);
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}

void open(AppHarness& app, const QString& path, int entry) {
    app.answerOpen(QStringList{path}, entry);
    app.window().Command_Action("Open_Menu")->trigger();
}

// The pixel (from the top) where the frame puts p; (-1, -1) when it has none.
QPoint pixelOf(AppHarness& app, const QImage& image, const orvex::Vec3& p) {
    orvex::Vec3 at;
    if (!orvex::Project_Scene_Point(app.window().View, true, image.width(), image.height(), p, at))
        return {-1, -1};
    return {int(at.x), image.height() - 1 - int(at.y)};
}

bool near(QRgb p, int r, int g, int b, int tol = 2) {
    return std::abs(qRed(p) - r) <= tol && std::abs(qGreen(p) - g) <= tol && std::abs(qBlue(p) - b) <= tol;
}

// A map pixel, 0x00BBGGRR.
bool nearMap(std::uint32_t c, int r, int g, int b, int tol) {
    return near(qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)), r, g, b, tol);
}

int count(const QImage& image, QRect area, int r, int g, int b, int tol = 2) {
    area = area.intersected(image.rect());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += near(image.pixel(x, y), r, g, b, tol);
    return n;
}

bool whiteNear(AppHarness& app, const QImage& image, const orvex::Vec3& p, int radius = 2) {
    const QPoint at = pixelOf(app, image, p);
    return count(image, QRect(at.x() - radius, at.y() - radius, 2 * radius + 1, 2 * radius + 1), 255, 255,
                 255) > 0;
}

// A view of the plane z = 0 from (x0, y0) to (x1, y1), fitted, parallel.
void frame(AppHarness& app, orvex::Vec3 lo, orvex::Vec3 hi) {
    AppHarness::idleFor();  // the first idle moment sets the camera distance
    app.window().View.ResetSceneBounds();
    app.window().View.WidenSceneBounds(lo, hi);
    app.window().View.Perspective_Mode = 0;
    app.window().Command_Action("FitView1")->trigger();
}

}  // namespace

class ScanWindowTest : public QObject {
    Q_OBJECT

private slots:
    void playbackShowsOneScanATickAndStopsAfterTheLast() {
        AppHarness app;
        open(app, writeTwoScans(app), kSickEntry);
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        QCOMPARE(app.window().Panel_Text(3), QString("2 scans. "));
        orvex::TMyGL& window = app.window();
        QVERIFY(window.Scan_First && window.Scan_First->next && !window.Scan_First->next->next);
        QCOMPARE(window.Scan_Current, window.Scan_First);
        frame(app, {-500, -100, -1}, {500, 500, 1});
        app.inspector().The_Width->setCurrentIndex(4);

        app.inspector().hide();
        window.Command_Action("ToolButton5")->trigger();
        QVERIFY(window.Timer->isActive());
        QCOMPARE(window.Timer->interval(), 60);
        QVERIFY(app.inspector().isVisible());
        QImage image = window.View_Widget()->grabFramebuffer();
        QVERIFY(whiteNear(app, image, {400, 0, 0}));
        QVERIFY(!whiteNear(app, image, {0, 400, 0}, 4));

        window.TimerTimer();
        QCOMPARE(window.Panel_Text(3), QString("@time = 1000"));
        QCOMPARE(window.Scan_Current, window.Scan_First->next);
        image = window.View_Widget()->grabFramebuffer();
        QVERIFY(whiteNear(app, image, {0, 400, 0}));
        QVERIFY(!whiteNear(app, image, {400, 0, 0}, 4));
        window.TimerTimer();
        QCOMPARE(window.Panel_Text(3), QString("@time = 2000"));
        QVERIFY(!window.Scan_Current);
        QVERIFY(window.Timer->isActive());
        window.TimerTimer();
        QVERIFY(!window.Timer->isActive());
        QCOMPARE(window.Panel_Text(3), QString("@time = 2000"));

        // Started again, the timer itself plays from the first scan to the end.
        window.Command_Action("ToolButton5")->trigger();
        QCOMPARE(window.Scan_Current, window.Scan_First);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Timer->isActive(), 3000);
        QCOMPARE(window.Panel_Text(3), QString("@time = 2000"));
        QVERIFY(window.Command_Action("ToolButton4")->isChecked());
    }

    void stopKeepsThePlaceAndStartGoesOnFromIt() {
        AppHarness app;
        open(app, writeTwoScans(app), kSickEntry);
        orvex::TMyGL& window = app.window();
        window.Command_Action("ToolButton5")->trigger();
        window.TimerTimer();
        window.Command_Action("ToolButton4")->trigger();
        QVERIFY(!window.Timer->isActive());
        QCOMPARE(window.Scan_Current, window.Scan_First->next);
        window.Command_Action("ToolButton5")->trigger();
        QCOMPARE(window.Scan_Current, window.Scan_First->next);
        window.TimerTimer();
        QCOMPARE(window.Panel_Text(3), QString("@time = 2000"));
        window.Command_Action("ToolButton4")->trigger();
    }

    void plainWireShowsEveryScanAndEndsThePlayback() {
        AppHarness app;
        open(app, writeTwoScans(app), kSickEntry);
        orvex::TMyGL& window = app.window();
        frame(app, {-500, -100, -1}, {500, 500, 1});
        app.inspector().The_Width->setCurrentIndex(4);
        app.inspector().Wire_Checked->setChecked(true);
        app.inspector().Hidden_Face->setChecked(false);
        AppHarness::idleFor();
        window.Command_Action("ToolButton5")->trigger();
        // The tick shows the tag of the scan it drew even though that frame forgot it.
        window.TimerTimer();
        QCOMPARE(window.Panel_Text(3), QString("@time = 1000"));
        QVERIFY(!window.Scan_Current);
        const QImage image = window.View_Widget()->grabFramebuffer();
        QVERIFY(whiteNear(app, image, {400, 0, 0}));
        QVERIFY(whiteNear(app, image, {0, 400, 0}));
        window.TimerTimer();
        QVERIFY(!window.Timer->isActive());
        QCOMPARE(window.Panel_Text(3), QString("@time = 1000"));
    }

    void sickFilesThatGiveNoScanKeepTheScansAndSaySo() {
        AppHarness app;
        open(app, writeTwoScans(app), kSickEntry);
        const orvex::VEC_LIST* scans = app.window().Scan_First;
        const QString files[] = {writeSick(app.path("short.txt"), {}, 361), app.path("absent.txt"),
                                 writeBytes(app.path("words.txt"), "12 13 fourteen\n")};
        for (const QString& file : files) {
            app.messages.clear();
            open(app, file, kSickEntry);
            QCOMPARE(app.messages.size(), 1);
            QVERIFY2(app.messages[0].contains(QFileInfo(file).fileName()), qPrintable(app.messages[0]));
            QCOMPARE(app.window().Scan_First, scans);
        }
        QVERIFY2(app.messages[0].contains("line 1"), qPrintable(app.messages[0]));
        // 723 integers: one scan kept, the rest reported.
        app.messages.clear();
        open(app, writeSick(app.path("one.txt"), {{5, {}}}, 361), kSickEntry);
        QCOMPARE(app.window().Panel_Text(3), QString("1 scans. "));
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(app.window().Scan_First != scans && !app.window().Scan_First->next);
    }

    void seattleScansPlayFromTheirFirstTag() {
        const QString path = QStringLiteral(ORVEX_SHARED_DATA_DIR "/sick_seattle_lms.txt");
        if (!QFile::exists(path)) QSKIP("../shared/data/sick_seattle_lms.txt is not there");
        AppHarness app;
        open(app, path, kSickEntry);
        QCOMPARE(app.window().Panel_Text(3), QString("241 scans. "));
        app.window().Command_Action("ToolButton5")->trigger();
        app.window().TimerTimer();
        QCOMPARE(app.window().Panel_Text(3), QString("@time = 0"));
        app.window().Command_Action("ToolButton4")->trigger();
    }

    void camerasAndTheirGreenNamesStandWhereTheFramePutsThem() {
        const QString path = QStringLiteral(ORVEX_SHARED_DATA_DIR "/sfm_kermit_bundler.sfm");
        if (!QFile::exists(path)) QSKIP("../shared/data/sfm_kermit_bundler.sfm is not there");
        AppHarness app;
        open(app, path, kSfmEntry);
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        QCOMPARE(app.window().Panel_Text(3), QString("631 points. 9 cameras loaded."));
        const orvex::SFMData& data = app.window().SFMData;
        QCOMPARE(data.labelled, 1);
        QCOMPARE(QString::fromStdString(data.names[0]), QString("kermit000.jpg"));
        checkCameras(app, data);
    }

    void ourSampleOpensFromTheFileList() {
        AppHarness app;
        QFile::copy(QStringLiteral(ORVEX_SAMPLES_DIR "/ring.sfm"), app.path("ring.sfm"));
        app.inspector().FileListBox->SetDirectory(app.path(""));
        app.inspector().FileListBox->Refresh();
        QList<QListWidgetItem*> items = app.inspector().FileListBox->findItems("ring.sfm", Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QListWidget* list = app.inspector().FileListBox;
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        list->scrollToItem(items[0]);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items[0]).center());
        AppHarness::idleFor();
        QCOMPARE(app.window().Panel_Text(3), QString("240 points. 8 cameras loaded."));
        app.inspector().hide();
        checkCameras(app, app.window().SFMData);
    }

    void uprightPhotoSetsTheBoundsAndShowsItsColours() {
        AppHarness app;
        open(app, writeJpeg(app.path("photo.jpg"), quarters(200, 100)), kTextureEntry);
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("; ")));
        orvex::TMyGL& window = app.window();
        QCOMPARE(window.View.Scene_Min, (orvex::Vec3{0, 0, -1}));
        QCOMPARE(window.View.Scene_Max, (orvex::Vec3{200, 100, 1}));
        QCOMPARE(window.ArrayMap.width, 200);
        QCOMPARE(window.ArrayMap.height, 100);
        QVERIFY(nearMap(window.ArrayMap.At(10, 10), 255, 0, 0, 8));
        QVERIFY(nearMap(window.ArrayMap.At(190, 90), 255, 255, 255, 8));
        AppHarness::idleFor();
        window.View.Perspective_Mode = 0;
        window.Command_Action("FitView1")->trigger();
        // Rows run down from y = 128 (two tiles high): the top row is the higher one.
        const QImage image = window.View_Widget()->grabFramebuffer();
        const auto colourAt = [&](float x, float y) {
            return image.pixel(pixelOf(app, image, {x + 0.5f, 128 - y - 0.5f, 0}));
        };
        QVERIFY(near(colourAt(20, 20), 255, 0, 0, 10));
        QVERIFY(near(colourAt(180, 20), 0, 255, 0, 10));
        QVERIFY(near(colourAt(20, 80), 0, 0, 255, 10));
        QVERIFY(near(colourAt(180, 80), 255, 255, 255, 10));
        QVERIFY(near(image.pixel(pixelOf(app, image, {100, 10, 0})), 0, 0, 0));  // below the picture

        // A file that is no JPEG keeps the map and the bounds and says why.
        const QString bad[] = {writeBytes(app.path("bad.jpg"), QByteArray("\xFF\xD8\xFF\xE0 not really", 15)),
                               app.path("absent.jpg")};
        for (const QString& file : bad) {
            app.messages.clear();
            open(app, file, kTextureEntry);
            QCOMPARE(app.messages.size(), 1);
            QVERIFY2(app.messages[0].contains(QFileInfo(file).fileName()), qPrintable(app.messages[0]));
            QCOMPARE(window.ArrayMap.width, 200);
            QVERIFY(nearMap(window.ArrayMap.At(10, 10), 255, 0, 0, 8));
            QCOMPARE(window.View.Scene_Max, (orvex::Vec3{200, 100, 1}));
        }
    }

    void textureTileTakesTheTopLeftOfThePicture() {
        AppHarness app;
        orvex::TMyGL& window = app.window();
        window.Open_Filter_Index = 4;
        int asked = 0;
        window.Open_Dialog = [&](int entry, bool multi) -> std::optional<orvex::OpenChoice> {
            asked = entry;
            if (multi) return std::nullopt;
            return orvex::OpenChoice{{writeJpeg(app.path("tile.jpg"), quarters(100, 100))}, entry};
        };
        window.Command_Action("Texture1")->trigger();
        QCOMPARE(asked, 7);
        QCOMPARE(window.Open_Filter_Index, 3);
        const auto texel = [&](int i, int j) {
            const std::uint8_t* t = &window.Tile_Image[std::size_t(i * 64 + j) * 4];
            return qRgba(t[0], t[1], t[2], t[3]);
        };
        QVERIFY(near(texel(10, 10), 255, 0, 0, 8));
        QVERIFY(near(texel(60, 10), 0, 255, 0, 8));  // texel (i, j) is pixel x = i, y = j
        QVERIFY(near(texel(10, 60), 0, 0, 255, 8));
        QCOMPARE(qAlpha(texel(60, 60)), 255);

        // A smaller picture copies what it has and leaves the rest.
        const QRgb inside = texel(40, 40), below = texel(5, 20);
        window.Open_Dialog = [&](int entry, bool) -> std::optional<orvex::OpenChoice> {
            return orvex::OpenChoice{{writeJpeg(app.path("small.jpg"), quarters(20, 10))}, entry};
        };
        window.Command_Action("Texture1")->trigger();
        QVERIFY(near(texel(2, 2), 255, 0, 0, 8));
        QVERIFY(near(texel(15, 8), 255, 255, 255, 8));
        QCOMPARE(texel(40, 40), inside);
        QCOMPARE(texel(5, 20), below);
        QCOMPARE(window.Open_Filter_Index, 3);
    }

    void freeAllReleasesScansCamerasAndMap() {
        AppHarness app;
        orvex::TMyGL& window = app.window();
        open(app, writeTwoScans(app), kSickEntry);
        open(app, QStringLiteral(ORVEX_SAMPLES_DIR "/ring.sfm"), kSfmEntry);
        open(app, writeJpeg(app.path("photo.jpg"), quarters(80, 70)), kTextureEntry);
        QVERIFY(window.Scan_First && !window.SFMData.Empty() && !window.ArrayMap.Empty());
        AppHarness::idleFor();
        // Red is the map's top left quarter (and the coordinate mark's x arrow in the corner).
        const auto redAboveTheMark = [&] {
            const QImage image = window.View_Widget()->grabFramebuffer();
            return count(image, QRect(150, 0, image.width() - 150, image.height()), 255, 0, 0, 40);
        };
        QVERIFY(redAboveTheMark() > 200);
        window.Command_Action("ToolButton12")->trigger();
        QVERIFY(!window.Scan_First && !window.Scan_Current);
        QVERIFY(window.SFMData.Empty());
        QVERIFY(window.ArrayMap.Empty());
        QCOMPARE(window.View.Scene_Min, (orvex::Vec3{100000, 100000, 100000}));
        QCOMPARE(redAboveTheMark(), 0);
    }

private:
    // Every camera centre in the contrast colour and a green name just above it.
    void checkCameras(AppHarness& app, const orvex::SFMData& data) {
        orvex::Vec3 lo, hi;
        QVERIFY(orvex::Sfm_Bounds(data, lo, hi));
        frame(app, lo, hi);
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        int centres = 0, labels = 0;
        for (int c = 0; c < data.cameraCount; ++c) {
            centres += whiteNear(app, image, orvex::Camera_Centre(data, c)) ? 1 : 0;
            const QPoint at = pixelOf(app, image, orvex::Camera_Centre(data, c));
            labels += count(image, QRect(at.x() - 2, at.y() - 24, 60, 24), 0, 255, 0) > 10 ? 1 : 0;
        }
        QCOMPARE(centres, data.cameraCount);
        QCOMPARE(labels, data.cameraCount);
        // Green is the names' alone.
        QVERIFY(count(image, image.rect(), 0, 255, 0) > 30 * data.cameraCount);
    }
};

QTEST_MAIN(ScanWindowTest)
#include "ScanWindowTest.moc"
