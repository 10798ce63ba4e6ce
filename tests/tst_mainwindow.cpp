#include "app/mainwindow.h"
#include "pages/dual/doublewindow.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/dualpane.h"
#include "support/testroot.h"
#include "support/widgetlookup.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startState();
    void mcuTabWidensAndReleasesDualPorts();
    void otherTabsNarrowAndKeepDualPorts();
    void f5ClearsFromAnyTab();
    void escapeCloses();

private:
    void verifyStartSize(const QSize &size);

    TestRoot root; // the MCU page's settings, with the placeholder key
    // Closes the MCU page's first-use prompt whenever tab 1 is entered.
    ModalCloser *closer = nullptr;
    MainWindow *window = nullptr;
    QTabWidget *tabs = nullptr;
    DoubleWindow *dualPage = nullptr;
};

void TestMainWindow::init()
{
    closer = new ModalCloser;
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    tabs = child<QTabWidget>(window, "tabWidget");
    dualPage = window->findChild<DoubleWindow *>();
    QVERIFY(dualPage);
}

void TestMainWindow::cleanup()
{
    delete window;
    delete closer;
}

void TestMainWindow::verifyStartSize(const QSize &size)
{
    // The window starts at the tab's size, or as much larger as the page's
    // texts need at this font; that is also the least it shrinks to, and it
    // may grow.
    const QSize start = window->size();
    QVERIFY(start.width() >= size.width() && start.height() >= size.height());
    QVERIFY(start.width() < size.width() + 150 && start.height() < size.height() + 100);
    QCOMPARE(window->minimumSize(), start);
    window->resize(start - QSize(50, 50));
    QCOMPARE(window->size(), start);
    window->resize(start + QSize(123, 45));
    QCOMPARE(window->size(), start + QSize(123, 45));
}

void TestMainWindow::startState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Vok串口调试工具V1.4.3"));
    verifyStartSize(QSize(600, 600));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
             QStringList({"双串口", "模拟V4MCU", "小工具"}));
    QCOMPARE(tabs->tabPosition(), QTabWidget::South);
    // Building the window does not count as entering a tab: no prompt.
    QTest::qWait(100);
    QCOMPARE(closer->seen, QStringList());
}

void TestMainWindow::mcuTabWidensAndReleasesDualPorts()
{
    PtyPair left, right;
    QVERIFY(openDualPane(window, 1, left.slavePath()));
    QVERIFY(openDualPane(window, 2, right.slavePath()));
    tabs->setCurrentIndex(1);
    verifyStartSize(QSize(950, 600));
    QCOMPARE(child<QPushButton>(window, "pushButton_open1")->text(), QStringLiteral("打开串口"));
    QCOMPARE(child<QPushButton>(window, "pushButton_open2")->text(), QStringLiteral("打开串口"));
    dualPage->sendHex("COM1", "01");
    dualPage->sendHex("COM2", "02");
    QCOMPARE(left.read(200) + right.read(50), QByteArray());
}

void TestMainWindow::otherTabsNarrowAndKeepDualPorts()
{
    for (int tab : {2, 1, 0, 1, 2}) {
        tabs->setCurrentIndex(tab);
        QCOMPARE(window->width() >= 900, tab == 1);
    }
    verifyStartSize(QSize(600, 600));

    PtyPair left;
    QVERIFY(openDualPane(window, 1, left.slavePath()));
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(2);
    dualPage->sendHex("COM1", "0102");
    QCOMPARE(left.readAtLeast(2), QByteArray::fromHex("0102"));
}

void TestMainWindow::f5ClearsFromAnyTab()
{
    auto *received1 = child<QTextEdit>(window, "textEdit_rec1");
    auto *received2 = child<QTextEdit>(window, "textEdit_rec2");
    for (const char *handler : {"com1OnDataReady", "com2OnDataReady"})
        QMetaObject::invokeMethod(dualPage, handler, Q_ARG(QByteArray, QByteArray::fromHex("FFFF00050B00000010")));
    QTRY_VERIFY_WITH_TIMEOUT(received1->toPlainText().endsWith("00 00 10 ")
                                 && received2->toPlainText().endsWith("00 00 10 "), 5000);
    // Typed into the checksum box on the tool tab, F5 still reaches the window.
    tabs->setCurrentIndex(2);
    QTest::keyClick(child<QTextEdit>(window, "textEdit_checksum"), Qt::Key_F5);
    QCOMPARE(received1->toPlainText() + received2->toPlainText(), QString());
    QVERIFY(window->isVisible());
}

void TestMainWindow::escapeCloses()
{
    tabs->setCurrentIndex(2);
    QTest::keyClick(window, Qt::Key_A);
    QVERIFY(window->isVisible());

    // Escape closes the only window, which ends the application's loop.
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, window, [this] {
        QTest::keyClick(child<QTextEdit>(window, "textEdit_checksum"), Qt::Key_Escape);
    });
    QTimer guard;
    guard.setSingleShot(true);
    guard.callOnTimeout(qApp, &QCoreApplication::quit);
    guard.start(30000);
    qApp->exec();
    QVERIFY(guard.isActive());
    QVERIFY(!window->isVisible());
    QCOMPARE(lastClosed.count(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
