// The MCU page inside the main window: what selecting tabs and F5 do to it.

#include "app/mainwindow.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace McuFixture;

class TestMcuWindowInMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void enteringThePageClosesDualPortsAndPromptsForAKey();
    void noPromptOnceAKeyIsStored();
    void leavingThePageClosesItsPortButKeepsTimedUpload();
    void f5ClearsTheLogFromAnyTab();

private:
    std::unique_ptr<SavedFiles> saved;
};

void TestMcuWindowInMainWindow::initTestCase()
{
    saved = std::make_unique<SavedFiles>();
    saved->keep(iniPath());
    saved->keep(definitionPath(abcKey));
    writeDefinition(abcKey, abcDefinition());
}

void TestMcuWindowInMainWindow::cleanupTestCase()
{
    saved.reset();
}

void TestMcuWindowInMainWindow::enteringThePageClosesDualPortsAndPromptsForAKey()
{
    writeSettings(placeholderKey);
    PtyPair dualPty;
    QVERIFY(dualPty.isValid());
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    child<QComboBox>(&window, "com_1")->setEditText(dualPty.slavePath());
    auto *dualOpen = child<QPushButton>(&window, "pushButton_open1");
    dualOpen->click();
    QCOMPARE(dualOpen->text(), QStringLiteral("关闭串口"));

    ModalCloser closer;
    tabs->setCurrentIndex(1);
    QCOMPARE(closer.seen, QStringList({QStringLiteral("提示|第一次使用请输入product_key！")}));
    QCOMPARE(dualOpen->text(), QStringLiteral("打开串口"));
    QCOMPARE(window.size(), QSize(950, 600));

    // The check runs every time the page is entered.
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(1);
    QCOMPARE(closer.seen.size(), 2);
}

void TestMcuWindowInMainWindow::noPromptOnceAKeyIsStored()
{
    writeSettings(abcKey);
    MainWindow window;
    ModalCloser closer;
    window.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    QTest::qWait(200);
    QVERIFY(closer.seen.isEmpty());
}

void TestMcuWindowInMainWindow::leavingThePageClosesItsPortButKeepsTimedUpload()
{
    writeSettings(abcKey);
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    auto *page = window.findChild<McuWindow *>();
    auto *open = child<QPushButton>(page, "pushButton_open3");
    auto *toggle = child<QPushButton>(page, "pushButton_autoupload");
    auto reports = [&] { return logLines(page).filter(QRegularExpression("^SEND:")).size(); };

    tabs->setCurrentIndex(1);
    QVERIFY(openPort(page, pty.slavePath()));
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));

    tabs->setCurrentIndex(0);
    QCOMPARE(open->text(), QStringLiteral("打开串口"));
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    QCOMPARE(window.size(), QSize(600, 600));
    QTest::qWait(3500);
    QCOMPARE(reports(), 0); // ticks while the port is closed send nothing

    // Back on the page, reopening the port resumes the reports by itself.
    tabs->setCurrentIndex(1);
    QVERIFY(openPort(page, pty.slavePath()));
    QTRY_VERIFY_WITH_TIMEOUT(reports() >= 1, 15000);
    const QByteArray sent = pty.readAtLeast(14, 5000);
    QCOMPARE(sent.left(14).toHex(), stamped(hex("FFFF000A 05 00 0000 04 00 00 0000 00")).toHex());
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
