// The Mesh Formation dialog: its defaults, which ways of leaving it apply and which discard, and the
// model colour swatch.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest/QtTest>
#include <functional>

#include "UiTestHelpers.h"
#include "ui/ColorSwatch.h"
#include "ui/MeshFormation.h"

using orvex::TMesh_Formation;

class MeshFormationTest : public QObject {
    Q_OBJECT

    // Shows the dialog modally and runs `leave` from inside its event loop; returns exec()'s result.
    static int runModal(TMesh_Formation& dialog, std::function<void()> leave) {
        QTimer::singleShot(0, &dialog, [&dialog, leave] {
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            leave();
        });
        return dialog.exec();
    }

private slots:
    void windowIsAFixedStayOnTopDialogWithThreePages() {
        TMesh_Formation dialog;
        QCOMPARE(dialog.windowTitle(), QString("Mesh Formation"));
        QCOMPARE(dialog.size(), QSize(241, 334));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(dialog.PageControl1->count(), 3);
        QCOMPARE(dialog.PageControl1->tabText(0), QString("Option"));
        QCOMPARE(dialog.PageControl1->tabText(1), QString("Motion"));
        QCOMPARE(dialog.PageControl1->tabText(2), QString("Option"));
        QCOMPARE(dialog.PageControl1->geometry().height(), 297);
        QCOMPARE(dialog.BitBtn2->text(), QString("OK"));
        QCOMPARE(dialog.BitBtn1->text(), QString("Cancel"));
        QVERIFY(dialog.BitBtn2->isDefault());
    }

    void defaults() {
        TMesh_Formation d;
        QVERIFY(d.Weight_Smooth->isChecked() && !d.Normal_Smooth->isChecked());
        QCOMPARE(d.Method->count(), 3);
        QCOMPARE(d.Method->itemText(2), QString("Gauss+Edge"));
        QCOMPARE(d.Method->currentIndex(), 0);
        QCOMPARE(d.Model_Color->Color(), 0xFFFFFF);
        QCOMPARE(d.Alpha_Bar->minimum(), 0);
        QCOMPARE(d.Alpha_Bar->maximum(), 100);
        QCOMPARE(d.Alpha_Bar->singleStep(), 1);
        QCOMPARE(d.Alpha_Bar->value(), 100);
        QVERIFY(d.Move_Check->isChecked() && !d.Rotate_Check->isChecked());
        QVERIFY(!d.Re_New_Points->isChecked());
        const std::pair<QLineEdit*, const char*> edits[] = {{d.Interation_Times, "3"},
                                                            {d.Smooth_Factor, "0.5"},
                                                            {d.Reduce_Threshold, "1"},
                                                            {d.dis_threshold, "1200"},
                                                            {d.max_int, "4096"},
                                                            {d.Edit2, "1200"},
                                                            {d.dir_x, "0"},
                                                            {d.dir_y, "0"},
                                                            {d.dir_z, "-1"},
                                                            {d.dir_A, "1"},
                                                            {d.Spectrum_Color_Intensity, "100"},
                                                            {d.Repeat_Convex, "1"},
                                                            {d.STL_error, "0.0005"},
                                                            {d.Sp_start, "0"},
                                                            {d.Sp_end, "100"},
                                                            {d.LeyeX, "0.47"},
                                                            {d.LeyeY, "0.73"},
                                                            {d.ReyeX, "0.43"},
                                                            {d.ReyeY, "0.46"}};
        for (const auto& [edit, text] : edits) QCOMPARE(edit->text(), QString(text));
    }

    void okAppliesAndCancelDiscards() {
        TMesh_Formation dialog;
        QCOMPARE(runModal(dialog, [&] { orvex::testing::clickButton(dialog.BitBtn2); }),
                 int(QDialog::Accepted));
        QCOMPARE(runModal(dialog, [&] { orvex::testing::clickButton(dialog.BitBtn1); }),
                 int(QDialog::Rejected));
    }

    void escapeAppliesLikeOk() {
        TMesh_Formation dialog;
        QCOMPARE(runModal(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void closeBoxApplies() {
        TMesh_Formation dialog;
        QCOMPARE(runModal(dialog, [&] { dialog.close(); }), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void enterInAFieldPressesOk() {
        TMesh_Formation dialog;
        const int result = runModal(dialog, [&] {
            dialog.PageControl1->setCurrentIndex(2);
            dialog.STL_error->setFocus();
            QTest::keyClicks(dialog.STL_error, "1");
            QTest::keyClick(dialog.STL_error, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.STL_error->text(), QString("0.00051"));  // the dialog keeps what was typed
    }

    // The merge tolerance the main window takes after OK: a finite float, not negative; anything
    // else is refused with the field's name, so the old tolerance stays.
    void mergeToleranceRefusesWhatIsNoFiniteFloatOrNegative() {
        TMesh_Formation dialog;
        const std::pair<const char*, const char*> refused[] = {
            {"1e39", "is not a valid floating point value"},
            {"inf", "is not a valid floating point value"},
            {"nan", "is not a valid floating point value"},
            {"0,5mm", "is not a valid floating point value"},
            {"-0.001", "must not be negative"}};
        for (const auto& [text, why] : refused) {
            const int result = runModal(dialog, [&dialog, text = text] {
                dialog.PageControl1->setCurrentIndex(2);
                dialog.STL_error->selectAll();
                QTest::keyClicks(dialog.STL_error, text);
                orvex::testing::clickButton(dialog.BitBtn2);
            });
            QCOMPARE(result, int(QDialog::Accepted));
            QString message;
            QVERIFY2(!dialog.Merge_Tolerance(message), text);
            QVERIFY2(message.startsWith(QStringLiteral("STL_error: '%1'").arg(text)), qPrintable(message));
            QVERIFY2(message.contains(why), qPrintable(message));
        }
        const std::pair<const char*, float> taken[] = {
            {"0.001", 0.001f}, {" 3e38 ", 3e38f}, {"1e-45", 1e-45f}, {"0", 0.0f}};
        for (const auto& [text, value] : taken) {
            dialog.STL_error->setText(text);
            QString message;
            const std::optional<float> tolerance = dialog.Merge_Tolerance(message);
            QVERIFY2(tolerance.has_value(), text);
            QCOMPARE(*tolerance, value);
        }
    }

    // The colour dialog opens on its own last colour, never on the swatch's (which the main window
    // presets from the first mesh); only a confirmed colour reaches the swatch.
    void modelColourIsChosenWithoutPresetAndCancelKeepsIt() {
        TMesh_Formation dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.Model_Color->SetColor(0x0000FF);
        QColor offered;
        orvex::testing::answerColorDialog([&offered](QColorDialog* colours) {
            offered = colours->currentColor();
            colours->setCurrentColor(QColor(0, 128, 0));
            colours->accept();
        });
        QTest::mousePress(dialog.Model_Color, Qt::RightButton);  // any button
        QVERIFY(offered != QColor(255, 0, 0));
        QCOMPARE(dialog.Model_Color->Color(), 0x008000);

        dialog.Model_Color->SetColor(0xFF0000);
        orvex::testing::answerColorDialog([&offered](QColorDialog* colours) {
            offered = colours->currentColor();
            colours->reject();
        });
        dialog.Model_ColorMouseDown();
        QCOMPARE(offered, QColor(0, 128, 0));  // the last colour, not the swatch's blue
        QCOMPARE(dialog.Model_Color->Color(), 0xFF0000);
    }
};

QTEST_MAIN(MeshFormationTest)
#include "MeshFormationTest.moc"
