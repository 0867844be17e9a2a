#pragma once
// ColorSwatch: a small filled rectangle showing a framework colour (0x00BBGGRR). Any mouse press (or
// Space/Enter with the focus) runs a colour dialog; when the user confirms, the swatch takes the
// colour and emits colorChosen(); a cancelled dialog changes nothing and emits nothing.

#include <QColor>
#include <QWidget>

class QColorDialog;

namespace orvex {

QColor Framework_To_QColor(int colour);
int QColor_To_Framework(const QColor& colour);

class ColorSwatch : public QWidget {
    Q_OBJECT

public:
    explicit ColorSwatch(int colour, QWidget* parent = nullptr);

    int Color() const { return colour_; }
    void SetColor(int colour);

    // Several swatches may share one dialog; without one the swatch makes its own on first use.
    void SetDialog(QColorDialog* dialog) { dialog_ = dialog; }
    QColorDialog* Dialog();
    // When false the dialog opens with whatever colour it showed last, not the swatch's.
    void SetPresetFromSwatch(bool preset) { presetFromSwatch_ = preset; }

    // Runs the dialog modally; true when a colour was confirmed.
    bool Choose();

    QSize sizeHint() const override { return {25, 17}; }

signals:
    void colorChosen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int colour_;
    QColorDialog* dialog_ = nullptr;
    bool presetFromSwatch_ = true;
};

}  // namespace orvex
