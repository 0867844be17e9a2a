#include "ui/ColorSwatch.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvex {

QColor Framework_To_QColor(int colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int QColor_To_Framework(const QColor& colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

ColorSwatch::ColorSwatch(int colour, QWidget* parent) : QWidget(parent), colour_(colour & 0xFFFFFF) {
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void ColorSwatch::SetColor(int colour) {
    colour_ = colour & 0xFFFFFF;
    update();
}

QColorDialog* ColorSwatch::Dialog() {
    if (!dialog_) {
        dialog_ = new QColorDialog(this);
        dialog_->setOption(QColorDialog::DontUseNativeDialog);
    }
    return dialog_;
}

bool ColorSwatch::Choose() {
    QColorDialog* dialog = Dialog();
    if (presetFromSwatch_) dialog->setCurrentColor(Framework_To_QColor(colour_));
    if (dialog->exec() != QDialog::Accepted) return false;
    const QColor chosen = dialog->selectedColor();
    if (!chosen.isValid()) return false;
    SetColor(QColor_To_Framework(chosen));
    emit colorChosen();
    return true;
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Framework_To_QColor(colour_));
    painter.setPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::gray));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
    event->accept();
    Choose();
}

void ColorSwatch::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        Choose();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace orvex
