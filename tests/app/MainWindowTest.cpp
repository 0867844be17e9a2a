#include <QStatusBar>
#include <QtTest/QtTest>

#include "app/Main.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void opensMaximisedWithTitleAndReadyStatus() {
        orvex::TMyGL window;
        window.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString("Orvex Vision"));
        QVERIFY(window.windowState() & Qt::WindowMaximized);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Ready"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
