#pragma once
// Helpers for driving the tool windows: clicking buttons where a user would, and answering the modal
// dialogs that a click opens (the test schedules the answer before the click, the dialog's own event
// loop runs it).

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest/QtTest>
#include <functional>

namespace orvex::testing {

// Click on the indicator of a check box or radio button (its left end), or the middle of any other button.
inline void clickButton(QAbstractButton* button) {
    const bool indicator = button->inherits("QCheckBox") || button->inherits("QRadioButton");
    const QPoint where = indicator ? QPoint(7, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, where);
}

// Runs `answer` on the next visible QColorDialog once it is up (polling, so it works inside exec()).
inline void answerColorDialog(std::function<void(QColorDialog*)> answer) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QColorDialog*>(widget);
            if (dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                delete clock;
                answer(dialog);
                return;
            }
        }
        if (clock->elapsed() > 10000) {  // never hang the run: give up and leave the dialog to time out
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start(10);
}

inline void chooseColor(const QColor& colour) {
    answerColorDialog([colour](QColorDialog* dialog) {
        dialog->setCurrentColor(colour);
        dialog->accept();
    });
}

inline void cancelColor() {
    answerColorDialog([](QColorDialog* dialog) { dialog->reject(); });
}

}  // namespace orvex::testing
