// The plain functions of the tool windows: the file kind by extension, the general number format, the
// strict conversions, and Read_Display_Options over real windows.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest/QtTest>

#include "ui/ColorSwatch.h"
#include "ui/DisplayOptionsReader.h"
#include "ui/FileKind.h"
#include "ui/GeneralFormat.h"
#include "ui/Inspector.h"
#include "ui/MeshFormation.h"
#include "ui/StrictConversion.h"

using namespace orvex;

namespace {

void compareOptions(const DisplayOptions& a, const DisplayOptions& b) {
    QCOMPARE(a.Shading_Checked, b.Shading_Checked);
    QCOMPARE(a.Wire_Checked, b.Wire_Checked);
    QCOMPARE(a.Point_Checked, b.Point_Checked);
    QCOMPARE(a.Spectrum, b.Spectrum);
    QCOMPARE(a.Spectrum_Select, b.Spectrum_Select);
    QCOMPARE(a.Width, b.Width);
    QCOMPARE(a.Transparency, b.Transparency);
    QCOMPARE(a.Hidden_Face, b.Hidden_Face);
    QCOMPARE(a.Edge_Checked, b.Edge_Checked);
    QCOMPARE(a.Texture_Checked, b.Texture_Checked);
    QCOMPARE(a.Bounding, b.Bounding);
    QCOMPARE(a.Euler_Bounding, b.Euler_Bounding);
    QCOMPARE(a.Master_Bounding_Box_Checked, b.Master_Bounding_Box_Checked);
    QCOMPARE(a.Aux, b.Aux);
    QCOMPARE(a.Coordinate_Checked, b.Coordinate_Checked);
    QCOMPARE(a.Coor_Mark, b.Coor_Mark);
    QCOMPARE(a.Cal_Box, b.Cal_Box);
    QCOMPARE(a.Pivot_Checked, b.Pivot_Checked);
    QCOMPARE(a.Child_Window, b.Child_Window);
    QCOMPARE(a.BG_Color, b.BG_Color);
    QCOMPARE(a.Homo_Bounding_Color, b.Homo_Bounding_Color);
    QCOMPARE(a.Gouraud, b.Gouraud);
    QCOMPARE(a.Master_Light, b.Master_Light);
    QCOMPARE(a.Second_Light, b.Second_Light);
    QCOMPARE(a.Third_Light, b.Third_Light);
    QCOMPARE(a.Front_Light, b.Front_Light);
    QCOMPARE(a.Back_Light, b.Back_Light);
    QCOMPARE(a.Master_Color, b.Master_Color);
    QCOMPARE(a.Second_Color, b.Second_Color);
    QCOMPARE(a.Third_Color, b.Third_Color);
    QCOMPARE(a.Front_Color, b.Front_Color);
    for (int i = 0; i < kLightParamCount; ++i) QCOMPARE(a.Light_Params[i], b.Light_Params[i]);
    QCOMPARE(a.R_Size, b.R_Size);
    QCOMPARE(a.Spectrum_Color_Intensity, b.Spectrum_Color_Intensity);
}

}  // namespace

class UiFunctionsTest : public QObject {
    Q_OBJECT

private slots:
    void fileKindByExtensionBothSpellings() {
        const std::pair<const char*, int> table[] = {
            {"a.3DS", 1},  {"a.3ds", 1},  {"a.TGL", 2},  {"a.tgl", 2},  {"a.STL", 3},  {"a.stl", 3},
            {"a.CT", 4},   {"a.ct", 4},   {"a.LOP", 5},  {"a.lop", 5},  {"a.RAN", 6},  {"a.ran", 6},
            {"a.XYZ", 10}, {"a.xyz", 10}, {"a.XYC", 11}, {"a.xyc", 11}, {"a.SFM", 12}, {"a.sfm", 12}};
        for (const auto& [name, kind] : table) QCOMPARE(File_Kind_From_Extension(name), kind);
        QCOMPARE(File_Kind_From_Extension("/home/user/models/part.stl"), 3);
        QCOMPARE(File_Kind_From_Extension("scan.tar.xyz"), 10);  // the last extension counts
    }

    void fileKindOfNamesWithoutAKnownExtension() {
        QCOMPARE(File_Kind_From_Extension("part.Stl"), 0);  // mixed case matches neither spelling
        QCOMPARE(File_Kind_From_Extension("notes.txt"), 0);
        QCOMPARE(File_Kind_From_Extension("stl"), 0);
        QCOMPARE(File_Kind_From_Extension(""), 0);
        QCOMPARE(File_Kind_From_Extension("part."), 0);
        QCOMPARE(File_Kind_From_Extension("/data/old.stl/readme"), 0);  // a dot in a folder is no extension
        QCOMPARE(File_Kind_From_Extension("part.stl "), 0);
    }

    void generalFormatFixedNotation() {
        QCOMPARE(Format_General(0.5, 15, 0), QString("0.5"));
        QCOMPARE(Format_General(123.456, 15, 0), QString("123.456"));
        QCOMPARE(Format_General(-2.25, 15, 0), QString("-2.25"));
        QCOMPARE(Format_General(1000, 15, 0), QString("1000"));
        QCOMPARE(Format_General(0, 15, 4), QString("0"));
        QCOMPARE(Format_General(0.0001, 15, 0), QString("0.0001"));
        QCOMPARE(Format_General(0.07, 15, 0), QString("0.07"));  // 7 x 0.01 is not exactly 0.07
        QCOMPARE(Format_General(1.0 / 3.0, 15, 0), QString("0.333333333333333"));
        QCOMPARE(Format_General(2.0 / 3.0, 3, 0), QString("0.667"));
        QCOMPARE(Format_General(1.833, 1, 4), QString("2"));
        QCOMPARE(Format_General(9.148, 1, 4), QString("9"));
    }

    // Scientific once the rounded value has more digits before the point than the precision, or
    // starts more than three zeros after it.
    void generalFormatScientificNotation() {
        QCOMPARE(Format_General(14.589, 1, 4), QString("1E0001"));
        QCOMPARE(Format_General(9.6, 1, 4), QString("1E0001"));
        QCOMPARE(Format_General(35.49, 1, 4), QString("4E0001"));
        QCOMPARE(Format_General(1e20, 15, 0), QString("1E20"));
        QCOMPARE(Format_General(-1.5e20, 15, 0), QString("-1.5E20"));
        QCOMPARE(Format_General(1.5e-7, 15, 0), QString("1.5E-7"));
        QCOMPARE(Format_General(1.5e-7, 15, 4), QString("1.5E-0007"));
        QCOMPARE(Format_General(123456, 3, 2), QString("1.23E05"));
        QCOMPARE(Format_General(0.00001, 15, 0), QString("1E-5"));
    }

    // Ties round away from zero, and a carry may add a digit before the point.
    void generalFormatRounding() {
        QCOMPARE(Format_General(8.5, 1, 0), QString("9"));
        QCOMPARE(Format_General(-8.5, 1, 0), QString("-9"));
        QCOMPARE(Format_General(0.25, 1, 0), QString("0.3"));
        QCOMPARE(Format_General(99.96, 3, 0), QString("100"));
        QCOMPARE(Format_General(999.6, 3, 0), QString("1E3"));
        QCOMPARE(Format_General(0.1 + 0.2, 15, 0), QString("0.3"));
    }

    void strictConversions() {
        QCOMPARE(Strict_To_Int("320"), std::optional<int>(320));
        QCOMPARE(Strict_To_Int(" -7 "), std::optional<int>(-7));
        QVERIFY(!Strict_To_Int("3.5"));
        QVERIFY(!Strict_To_Int("12px"));
        QVERIFY(!Strict_To_Int(""));
        QVERIFY(!Strict_To_Int("99999999999"));
        QVERIFY(!Strict_To_Int(QString::fromUtf16(u"3\0abc", 5)));
        QCOMPARE(Strict_To_Float("0.0005"), std::optional<float>(0.0005f));
        QCOMPARE(Strict_To_Float(" 1e2 "), std::optional<float>(100.0f));
        QCOMPARE(Strict_To_Float("-.5"), std::optional<float>(-0.5f));
        for (const char* bad : {"", "abc", "1,5", "inf", "nan", "1e39", "2 3"}) {
            QVERIFY2(!Strict_To_Float(bad), bad);
        }
        const ConversionError error{"Resolution_W", "12px", true};
        QCOMPARE(error.Message(), QString("Resolution_W: '12px' is not a valid integer value"));
    }

    void readDisplayOptionsDefaultsEqualTheDrawingDefaults() {
        TInspector inspector;
        TMesh_Formation formation;
        std::optional<ConversionError> error;
        compareOptions(Read_Display_Options(inspector, formation, &error), DisplayOptions{});
        QVERIFY(!error);
    }

    void readDisplayOptionsFollowsTheControls() {
        TInspector in;
        TMesh_Formation formation;
        in.Spectrum->setChecked(true);
        in.Spectrum_Select->setCurrentIndex(5);
        in.The_Width->setCurrentIndex(3);
        in.Hidden_Face->setChecked(false);
        in.Gourad_Shading->setChecked(true);
        in.Second_Light->setChecked(true);
        in.Back_Light->setChecked(true);
        in.BG_Color->SetColor(0xFFFFFF);
        in.Third_Color->SetColor(0x123456);
        in.R_Size->setValue(2500);
        in.Light_Button2->click();
        in.Light_phy->setValue(-30);
        formation.Spectrum_Color_Intensity->setText(" 42.5 ");

        std::optional<ConversionError> error;
        const DisplayOptions options = Read_Display_Options(in, formation, &error);
        QVERIFY(!error);
        QVERIFY(options.Spectrum && !options.Point_Checked && !options.Shading_Checked &&
                !options.Wire_Checked);
        QCOMPARE(options.Spectrum_Select, 5);
        QCOMPARE(options.Width, 4);
        QVERIFY(!options.Hidden_Face);
        QVERIFY(!options.Gouraud);
        QVERIFY(options.Second_Light && options.Back_Light && options.Front_Light && !options.Master_Light);
        QCOMPARE(options.BG_Color, 0xFFFFFF);
        QCOMPARE(options.Third_Color, 0x123456);
        QCOMPARE(options.R_Size, 2500);
        QCOMPARE(options.Light_Params[7], -30);
        QCOMPARE(options.Spectrum_Color_Intensity, 42.5f);
    }

    void aNonNumericIntensityIsReportedAndKeepsTheDefault() {
        TInspector in;
        TMesh_Formation formation;
        formation.Spectrum_Color_Intensity->setText("abc");
        std::optional<ConversionError> error;
        const DisplayOptions options = Read_Display_Options(in, formation, &error);
        QVERIFY(error);
        QCOMPARE(error->Field, QString("Spectrum_Color_Intensity"));
        QCOMPARE(error->Message(),
                 QString("Spectrum_Color_Intensity: 'abc' is not a valid floating point value"));
        QCOMPARE(options.Spectrum_Color_Intensity, 100.0f);
        Read_Display_Options(in, formation);  // no error slot: still a frame's worth of options
    }

    void swatchColoursConvertBothWays() {
        QCOMPARE(Framework_To_QColor(16744703), QColor(255, 128, 255));
        QCOMPARE(QColor_To_Framework(QColor(1, 2, 3)), 0x030201);
        ColorSwatch swatch(0x7F000000 | 0x00FF00);
        QCOMPARE(swatch.Color(), 0x00FF00);  // only the three colour bytes are kept
    }
};

QTEST_MAIN(UiFunctionsTest)
#include "UiFunctionsTest.moc"
