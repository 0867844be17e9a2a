// The Inspector's commands as the idle mailbox runs them, and real frames of the view read back
// from its framebuffer.

#include <QLineEdit>
#include <QListWidget>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSlider>
#include <QtTest/QtTest>

#include "AppTestSupport.h"
#include "render/Camera.h"
#include "tests/ui/UiTestHelpers.h"
#include "ui/ColorSwatch.h"
#include "ui/FileBrowser.h"

using orvex::Matrix4;
using orvex::testing::AppHarness;
using orvex::testing::sameMatrix;

namespace {

// Posts a code as the Inspector's handlers do and lets the event loop go idle.
void post(AppHarness& app, int code) {
    app.inspector().Command = code;
    AppHarness::idleFor();
}

// Waits out the window's own frames (late exposes and resizes on a loaded machine), so that a test
// can tell the frames its commands draw.
void settle(AppHarness& app) {
    for (int i = 0; i < 50; ++i) {
        app.window().Set_Panel_Text(1, "settling");
        AppHarness::idleFor(100);
        if (app.window().Panel_Text(1) == "settling") return;
    }
}

Matrix4 viewOf(int code) {
    Matrix4 m;
    orvex::Mat4_Identity(m);
    orvex::Standard_View(m, code);
    return m;
}

bool near(QRgb pixel, int r, int g, int b, int slack = 3) {
    return std::abs(qRed(pixel) - r) <= slack && std::abs(qGreen(pixel) - g) <= slack &&
           std::abs(qBlue(pixel) - b) <= slack;
}

// Pixels of one colour and the rectangle they span.
struct ColourHits {
    int count = 0;
    QRect span;
};

ColourHits find(const QImage& image, int r, int g, int b, const QRect& within = {}) {
    ColourHits hits;
    const QRect area = within.isNull() ? image.rect() : within;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!near(image.pixel(x, y), r, g, b)) continue;
            ++hits.count;
            hits.span = hits.span.united(QRect(x, y, 1, 1));
        }
    }
    return hits;
}

void clickFile(QListWidget* list, const QString& name) {
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(name));
    const QRect where = list->visualItemRect(items[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, where.center());
}

}  // namespace

class ViewTest : public QObject {
    Q_OBJECT

private slots:
    // ---- The mailbox ---------------------------------------------------------------------------

    void topViewAfterARotationIsTheIdentity() {
        AppHarness app;
        post(app, 701);
        QVERIFY(!sameMatrix(app.window().View.Model_Matrix, viewOf(705)));
        post(app, 705);
        Matrix4 identity;
        orvex::Mat4_Identity(identity);
        QVERIFY(app.window().View.Model_Matrix == identity);
        QCOMPARE(app.inspector().Command, 0);
    }

    void everyStandardViewCodeSetsItsView() {
        AppHarness app;
        for (int code = 701; code <= 710; ++code) {
            post(app, code);
            QVERIFY2(sameMatrix(app.window().View.Model_Matrix, viewOf(code)),
                     qPrintable(QString::number(code)));
            // toward (elements 2, 6, 10) is a unit vector for every view
            const orvex::Vec3 toward = orvex::View_Toward(app.window().View.Model_Matrix);
            QVERIFY(std::fabs(orvex::Dot(toward, toward) - 1.0f) < 1e-5f);
        }
    }

    void trackBarsAtZeroGiveTheRightViewAndNinetyTheFront() {
        AppHarness app;
        app.inspector().Theda_Size->setValue(0);
        app.inspector().Phy_Size->setValue(0);
        post(app, 7);
        QVERIFY(sameMatrix(app.window().View.Model_Matrix, viewOf(708)));
        app.inspector().Theda_Size->setValue(90);  // the Inspector posts 7 itself
        QCOMPARE(app.inspector().Command, 7);
        AppHarness::idleFor();
        QVERIFY(sameMatrix(app.window().View.Model_Matrix, viewOf(709)));
    }

    void onlyTheLastCodePostedBetweenIdlePassesRuns() {
        AppHarness app;
        post(app, 701);
        app.inspector().Command = 705;
        app.inspector().Command = 708;
        AppHarness::idleFor();
        QVERIFY(sameMatrix(app.window().View.Model_Matrix, viewOf(708)));
    }

    void unknownCodesClearWithoutAFrame() {
        AppHarness app;
        AppHarness::idleFor();
        settle(app);
        const Matrix4 before = app.window().View.Model_Matrix;
        app.window().Set_Panel_Text(1, "no frame");
        for (int code : {3, 700, 711, 999}) {
            post(app, code);
            QCOMPARE(app.inspector().Command, 0);
        }
        post(app, 0);
        QCOMPARE(app.window().Panel_Text(1), QString("no frame"));
        QVERIFY(app.window().View.Model_Matrix == before);
        post(app, 2);  // redraw only
        QTRY_VERIFY(app.window().Panel_Text(1).endsWith(" fps. "));
    }

    void cameraDistanceAndProjectionCommands() {
        AppHarness app;
        app.inspector().R_Size->setValue(2500);
        post(app, -1);
        QCOMPARE(app.window().View.Camera_Distance, 2500.0f);
        post(app, 61);
        QCOMPARE(app.window().View.Perspective_Mode, 0);
        post(app, 62);
        QCOMPARE(app.window().View.Perspective_Mode, 1);
        app.inspector().Persp_tick->setValue(5);
        AppHarness::idleFor();
        QCOMPARE(app.window().View.Persp_Ratio, 0.05f);
        app.inspector().Persp_tick->setValue(100);
        AppHarness::idleFor();
        QCOMPARE(app.window().View.Persp_Ratio, 1.0f);
    }

    void arbitraryResolutionSizesTheViewExactly() {
        AppHarness app;
        app.inspector().Resolution_W->setText("320");
        app.inspector().Resolution_H->setText("200");
        post(app, 34);
        QTRY_COMPARE(app.window().View_Widget()->size(), QSize(320, 200));
        post(app, 33);
        QTRY_COMPARE(app.window().View_Widget()->size(), QSize(640, 480));
    }

    void aBadResolutionIsReportedOnceAndKeepsTheGoodWidth() {
        AppHarness app;
        post(app, 33);
        QTRY_COMPARE(app.window().View_Widget()->size(), QSize(640, 480));
        app.inspector().Resolution_W->setText("500");
        app.inspector().Resolution_H->setText("2OO");
        post(app, 34);
        AppHarness::idleFor();  // a second pass must not repeat the error
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(app.messages[0].startsWith("Resolution_H: '2OO'"));
        QCOMPARE(app.inspector().Command, 0);
        QTRY_COMPARE(app.window().View_Widget()->width(), 500);
        QCOMPARE(app.window().View_Widget()->height(), 480);
    }

    void oneClickInTheFileListOpensByExtension() {
        AppHarness app;
        orvex::testing::writeBoxStl(app.path("part.stl"), {2, 2, 2});
        orvex::testing::writeBoxStl(app.path("part.txt"), {2, 2, 2});  // an STL in disguise
        orvex::testing::writeBoxStl(app.path("other.Stl"), {2, 2, 2});
        orvex::FileList* list = app.inspector().FileListBox;
        list->SetMask("*.txt;*.stl");
        list->SetDirectory(app.path(""));
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        app.inspector().PageControl->setCurrentIndex(0);
        AppHarness::idleFor();

        clickFile(list, "part.txt");
        AppHarness::idleFor();
        QVERIFY(app.window().Main_Objects == nullptr);
        clickFile(list, "other.Stl");
        AppHarness::idleFor();
        QVERIFY(app.window().Main_Objects == nullptr);
        clickFile(list, "part.stl");
        AppHarness::idleFor();
        QVERIFY(app.window().Main_Objects != nullptr);
        QCOMPARE(app.window().Panel_Text(3), QString("12 Facets. 8 Points. 24 Area. 8 Vol. "));
        QCOMPARE(app.window().Open_File_Name, app.path("part.stl"));
    }

    // ---- Frames --------------------------------------------------------------------------------

    void defaultFrameShowsThePointsInTheirColourInsideTheBox() {
        AppHarness app;
        AppHarness::idleFor();  // camera distance 1000
        app.answerOpen(QStringList{orvex::testing::writeSphereStl(app.path("ball.stl"), 100.0f, 2)});
        app.window().Open_MenuClick();
        orvex::UniOb& mesh = *app.window().Main_Objects;
        const float colour[4] = {0.0f, 1.0f, 1.0f, 1.0f};  // a colour nothing else in the frame uses
        std::copy(colour, colour + 4, mesh.Color_RGBA);
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        QVERIFY(!image.isNull());

        const ColourHits box = find(image, 255, 128, 255);  // Homo_Bounding_Color 0xFF80FF
        const ColourHits points = find(image, 0, 255, 255);
        QVERIFY2(box.count > 100, qPrintable(QString::number(box.count)));
        QVERIFY2(points.count > 50, qPrintable(QString::number(points.count)));
        QVERIFY(box.span.contains(points.span));
        // A sphere of radius 100 seen from 1000 in this frustum is about 200 pixels across, centred.
        QVERIFY(std::abs(points.span.center().x() - image.width() / 2) < 6);
        QVERIFY(std::abs(points.span.center().y() - image.height() / 2) < 6);
        QVERIFY(points.span.width() > 150 && points.span.width() < 260);

        // The axis mark sits in the 140 x 140 corner at the lower left, and nowhere else.
        const QRect corner(0, image.height() - 140, 140, 140);
        const ColourHits red = find(image, 255, 0, 0, corner);
        QVERIFY2(red.count > 10, qPrintable(QString::number(red.count)));
        QVERIFY(find(image, 255, 0, 0).count == red.count);
    }

    void frameRateGoesToPanelOne() {
        AppHarness app;
        AppHarness::idleFor();
        app.window().Set_Panel_Text(1, "none");
        app.window().Command_Action("ToolButton13")->trigger();
        // The frame is drawn at once when the window is exposed; on a loaded machine that can come
        // a little later, and the frame with it.
        QTRY_VERIFY(app.window().Panel_Text(1) != "none");
        const QString text = app.window().Panel_Text(1);
        QVERIFY2(text == " >60 fps. " || QRegularExpression("^ \\d+\\.\\d fps\\. $").match(text).hasMatch(),
                 qPrintable(text));
    }

    void aNewBackgroundShowsInTheFrameItsCommandDraws() {
        AppHarness app;
        AppHarness::idleFor();
        app.inspector().BG_Color->SetColor(0xFFFFFF);
        post(app, 1);
        const QImage image = app.window().View_Widget()->grabFramebuffer();
        QVERIFY(near(image.pixel(image.width() - 2, 2), 255, 255, 255));
        // The complement of white is black: the axis glyphs turn black.
        const QRect corner(0, image.height() - 140, 140, 140);
        QVERIFY(find(image, 0, 0, 0, corner).count > 10);
    }

    // The swatch of the real Inspector, and the picture the view holds: read straight from its
    // framebuffer, since grabbing it would draw one more frame and hide a colour that lags behind.
    void choosingTheBackgroundShowsItWithoutAnotherRedraw() {
        AppHarness app;
        settle(app);
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        orvex::testing::chooseColor(QColor(250, 250, 250));
        QTest::mouseClick(app.inspector().BG_Color, Qt::LeftButton);
        QCOMPARE(app.inspector().BG_Color->Color(), 0xFAFAFA);
        settle(app);
        orvex::GLView* view = app.window().View_Widget();
        view->makeCurrent();
        QOpenGLFunctions* gl = view->context()->functions();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, view->defaultFramebufferObject());
        // The upper right corner (GL rows count from the bottom): no object and no mark there.
        unsigned char rgba[4] = {};
        const int w = int(view->width() * view->devicePixelRatioF());
        const int h = int(view->height() * view->devicePixelRatioF());
        gl->glReadPixels(w - 4, h - 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        view->doneCurrent();
        QVERIFY2(near(qRgb(rgba[0], rgba[1], rgba[2]), 250, 250, 250),
                 qPrintable(QString("%1 %2 %3").arg(rgba[0]).arg(rgba[1]).arg(rgba[2])));
    }

    // Progress text over the view stays readable whatever the background: dark on white, light on black.
    void canvasTextStandsOutFromTheBackground() {
        AppHarness app;
        AppHarness::idleFor();
        for (const int background : {0xFFFFFF, 0x000000}) {
            app.inspector().BG_Color->SetColor(background);
            post(app, 1);
            app.window().Write_Canvas_Text(200, 200, " Saving to STL file...");
            auto* canvas = app.window().View_Widget()->findChild<QWidget*>("CanvasText");
            QVERIFY(canvas && canvas->isVisible());
            const QImage image = canvas->grab().toImage();
            int dark = 0, light = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qAlpha(pixel) < 255) continue;  // the view shows through around the box
                    const int grey = qGray(pixel);
                    dark += grey < 96;
                    light += grey > 160;
                }
            }
            // The glyphs are the minority colour inside their box.
            const int glyphs = background == 0xFFFFFF ? dark : light;
            QVERIFY2(glyphs > 30, qPrintable(QString("%1 on %2").arg(glyphs).arg(background, 6, 16)));
        }
    }
};

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"
