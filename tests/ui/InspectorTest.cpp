// The Tool Inspector driven as a user drives it: every control's default, the code it leaves in the
// mailbox, the light selector and the file browser.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QtTest>
#include <memory>

#include "UiTestHelpers.h"
#include "ui/ColorSwatch.h"
#include "ui/FileBrowser.h"
#include "ui/FileKind.h"
#include "ui/Inspector.h"

using orvex::TInspector;
using orvex::testing::clickButton;

class InspectorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TInspector> in;

    void showPage(const QString& title) {
        for (int i = 0; i < in->PageControl->count(); ++i) {
            if (in->PageControl->tabText(i) == title) in->PageControl->setCurrentIndex(i);
        }
        QCoreApplication::processEvents();
    }

private slots:
    void init() {
        in = std::make_unique<TInspector>();
        in->show();
        QVERIFY(QTest::qWaitForWindowExposed(in.get()));
    }
    void cleanup() { in.reset(); }

    void windowIsAFixedStayOnTopToolWithFourPages() {
        QCOMPARE(in->windowTitle(), QString("Tool Inspector"));
        QCOMPARE(in->size(), QSize(210, 474));
        QCOMPARE(in->minimumSize(), in->maximumSize());
        QVERIFY(in->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(in->windowType(), Qt::Tool);
        QCOMPARE(in->PageControl->count(), 4);
        QCOMPARE(in->PageControl->tabText(0), QString("Open File"));
        QCOMPARE(in->PageControl->tabText(1), QString("Option"));
        QCOMPARE(in->PageControl->tabText(2), QString("Detail"));
        QCOMPARE(in->PageControl->tabText(3), QString("Surface"));
        QCOMPARE(in->PageControl->currentIndex(), 0);
    }

    void constructionLeavesTheInitialStateAndPostsNothing() {
        QCOMPARE(in->Command, -1);
        QCOMPARE(in->Mouse_Mode, 5);
        QCOMPARE(in->Full_Screen_Pending, 1);
        QCOMPARE(in->Selected_Light, 4);
        const int params[13] = {60, 1000, 0, 90, 60, 1000, 0, 0, 60, 1000, 90, 0, 60};
        for (int i = 0; i < 13; ++i) QCOMPARE(in->Light_Params[i], params[i]);
        QCOMPARE(in->Label_L_I->text(), QString("I=0.5"));
        QCOMPARE(in->Label_L_R->text(), QString("R=1000"));
        QCOMPARE(in->Label_L_theda->text(), QString("120"));
        QCOMPARE(in->Label_L_phy->text(), QString("90"));
        QCOMPARE(in->R_Label->text(), QString("R=1000"));
        QCOMPARE(in->Theda_Label->text(), QString("0"));
        QCOMPARE(in->Phy_Label->text(), QString("0"));
        QCOMPARE(in->Ratio_Label->text(), QString("0.5"));
    }

    void optionPageDefaults() {
        QVERIFY(in->Mnothing->isChecked());
        QCOMPARE(in->Mrotation->text(), QString("Rotation and Move"));
        QCOMPARE(in->BG_Color->Color(), 0x000000);
        QCOMPARE(in->Homo_Bounding_Color->Color(), 16744703);
        const std::pair<QCheckBox*, bool> boxes[] = {{in->Coordinate_Checked, false},
                                                     {in->Cal_Box, false},
                                                     {in->Coor_Mark, true},
                                                     {in->Master_Bounding_Box_Checked, false},
                                                     {in->Pivot_Checked, true},
                                                     {in->CPT_Checked, false},
                                                     {in->Child_Window, false},
                                                     {in->Edge_Checked, false},
                                                     {in->Hidden_Face, true},
                                                     {in->Transparency, false},
                                                     {in->Bounding, true},
                                                     {in->Euler_Bounding, false},
                                                     {in->Aux, false},
                                                     {in->Texture_Checked, false}};
        for (const auto& [box, checked] : boxes) QCOMPARE(box->isChecked(), checked);
        QCOMPARE(in->CPT_Checked->text(), QString("Contral points"));
        QCOMPARE(in->Bounding->text(), QString("Homo. Bounding Box"));
        QVERIFY(!in->Child_Window->isEnabled());
        QVERIFY(in->Point_Checked->isChecked());
        QVERIFY(!in->Shading_Checked->isChecked() && !in->Wire_Checked->isChecked() &&
                !in->Spectrum->isChecked());
        QCOMPARE(in->Spectrum_Select->count(), 7);
        QCOMPARE(in->Spectrum_Select->itemText(4), QString("Zyr's curvature"));
        QCOMPARE(in->Spectrum_Select->currentIndex(), -1);
        QCOMPARE(in->Spectrum_Select->placeholderText(), QString("Select"));
        QCOMPARE(in->The_Width->count(), 10);
        QCOMPARE(in->The_Width->currentText(), QString("1"));
        QCOMPARE(in->The_Width->itemText(9), QString("10"));
        QCOMPARE(in->Rotate_Edit->text(), QString("5"));
        QCOMPARE(in->Move_Edit->text(), QString("1"));
        QCOMPARE(in->Scale_Edit->text(), QString("1.075"));
        QCOMPARE(in->Moving_Dir->count(), 7);
        QCOMPARE(in->Moving_Dir->currentText(), QString("viewXY"));
    }

    void detailAndSurfaceDefaults() {
        QVERIFY(in->R640->isChecked());
        QVERIFY(!in->R1024->isChecked() && !in->R800->isChecked() && !in->ROther->isChecked());
        QVERIFY(!in->RFull->isEnabled());
        QCOMPARE(in->Resolution_W->text(), QString("320"));
        QCOMPARE(in->Resolution_H->text(), QString("200"));
        QVERIFY(in->Light_Button4->isChecked());
        QVERIFY(!in->Master_Light->isChecked() && !in->Second_Light->isChecked() &&
                !in->Third_Light->isChecked());
        QVERIFY(in->Front_Light->isChecked());
        QVERIFY(!in->Back_Light->isChecked());
        QCOMPARE(in->Front_Light->text(), QString("Front Light(4)"));
        for (auto* swatch : {in->Master_Color, in->Second_Color, in->Third_Color, in->Front_Color}) {
            QCOMPARE(swatch->Color(), 0xFFFFFF);
        }
        QVERIFY(in->Phong_Shading->isChecked());
        QCOMPARE(in->Phong_Shading->text(), QString("Gouraud Shading"));
        QCOMPARE(in->Gourad_Shading->text(), QString("Flat Shading"));
        struct Bar {
            QSlider* bar;
            int minimum, maximum, position;
        };
        const Bar bars[] = {{in->Light_R, 1, 5000, 1000},  {in->Light_theda, 0, 360, 120},
                            {in->Light_phy, -90, 90, 90},  {in->Light_intensity, 0, 100, 50},
                            {in->R_Size, 500, 5000, 1000}, {in->Theda_Size, 0, 360, 0},
                            {in->Phy_Size, -90, 90, 0},    {in->Persp_tick, 5, 100, 40}};
        for (const Bar& b : bars) {
            QCOMPARE(b.bar->minimum(), b.minimum);
            QCOMPARE(b.bar->maximum(), b.maximum);
            QCOMPARE(b.bar->value(), b.position);
        }
        QVERIFY(in->Perspective->isChecked());
        QCOMPARE(in->Combo_View->count(), 11);
        QCOMPARE(in->Combo_View->itemText(3), QString("ISO EastSouth  View"));
        QCOMPARE(in->Combo_View->itemText(5), QString("BUTTOM View"));
        QCOMPARE(in->Combo_View->itemText(10), QString());
        QCOMPARE(in->Combo_View->currentIndex(), -1);
        QCOMPARE(in->Combo_View->placeholderText(), QString("TOP View"));
        QCOMPARE(in->Fitting_Error->text(), QString("1"));
        QCOMPARE(in->U_seg->text(), QString("100"));
        QCOMPARE(in->V_seg->text(), QString("100"));
        QCOMPARE(in->Smooth_Times->text(), QString("0"));
        QVERIFY(in->LoadAsGray->isChecked());
    }

    void everyDisplayCheckBoxPostsTwoBothWays() {
        showPage("Option");
        for (QCheckBox* box :
             {in->Coordinate_Checked, in->Cal_Box, in->Coor_Mark, in->Master_Bounding_Box_Checked,
              in->Pivot_Checked, in->CPT_Checked, in->Edge_Checked, in->Hidden_Face, in->Transparency,
              in->Bounding, in->Euler_Bounding, in->Aux, in->Texture_Checked}) {
            const bool before = box->isChecked();
            in->Command = 0;
            clickButton(box);
            QCOMPARE(box->isChecked(), !before);
            QCOMPARE(in->Command, 2);
            in->Command = 0;
            clickButton(box);
            QCOMPARE(in->Command, 2);
        }
        in->Command = 0;
        clickButton(in->Child_Window);  // disabled: no change, no code
        QVERIFY(!in->Child_Window->isChecked());
        QCOMPARE(in->Command, 0);
    }

    void displayModeIsOneExclusiveGroupPostingTwo() {
        showPage("Option");
        for (QRadioButton* mode : {in->Shading_Checked, in->Wire_Checked, in->Spectrum, in->Point_Checked}) {
            in->Command = 0;
            clickButton(mode);
            QVERIFY(mode->isChecked());
            QCOMPARE(in->Command, 2);
        }
        QVERIFY(!in->Shading_Checked->isChecked() && !in->Wire_Checked->isChecked() &&
                !in->Spectrum->isChecked());
        in->Command = 0;
        QTest::keyClick(in->Spectrum_Select, Qt::Key_Down);
        QCOMPARE(in->Spectrum_Select->currentIndex(), 0);
        QCOMPARE(in->Command, 2);
        in->Command = 0;
        QTest::keyClick(in->The_Width, Qt::Key_Down);
        QCOMPARE(in->The_Width->currentText(), QString("2"));
        QCOMPARE(in->Command, 2);
    }

    void mouseControlSetsTheModeWithoutACode() {
        showPage("Option");
        in->Command = 0;
        const std::pair<QRadioButton*, int> modes[] = {
            {in->Mrotation, 1}, {in->Mselect, 2}, {in->Mzoom, 3}, {in->Mpick, 4}, {in->Mnothing, 5}};
        for (const auto& [button, mode] : modes) {
            clickButton(button);
            QCOMPARE(in->Mouse_Mode, mode);
        }
        QCOMPARE(in->Command, 0);
    }

    void colourSwatchOkTakesTheColourAndPostsOne() {
        showPage("Option");
        in->Command = 0;
        QColor offered;
        orvex::testing::answerColorDialog([&offered](QColorDialog* dialog) {
            offered = dialog->currentColor();
            dialog->setCurrentColor(QColor(10, 20, 30));
            dialog->accept();
        });
        QTest::mouseClick(in->BG_Color, Qt::LeftButton);
        QCOMPARE(offered, QColor(Qt::black));  // opened on the swatch's colour
        QCOMPARE(in->BG_Color->Color(), 10 | (20 << 8) | (30 << 16));
        QCOMPARE(in->Command, 1);

        showPage("Detail");
        in->Command = 0;
        orvex::testing::chooseColor(QColor(255, 0, 0));
        QTest::mousePress(in->Third_Color, Qt::LeftButton);
        QCOMPARE(in->Third_Color->Color(), 0x0000FF);
        QCOMPARE(in->Command, 1);
    }

    void colourSwatchCancelChangesNothingAndPostsNothing() {
        showPage("Option");
        in->Command = 0;
        orvex::testing::cancelColor();
        QTest::mouseClick(in->Homo_Bounding_Color, Qt::LeftButton);
        QCOMPARE(in->Homo_Bounding_Color->Color(), 16744703);
        QCOMPARE(in->Command, 0);
    }

    void resolutionRadiosPostTheirCodes() {
        showPage("Detail");
        const std::pair<QRadioButton*, int> choices[] = {
            {in->R1024, 31}, {in->R800, 32}, {in->R640, 33}, {in->ROther, 34}};
        for (const auto& [button, code] : choices) {
            in->Command = 0;
            clickButton(button);
            QVERIFY(button->isChecked());
            QCOMPARE(in->Command, code);
        }
        in->Command = 0;
        clickButton(in->RFull);
        QCOMPARE(in->Command, 0);
        QVERIFY(!in->RFull->isChecked());
    }

    void enterInTheSizeEditsPosts34OnlyWhenArbitraryIsChosen() {
        showPage("Detail");
        in->Command = 0;
        QTest::keyClick(in->Resolution_W, Qt::Key_Return);
        QTest::keyClick(in->Resolution_H, Qt::Key_Enter);
        QCOMPARE(in->Command, 0);
        clickButton(in->ROther);
        in->Command = 0;
        QTest::keyClick(in->Resolution_W, Qt::Key_Return);
        QCOMPARE(in->Command, 34);
        in->Command = 0;
        QTest::keyClick(in->Resolution_H, Qt::Key_Enter);
        QCOMPARE(in->Command, 34);
        in->Command = 0;
        QTest::keyClicks(in->Resolution_W, "7");  // typing alone does not apply
        QCOMPARE(in->Command, 0);
    }

    void shadingAndLightBoxesPostFourAndFive() {
        showPage("Detail");
        in->Command = 0;
        clickButton(in->Gourad_Shading);
        QCOMPARE(in->Command, 4);
        in->Command = 0;
        clickButton(in->Phong_Shading);
        QCOMPARE(in->Command, 4);
        for (QCheckBox* box :
             {in->Master_Light, in->Second_Light, in->Third_Light, in->Front_Light, in->Back_Light}) {
            in->Command = 0;
            clickButton(box);
            QCOMPARE(in->Command, 5);
        }
    }

    void viewingBarsPostSevenAndLabelTheirPosition() {
        showPage("Detail");
        in->Command = 0;
        QTest::keyClick(in->R_Size, Qt::Key_Right);
        QCOMPARE(in->Command, 7);
        QCOMPARE(in->R_Label->text(), QString("R=1001"));
        in->Command = 0;
        QTest::keyClick(in->Theda_Size, Qt::Key_Right);
        QCOMPARE(in->Command, 7);
        QCOMPARE(in->Theda_Label->text(), QString("1"));
        in->Command = 0;
        QTest::keyClick(in->Phy_Size, Qt::Key_Left);
        QCOMPARE(in->Command, 7);
        QCOMPARE(in->Phy_Label->text(), QString("-1"));
    }

    void projectionRadiosPost61And62() {
        showPage("Detail");
        in->Command = 0;
        clickButton(in->Parallel);
        QCOMPARE(in->Command, 61);
        QVERIFY(!in->Perspective->isChecked());
        clickButton(in->Perspective);
        QCOMPARE(in->Command, 62);
    }

    // A = atan(P * 0.0032) * 360 / pi in degrees, one significant digit: P 41 gives 14.95 -> "1E0001".
    void perspTickPosts63AndShowsTheAngleInGeneralFormat() {
        showPage("Detail");
        in->Command = 0;
        QTest::keyClick(in->Persp_tick, Qt::Key_Right);
        QCOMPARE(in->Persp_tick->value(), 41);
        QCOMPARE(in->Command, 63);
        QCOMPARE(in->Ratio_Label->text(), QString("1E0001"));
        const std::pair<int, const char*> expected[] = {
            {5, "2"},         // 1.833 degrees
            {20, "7"},        // 7.324
            {25, "9"},        // 9.148
            {26, "1E0001"},   // 9.511 rounds to 10, which needs two digits before the point
            {70, "3E0001"},   // 25.25
            {100, "4E0001"},  // 35.49
        };
        for (const auto& [position, text] : expected) {
            in->Persp_tick->setValue(position);
            QCOMPARE(in->Ratio_Label->text(), QString(text));
        }
    }

    void comboViewPostsItsViewAndTheEmptyItemNothing() {
        showPage("Detail");
        for (int index = 0; index <= 9; ++index) {
            in->Command = 0;
            QTest::keyClick(in->Combo_View, Qt::Key_Down);
            QCOMPARE(in->Combo_View->currentIndex(), index);
            QCOMPARE(in->Command, 701 + index);
        }
        in->Command = 0;
        QTest::keyClick(in->Combo_View, Qt::Key_Down);
        QCOMPARE(in->Combo_View->currentIndex(), 10);
        QCOMPARE(in->Command, 0);
    }

    void lightSelectorLoadsTheStoredLight() {
        showPage("Detail");
        in->Command = 0;
        clickButton(in->Light_Button1);
        QCOMPARE(in->Selected_Light, 1);
        QVERIFY(in->Light_Button1->isChecked() && !in->Light_Button4->isChecked());
        QCOMPARE(in->Light_intensity->value(), 60);
        QCOMPARE(in->Light_R->value(), 1000);
        QCOMPARE(in->Light_theda->value(), 0);
        QCOMPARE(in->Light_phy->value(), 90);
        QCOMPARE(in->Label_L_I->text(), QString("I=0.6"));
        QCOMPARE(in->Label_L_theda->text(), QString("0"));
        QCOMPARE(in->Command, 0);  // the master light is off: nothing to redraw

        clickButton(in->Light_Button3);
        QCOMPARE(in->Light_theda->value(), 90);
        QCOMPARE(in->Light_phy->value(), 0);
        QCOMPARE(in->Label_L_phy->text(), QString("0"));

        in->Light_intensity->setValue(30);  // light 3 is off: stored, no code
        QCOMPARE(in->Light_Params[8], 30);
        QCOMPARE(in->Command, 0);
        QTest::mousePress(in->Light_Button4, Qt::LeftButton);
        QCOMPARE(in->Selected_Light, 4);
        QCOMPARE(in->Light_intensity->value(), 60);
        QCOMPARE(in->Command, 5);  // the front light is on
        QTest::mouseRelease(in->Light_Button4, Qt::LeftButton);
        QVERIFY(in->Light_Button4->isChecked());
        QCOMPARE(in->Light_Params[8], 30);
        QCOMPARE(in->Light_Params[12], 60);
    }

    void lightRWithTheFrontLightSelectedOnlyLabels() {
        showPage("Detail");
        int before[13];
        std::copy(std::begin(in->Light_Params), std::end(in->Light_Params), before);
        in->Command = 0;
        QTest::keyClick(in->Light_R, Qt::Key_Right);
        QCOMPARE(in->Label_L_R->text(), QString("R=1001"));
        QTest::keyClick(in->Light_theda, Qt::Key_Left);
        QCOMPARE(in->Label_L_theda->text(), QString("119"));
        QTest::keyClick(in->Light_phy, Qt::Key_Left);
        QCOMPARE(in->Label_L_phy->text(), QString("89"));
        QCOMPARE(in->Command, 0);
        for (int i = 0; i < 13; ++i) QCOMPARE(in->Light_Params[i], before[i]);
    }

    void thetaOfAnUncheckedLightIsStoredWithoutARedraw() {
        showPage("Detail");
        in->Command = 0;
        clickButton(in->Light_Button2);
        QCOMPARE(in->Selected_Light, 2);
        in->Light_theda->setValue(45);
        QCOMPARE(in->Light_Params[6], 45);
        QCOMPARE(in->Label_L_theda->text(), QString("45"));
        QCOMPARE(in->Command, 0);
        clickButton(in->Second_Light);
        QCOMPARE(in->Command, 5);  // now the stored light shows
        in->Command = 0;
        QTest::keyClick(in->Light_theda, Qt::Key_Right);
        QCOMPARE(in->Light_Params[6], 46);
        QCOMPARE(in->Command, 5);
        QCOMPARE(in->Light_Params[2], 0);  // the other lights keep theirs
        QCOMPARE(in->Light_Params[10], 90);
    }

    void intensityLabelIsTheShortestDecimal() {
        showPage("Detail");
        const std::pair<int, const char*> expected[] = {
            {7, "I=0.07"}, {100, "I=1"}, {0, "I=0"}, {33, "I=0.33"}};
        for (const auto& [position, text] : expected) {
            in->Light_intensity->setValue(position);
            QCOMPARE(in->Label_L_I->text(), QString(text));
            QCOMPARE(in->Light_Params[12], position);  // the front light is selected
        }
        in->Command = 0;
        clickButton(in->Front_Light);  // off
        in->Command = 0;
        in->Light_intensity->setValue(20);
        QCOMPARE(in->Light_Params[12], 20);
        QCOMPARE(in->Command, 0);
    }

    void fileListShowsTheMaskAndOneClickPostsEight() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const char* name : {"part.stl", "part.Stl", "cloud.ran", "notes.txt", "scan.xyz", "mesh.tgl"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QFile inner(dir.filePath("sub/inner.sfm"));
        QVERIFY(inner.open(QIODevice::WriteOnly));
        inner.close();

        showPage("Open File");
        in->Command = 0;
        QVERIFY(in->DirectoryListBox1->SetDirectory(dir.path()));
        QCOMPARE(in->Command, 0);
        QCOMPARE(in->FileListBox->Directory(), QFileInfo(dir.path()).canonicalFilePath());
        QStringList names;
        for (int i = 0; i < in->FileListBox->count(); ++i) names << in->FileListBox->item(i)->text();
        names.sort();
        QCOMPARE(names, QStringList({"cloud.ran", "mesh.tgl", "part.Stl", "part.stl", "scan.xyz"}));
        QCOMPARE(in->FileListBox->SelectedFilePath(), QString());

        const auto clickFile = [this](const QString& name, bool twice) {
            QListWidgetItem* item = in->FileListBox->findItems(name, Qt::MatchExactly).value(0);
            QVERIFY(item);
            QCoreApplication::processEvents();  // the list lays its items out lazily
            QVERIFY(in->FileListBox->visualItemRect(item).isValid());
            const QPoint centre = in->FileListBox->visualItemRect(item).center();
            QTest::mouseClick(in->FileListBox->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
            if (twice) {
                in->Command = 0;  // the double click itself must post too
                QTest::mouseDClick(in->FileListBox->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
            }
        };
        clickFile("part.stl", false);
        QCOMPARE(in->Command, 8);
        QCOMPARE(in->FileListBox->SelectedFilePath(),
                 QDir(in->FileListBox->Directory()).filePath("part.stl"));
        QCOMPARE(orvex::File_Kind_From_Extension(in->FileListBox->SelectedFilePath()), 3);

        in->Command = 0;
        clickFile("part.Stl", true);
        QCOMPARE(in->Command, 8);
        QCOMPARE(orvex::File_Kind_From_Extension(in->FileListBox->SelectedFilePath()), 0);

        // Entering the sub-folder from the folder list lists its files and opens nothing.
        in->Command = 0;
        QListWidgetItem* sub = nullptr;
        for (int i = 0; i < in->DirectoryListBox1->count(); ++i) {
            if (in->DirectoryListBox1->item(i)->text().trimmed() == "sub")
                sub = in->DirectoryListBox1->item(i);
        }
        QVERIFY(sub);
        in->DirectoryListBox1->setCurrentItem(sub);
        QTest::keyClick(in->DirectoryListBox1, Qt::Key_Return);
        QCOMPARE(in->FileListBox->count(), 1);
        QCOMPARE(in->FileListBox->item(0)->text(), QString("inner.sfm"));
        QCOMPARE(in->Command, 0);
    }

    // A file written into the listed folder (as a save does: a temporary name, then a rename)
    // appears without re-entering the folder; the chosen file stays chosen; a removed one goes.
    void fileListFollowsFilesWrittenIntoItsFolder() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile first(dir.filePath("first.stl"));
        QVERIFY(first.open(QIODevice::WriteOnly));
        first.close();
        showPage("Open File");
        QVERIFY(in->DirectoryListBox1->SetDirectory(dir.path()));
        QCOMPARE(in->FileListBox->count(), 1);
        in->FileListBox->setCurrentRow(0);

        QFile saved(dir.filePath("saved.tmp"));
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write("solid\n");
        saved.close();
        QVERIFY(QFile::rename(dir.filePath("saved.tmp"), dir.filePath("hull.stl")));
        QTRY_COMPARE_WITH_TIMEOUT(in->FileListBox->count(), 2, 5000);
        QCOMPARE(in->FileListBox->item(1)->text(), QString("hull.stl"));
        QCOMPARE(in->FileListBox->SelectedFilePath(),
                 QDir(in->FileListBox->Directory()).filePath("first.stl"));

        QVERIFY(QFile::remove(dir.filePath("first.stl")));
        QTRY_COMPARE_WITH_TIMEOUT(in->FileListBox->count(), 1, 5000);
        QCOMPARE(in->FileListBox->item(0)->text(), QString("hull.stl"));
        QCOMPARE(in->Command, -1);  // following the folder opens nothing
    }

    void fileBrowserStartsInTheWorkingFolder() {
        QCOMPARE(in->FileListBox->Directory(), QFileInfo(QDir::currentPath()).canonicalFilePath());
        QCOMPARE(in->FileListBox->Mask(), QString("*.tgl;*.stl;*.ran;*.xyz;*.xyc;*.sfm;"));
        QVERIFY(in->DriveComboBox1->count() >= 1);
        QVERIFY(QDir::currentPath().startsWith(in->DriveComboBox1->Drive()));
    }

    void choosingADriveShowsItsRoot() {
        showPage("Open File");
        if (in->DriveComboBox1->count() < 2) QSKIP("only one drive on this machine");
        in->Command = 0;
        QTest::keyClick(in->DriveComboBox1,
                        in->DriveComboBox1->currentIndex() > 0 ? Qt::Key_Home : Qt::Key_Down);
        const QString root = QFileInfo(in->DriveComboBox1->Drive()).canonicalFilePath();
        QCOMPARE(in->DirectoryListBox1->Directory(), root);
        QCOMPARE(in->FileListBox->Directory(), root);
        QCOMPARE(in->Command, 0);
    }

    void aFolderThatIsNotThereChangesNothing() {
        const QString before = in->DirectoryListBox1->Directory();
        QVERIFY(!in->DirectoryListBox1->SetDirectory("/no/such/folder/anywhere"));
        QCOMPARE(in->DirectoryListBox1->Directory(), before);
        QCOMPARE(in->FileListBox->Directory(), before);
    }
};

QTEST_MAIN(InspectorTest)
#include "InspectorTest.moc"
