// Rims, Transfer, line segments and their saves, driven through the window's commands: the ribbon
// on the screen, the range moved by Mesh Formation, both parts drawn after a transfer, LOP imports
// beside what is open, the four names of "Split STL", and screenshots of the GL area.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <cstring>

#include "AppTestSupport.h"
#include "app/MainGrab.h"
#include "facet/Transfer.h"
#include "geometry/Jpeg.h"
#include "render/MeshPasses.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"

using orvex::testing::AppHarness;

namespace {

const QRegularExpression kCostText("^Procedure costs : \\d+ ms$");

QString samples(const QString& name) {
    return QStringLiteral(ORVEX_SAMPLES_DIR "/") + name;
}

void answerSave(AppHarness& app, const QString& name, int entry) {
    app.window().Save_Dialog = [name, entry](int) { return std::optional<orvex::SaveChoice>({name, entry}); };
}

void answerFormation(orvex::TMesh_Formation& form, std::function<void()> answer) {
    QTimer::singleShot(0, &form, [&form, answer] {
        QTRY_VERIFY(form.isVisible());
        answer();
    });
}

void open(AppHarness& app, const QString& path, int entry = 3) {
    AppHarness::idleFor();  // the first idle pass sets the camera distance
    app.answerOpen(QStringList{path}, entry);
    app.window().Command_Action("Open_Menu")->trigger();
}

// A flat n x n grid of squares of side `spacing` in z = 0 from `origin`, written as STL.
QString writeGrid(const QString& path, int n, float spacing, orvex::Vec3 origin) {
    orvex::UniOb mesh;
    orvex::test::Make_Grid(mesh, n, spacing);
    for (orvex::Vec3& p : mesh.Vertex_Pos) p = p + origin;
    orvex::test::Finish_Mesh(mesh);
    const orvex::Status status = orvex::Write_STL(&mesh, path.toStdString());
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}

int countColour(const QImage& image, int r, int g, int b, int tolerance = 2) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - r) <= tolerance && std::abs(qGreen(p) - g) <= tolerance &&
                 std::abs(qBlue(p) - b) <= tolerance;
        }
    return n;
}

int countColour(const QImage& image, const float rgb[3]) {
    return countColour(image, int(std::lround(rgb[0] * 255)), int(std::lround(rgb[1] * 255)),
                       int(std::lround(rgb[2] * 255)));
}

QImage frame(AppHarness& app) {
    return app.window().View_Widget()->grabFramebuffer();
}

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text);
}

int stlFacets(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 84) return -1;
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.constData() + 80, 4);
    return bytes.size() == 84 + 50 * qint64(count) ? int(count) : -1;
}

// The rim of a 20 x 20 plate (normals +z), then a finer, larger plate laid across it and cut.
void detectPlateRimAndTransfer(AppHarness& app) {
    open(app, writeGrid(app.path("rim.stl"), 10, 2.0f, {0, 0, 0}));
    app.window().Command_Action("Detectboundary1")->trigger();
    open(app, writeGrid(app.path("plate.stl"), 17, 1.7f, {-4.35f, -4.35f, 0}));
    app.window().Command_Action("Transfer1")->trigger();
}

// Counts how often a widget is hidden.
class HideCounter : public QObject {
public:
    int hides = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) ++hides;
        return false;
    }
};

}  // namespace

class FacetWindowTest : public QObject {
    Q_OBJECT

private slots:
    void detectBoundaryDrawsTheRibbonAndRefineDoublesTheRange() {
        AppHarness app;
        open(app, samples("bowl.stl"));
        QVERIFY(app.window().Main_Objects);
        const int redBefore = countColour(frame(app), 255, 0, 0, 0);
        app.window().Command_Action("Detectboundary1")->trigger();
        QCOMPARE(app.window().Boundary_Detected.Point_Count(), 97u);
        QCOMPARE(app.window().Boundary_Detected.Points.front(), app.window().Boundary_Detected.Points.back());
        QCOMPARE(std::round(app.window().Boundary_Detected.Length() * 100) / 100, 94.23);
        // "0" to "100" clamps to the last point before the closing one.
        QCOMPARE(app.window().Boundary_Range.Point_Count(), 96u);
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        QVERIFY2(app.window().Panel_Text(3).startsWith("Rim: 97 points; the mesh has 1 rims, 96 rim edges"),
                 qPrintable(app.window().Panel_Text(3)));
        const int redAfter = countColour(frame(app), 255, 0, 0, 0);
        QVERIFY2(redAfter > redBefore + 500, qPrintable(QString("%1 -> %2").arg(redBefore).arg(redAfter)));

        app.window().Command_Action("Refineboundary1")->trigger();
        QCOMPARE(app.window().Boundary_Range.Point_Count(), 191u);
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        // Smoothing keeps the count and both ends.
        const orvex::LoopPoint first = app.window().Boundary_Range.Points.front();
        app.formation().Repeat_Convex->setText("3");
        app.window().Command_Action("ToolButton15")->trigger();
        QCOMPARE(app.window().Boundary_Range.Point_Count(), 191u);
        QCOMPARE(app.window().Boundary_Range.Points.front()[0], first[0]);
        QVERIFY(app.messages.isEmpty());
    }

    void meshFormationMovesTheRangeAndStopsAtText() {
        AppHarness app;
        open(app, samples("bowl.stl"));
        app.window().Command_Action("Detectboundary1")->trigger();
        orvex::TMesh_Formation& form = app.formation();
        form.Sp_start->setText("10");
        form.Sp_end->setText("20");
        answerFormation(form, [&form] { form.BitBtn2->click(); });
        app.window().MeshFormationClick();
        const orvex::BOUNDARY_LOOP& range = app.window().Boundary_Range;
        QCOMPARE(range.Point_Count(), 11u);
        QCOMPARE(range.Points.front(), app.window().Boundary_Detected.Points[10]);
        QCOMPARE(range.Points.back(), app.window().Boundary_Detected.Points[20]);

        form.Sp_start->setText("abc");
        answerFormation(form, [&form] { form.BitBtn2->click(); });
        app.window().MeshFormationClick();
        QCOMPARE(app.messages, QStringList{"Sp_start: 'abc' is not a valid integer value"});
        QCOMPARE(range.Point_Count(), 11u);
        // Detect boundary reads the same fields and stops the same way.
        app.window().Command_Action("Detectboundary1")->trigger();
        QCOMPARE(app.messages.size(), 2);
        QCOMPARE(range.Point_Count(), 11u);
    }

    void transferEmptiesTheMeshesAndTheRangeAndDrawsBothParts() {
        AppHarness app;
        detectPlateRimAndTransfer(app);
        orvex::TMyGL& w = app.window();
        QVERIFY(!w.Main_Objects);
        QVERIFY(w.Boundary_Range.IsEmpty());
        QVERIFY(!w.Split_Part1.IsEmpty());
        QVERIFY(!w.Split_Part2.IsEmpty());
        QVERIFY(w.Split_Part1.Head.Segments);
        const double area = orvex::Facet_Area(w.Split_Part1) + orvex::Facet_Area(w.Split_Part2);
        QVERIFY2(std::fabs(area - 28.9 * 28.9) < 1e-3 * 28.9 * 28.9, qPrintable(QString::number(area)));
        QVERIFY(kCostText.match(w.Panel_Text(0)).hasMatch());
        QCOMPARE(w.Panel_Text(3), QString("Split parts: %1 and %2 facets")
                                      .arg(w.Split_Part1.FacetCount())
                                      .arg(w.Split_Part2.FacetCount()));
        // Plain wire: each part's outlines in its own colour, unlit.
        app.inspector().Wire_Checked->setChecked(true);
        app.inspector().Hidden_Face->setChecked(false);
        w.FormPaint();
        const QImage picture = frame(app);
        QVERIFY(countColour(picture, w.Split_Part1.Color) > 100);
        QVERIFY(countColour(picture, w.Split_Part2.Color) > 100);
        // Vertex arrays and immediate mode draw the same picture, wire and shaded.
        for (bool shaded : {false, true}) {
            if (shaded) app.inspector().Shading_Checked->setChecked(true);
            const QImage arrays = frame(app);
            orvex::Set_Mesh_Submission(orvex::MeshSubmission::Immediate);
            const QImage immediate = frame(app);
            orvex::Set_Mesh_Submission(orvex::MeshSubmission::VertexArrays);
            QCOMPARE(arrays, immediate);
        }
        QVERIFY(app.messages.isEmpty());
    }

    void lineSegmentsImportBesideWhatIsOpen() {
        AppHarness app;
        writeText(app.path("a.lop"), "0,0,0,0,0,1\n1,0,0,0,0,1\n2,0,0,0,0,1\n3,0,0,0,0,1\n");
        writeText(app.path("b.lop"), "0,5,0,1,0,0\r\n0,6,0,1,0,0");
        app.answerOpen(QStringList{app.path("a.lop"), app.path("b.lop")}, 5);
        app.window().Command_Action("LineSegment1")->trigger();
        const orvex::TRI_FACET* head = app.window().Facet_List;
        QVERIFY(head && head->Next && !head->Next->Next);
        // Newest first; each list holds its file reversed.
        QCOMPARE(head->Segments->values[1], 6.0f);
        QCOMPARE(head->Next->Segments->values[0], 3.0f);
        QCOMPARE(app.window().Open_Filter_Index, 5);
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        QVERIFY(app.messages.isEmpty());

        // Entry 5 of the plain open dialog imports too, and empties nothing: not the parts a
        // transfer left, not the point set.
        detectPlateRimAndTransfer(app);
        const std::size_t part2 = app.window().Split_Part2.FacetCount();
        app.window().Point_Set.GenerateRandom(10, 10, 10, 20, orvex::ON_SPHERE, false);
        writeText(app.path("c.lop"), "1,1,1,0,0,1\n2,2,2,0,0,1\nnot a record\n");
        open(app, app.path("c.lop"), 5);
        QCOMPARE(app.window().Split_Part2.FacetCount(), part2);
        QVERIFY(app.window().Point_Set.points.next);
        QCOMPARE(app.window().Facet_List->Segments->values[0], 2.0f);
        QCOMPARE(app.messages.size(), 1);  // the bad third line, named
        QVERIFY2(app.messages.front().contains("3"), qPrintable(app.messages.front()));
        // The frame draws the segments; nothing breaks.
        app.window().FormPaint();
    }

    void splitSaveWritesItsFourNamesAndAsksFirst() {
        AppHarness app;
        detectPlateRimAndTransfer(app);
        // With the meshes gone Detect boundary takes the range from the rim found before.
        app.window().Command_Action("Detectboundary1")->trigger();
        QCOMPARE(app.window().Boundary_Range.Point_Count(), 40u);
        answerSave(app, app.path("a"), 9);
        app.window().Save_MenuClick();
        QVERIFY2(app.messages.isEmpty(), qPrintable(app.messages.join("\n")));
        QCOMPARE(stlFacets(app.path("apart1")), int(app.window().Split_Part1.FacetCount()));
        QCOMPARE(stlFacets(app.path("apart2")), int(app.window().Split_Part2.FacetCount()));
        QVERIFY(QFile::exists(app.path("aspline.lop")));
        QVERIFY(QFile::exists(app.path("aoriginal.lop")));
        QVERIFY(!QFile::exists(app.path("a")));
        QVERIFY(app.window().Panel_Text(3).startsWith("Written: "));
        QVERIFY(app.window().Panel_Text(3).contains("aoriginal.lop"));

        // Only the derived names exist: the question is still asked.
        QStringList questions;
        app.window().Ask_Yes_No = [&questions](const QString& q) {
            questions << q;
            return false;
        };
        app.window().Save_MenuClick();
        QCOMPARE(questions, QStringList{"File exists, Overwrite?"});

        // After a transfer the range is gone: no "original".
        open(app, writeGrid(app.path("again.stl"), 4, 1.0f, {2, 2, 0}));
        app.window().Command_Action("Transfer1")->trigger();
        answerSave(app, app.path("b"), 9);
        app.window().Save_MenuClick();
        QVERIFY(QFile::exists(app.path("bpart1")));
        QVERIFY(!QFile::exists(app.path("boriginal.lop")));
    }

    void screenshotsAreTheGlAreaWithTheInspectorPutBack() {
        AppHarness app;
        open(app, samples("bowl.stl"));
        app.window().Command_Action("Detectboundary1")->trigger();
        app.inspector().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.inspector()));
        HideCounter counter;
        app.inspector().installEventFilter(&counter);
        const QSize area = app.window().View_Widget()->size();

        answerSave(app, app.path("shot.bmp"), 1);
        app.window().Save_MenuClick();
        QCOMPARE(counter.hides, 1);
        QVERIFY(app.inspector().isVisible());
        const QImage bmp(app.path("shot.bmp"), "BMP");
        QCOMPARE(bmp.size(), area);
        QCOMPARE(bmp.depth() == 24 || bmp.format() == QImage::Format_RGB32, true);
        QCOMPARE(bmp.convertToFormat(QImage::Format_RGB32), frame(app).convertToFormat(QImage::Format_RGB32));

        answerSave(app, app.path("shot.jpg"), 2);
        app.window().Save_MenuClick();
        QCOMPARE(counter.hides, 2);
        QVERIFY(app.inspector().isVisible());
        orvex::JpegDecoded decoded;
        const orvex::Status status = orvex::Read_Jpeg_File(app.path("shot.jpg").toStdString(), decoded);
        QVERIFY2(status.ok, status.message.c_str());
        QCOMPARE(QSize(decoded.Image.Width, decoded.Image.Height), area);
        // Close to the frame: the mean difference of a channel is a few levels.
        const orvex::RgbImage shown = orvex::Rgb_Image_From(frame(app));
        double difference = 0;
        for (std::size_t i = 0; i < shown.Pixels.size(); ++i)
            for (int k = 0; k < 3; ++k)
                difference += std::abs(int(shown.Pixels[i] >> (8 * k) & 0xFF) -
                                       int(decoded.Image.Pixels[i] >> (8 * k) & 0xFF));
        QVERIFY2(difference / (3.0 * shown.Pixels.size()) < 4.0, qPrintable(QString::number(difference)));
        QVERIFY(kCostText.match(app.window().Panel_Text(0)).hasMatch());
        QVERIFY(app.messages.isEmpty());
        // The conversions are each other's inverse.
        QCOMPARE(orvex::QImage_From(shown), frame(app).convertToFormat(QImage::Format_RGB32));
        // A folder that does not exist: said, nothing written, the Inspector back all the same.
        for (int entry : {1, 2}) {
            answerSave(app, app.path("missing/shot"), entry);
            app.window().Save_MenuClick();
            QVERIFY(app.inspector().isVisible());
        }
        QCOMPARE(app.messages.size(), 2);
        QVERIFY2(app.messages.back().contains("missing/shot"), qPrintable(app.messages.back()));
        QVERIFY(!QFile::exists(app.path("missing/shot")));
    }

    void freeAllObjectEmptiesEverything() {
        AppHarness app;
        detectPlateRimAndTransfer(app);
        app.window().Command_Action("Detectboundary1")->trigger();
        app.answerOpen(QStringList{}, 5);
        writeText(app.path("a.lop"), "0,0,0,0,0,1\n1,0,0,0,0,1\n");
        app.answerOpen(QStringList{app.path("a.lop")}, 5);
        app.window().Command_Action("LineSegment1")->trigger();
        QVERIFY(app.window().Facet_List);
        QVERIFY(!app.window().Boundary_Range.IsEmpty());
        app.window().Command_Action("ToolButton12")->trigger();
        QVERIFY(app.window().Split_Part1.IsEmpty());
        QVERIFY(!app.window().Split_Part1.Head.Segments);
        QVERIFY(app.window().Split_Part2.IsEmpty());
        QVERIFY(!app.window().Facet_List);
        QVERIFY(app.window().Boundary_Range.IsEmpty());
        // The rim stays.
        QCOMPARE(app.window().Boundary_Detected.Point_Count(), 41u);
        QVERIFY(app.window().Panel_Text(0).startsWith("Procedure Cost: "));
    }
};

QTEST_MAIN(FacetWindowTest)
#include "FacetWindowTest.moc"
