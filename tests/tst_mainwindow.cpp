#include "app/mainwindow.h"
#include "pages/dual/doublewindow.h"
#include "support/dualpane.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/testroot.h"

#include <QtTest>
#include <QtWidgets>

class TestMainWindow : public QObject
{
    Q_OBJECT
    TestRoot root; // the MCU page's settings, with the placeholder key
    ModalCloser closer; // closes the MCU page's first-use prompt
    MainWindow window;
    QTabWidget *tabs = child<QTabWidget>(&window, "tabWidget");
    DoubleWindow *dual = window.findChild<DoubleWindow *>();

    // The window starts at the tab's size, or as much larger as the page's
    // texts need at this font; that is also the least it shrinks to, and it
    // may grow.
    void verifyStartSize(int width)
    {
        const QSize start = window.size();
        QVERIFY(start.width() >= width && start.width() < width + 150 && start.height() >= 600 && start.height() < 700);
        window.resize(start - QSize(50, 50));
        QCOMPARE(window.size(), start);
        window.resize(start + QSize(123, 45));
        QCOMPARE(window.size(), start + QSize(123, 45));
    }

private slots:
    // Only the MCU tab starts wide (the tool tab narrows again below); entering
    // it releases the dual page's ports, entering another tab keeps them.
    // Building the window enters no tab: no prompt.
    void tabsAndPorts()
    {
        window.show();
        QCOMPARE(QStringList({window.windowTitle(), tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 QStringList({"Vok串口调试工具V1.4.3", "双串口", "模拟V4MCU", "小工具"}));
        QVERIFY(tabs->currentIndex() == 0 && tabs->tabPosition() == QTabWidget::South && closer.seen.isEmpty());
        verifyStartSize(600);
        PtyPair left, right;
        QVERIFY(openDualPane(&window, 1, left.slavePath()) && openDualPane(&window, 2, right.slavePath()));
        tabs->setCurrentIndex(2);
        QCOMPARE(dual->portName(0) + dual->portName(1), left.slavePath() + right.slavePath());
        tabs->setCurrentIndex(1);
        verifyStartSize(950);
        QCOMPARE(child<QPushButton>(&window, "pushButton_open1")->text() + child<QPushButton>(&window, "pushButton_open2")->text()
                     + dual->portName(0) + dual->portName(1), QStringLiteral("打开串口打开串口"));
    }

    // F5 empties the dual page's areas from any tab (bytes held back appear
    // at the next flush tick); Escape, and no other key, closes the only
    // window, which ends the application's loop.
    void keys()
    {
        tabs->setCurrentIndex(2);
        verifyStartSize(600);
        for (const char *handler : {"com1OnDataReady", "com2OnDataReady"})
            QMetaObject::invokeMethod(dual, handler, Q_ARG(QByteArray, QByteArray::fromHex("FFFF00050B00000010")));
        QTest::keyClick(child<QTextEdit>(&window, "textEdit_checksum"), Qt::Key_F5);
        QTRY_COMPARE(child<QTextEdit>(dual, "textEdit_rec1")->toPlainText() + child<QTextEdit>(dual, "textEdit_rec2")->toPlainText(), "00 00 10 00 00 10 ");
        QTest::keyClick(&window, Qt::Key_A);
        QVERIFY(window.isVisible());
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, &window, [this] { QTest::keyClick(child<QTextEdit>(&window, "textEdit_checksum"), Qt::Key_Escape); });
        QTimer::singleShot(30000, &lastClosed, &QCoreApplication::quit); // a guard, should Escape not close
        QVERIFY(qApp->exec() == 0 && !window.isVisible() && lastClosed.count() == 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
