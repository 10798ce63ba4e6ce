// The MCU page inside the main window: what selecting tabs and F5 do to it.

#include "app/mainwindow.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowInMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void firstUsePrompt_data();
    void firstUsePrompt();
    void timedUpload();
    void f5ClearsTheLogFromAnyTab();

private:
    TestRoot root;
};

void TestMcuWindowInMainWindow::initTestCase()
{
    QVERIFY(root.isValid());
    writeDefinition(abcKey, abcDefinition());
}

void TestMcuWindowInMainWindow::firstUsePrompt_data()
{
    QTest::addColumn<QString>("storedKey");
    QTest::addColumn<int>("prompts");
    // The check runs every time the page is entered.
    QTest::newRow("placeholder key") << placeholderKey << 2;
    QTest::newRow("key stored") << abcKey << 0;
}

void TestMcuWindowInMainWindow::firstUsePrompt()
{
    QFETCH(QString, storedKey);
    QFETCH(int, prompts);
    writeSettings(storedKey);
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    ModalCloser closer;
    tabs->setCurrentIndex(1);
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(1);
    QTest::qWait(200);
    const QString prompt = QStringLiteral("提示|第一次使用请输入product_key！");
    QCOMPARE(closer.seen, QStringList(QVector<QString>(prompts, prompt).toList()));
}

// Timed upload on, across leaving the page and coming back, and off. The
// page counts its interval in tenths of a second here: 3 units are 300 ms.
void TestMcuWindowInMainWindow::timedUpload()
{
    const int unit = 100;
    writeSettings(abcKey);
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    auto *page = window.findChild<McuWindow *>();
    page->setUploadUnit(unit);
    auto *toggle = child<QPushButton>(page, "pushButton_autoupload");
    auto reports = [&] { return headerCount(page, "SEND:"); };
    const QByteArray report = stamped(hex("FFFF000A 05 00 0000 04 00 00 0000 00"));

    tabs->setCurrentIndex(1);
    QVERIFY(openPort(page, pty.slavePath()));
    // The user has emptied the box and not typed a new value yet: the
    // accepted value (3) is used, not the empty text.
    child<QSpinBox>(page, "spinBox")->findChild<QLineEdit *>()->clear();
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    QTest::qWait(unit);
    QCOMPARE(reports(), 0); // the first report comes after one interval
    QTRY_VERIFY_WITH_TIMEOUT(reports() >= 1, 15000);
    QCOMPARE(pty.readAtLeast(14, 5000).left(14).toHex(), report.toHex());

    // Leaving the page closes the port; ticks while it is closed send nothing.
    tabs->setCurrentIndex(0);
    QCOMPARE(child<QPushButton>(page, "pushButton_open3")->text(), QStringLiteral("打开串口"));
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    QTest::qWait(2 * unit); // a report sent just before is shown by now
    const int beforeReopen = reports();
    QTest::qWait(8 * unit);
    QCOMPARE(reports(), beforeReopen);

    // Back on the page, reopening the port resumes the reports by itself.
    tabs->setCurrentIndex(1);
    pty.read(100); // what was sent before the page was left
    QVERIFY(openPort(page, pty.slavePath()));
    QTRY_VERIFY_WITH_TIMEOUT(reports() > beforeReopen, 15000);
    QCOMPARE(pty.readAtLeast(14, 5000).left(14).toHex(), report.toHex());

    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));
    QTest::qWait(2 * unit);
    const int afterOff = reports();
    QTest::qWait(8 * unit);
    QCOMPARE(reports(), afterOff);

    // Closing with the open button ends timed upload.
    toggle->click();
    child<QPushButton>(page, "pushButton_open3")->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));
}

void TestMcuWindowInMainWindow::f5ClearsTheLogFromAnyTab()
{
    writeSettings(abcKey);
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    auto *page = window.findChild<McuWindow *>();
    tabs->setCurrentIndex(1);
    QVERIFY(openPort(page, pty.slavePath()));
    child<QPushButton>(page, "pushButton_upload")->click();
    QTRY_COMPARE(logLines(page).size(), 2);

    tabs->setCurrentIndex(2);
    QTest::keyClick(&window, Qt::Key_F5);
    QVERIFY(logLines(page).isEmpty());
}

QTEST_MAIN(TestMcuWindowInMainWindow)
#include "tst_mcuwindow_mainwindow.moc"
