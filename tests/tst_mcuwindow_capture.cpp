// The MCU page's recording and its lost port: what the module sends, the
// automatic replies and the status reports all reach the capture file.

#include "pages/mcu/mcuwindow.h"
#include "support/capturelines.h"
#include "support/ptypair.h"
#include "tests/tst_mcuwindow_fixture.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowCapture : public QObject
{
    Q_OBJECT
private slots:
    void repliesAreCapturedAndALostPortStopsSending();

private:
    QTemporaryDir home;
};

void TestMcuWindowCapture::repliesAreCapturedAndALostPortStopsSending()
{
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool");
    settings.setValue("capture/folder", home.filePath("captures"));
    settings.setValue("mcu/autoRecord", true);
    settings.sync();

    PtyPair pty;
    McuWindow page;
    QVERIFY(openPort(&page, pty.slavePath()));
    const QByteArray heartbeat = hex("FFFF0005070100000D");
    QVERIFY(pty.write(heartbeat));
    const QByteArray reply = pty.readAtLeast(9);
    QCOMPARE(reply, hex("FFFF0005080100000E"));
    child<QPushButton>(&page, "pushButton_upload")->click();
    const QByteArray report = pty.read(1000);
    QVERIFY(!report.isEmpty());

    pty.hangUp();
    auto *open = child<QPushButton>(&page, "pushButton_open3");
    QTRY_COMPARE_WITH_TIMEOUT(open->text(), QStringLiteral("打开串口"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(logLines(&page).filter("串口已断开").size() == 1, 3000);
    const int reports = headerCount(&page, "SEND:");
    child<QPushButton>(&page, "pushButton_upload")->click();
    QTest::qWait(100);
    QCOMPARE(headerCount(&page, "SEND:"), reports);
    child<QToolButton>(&page, "toolButton_record3")->click(); // stop

    const QStringList files = captureFiles(home.filePath("captures"));
    QCOMPARE(files.size(), 1);
    const QString p = "T " + pty.slavePath();
    QStringList lines = maskedCaptureLines(files[0]);
    QVERIFY2(lines.size() == 9 && lines[6].startsWith(p + " -- lost: "), qPrintable(lines.join('\n')));
    lines.removeAt(6);
    QCOMPARE(lines, QStringList({"# vok-serial-tool capture 1", "T - -- recording started",
                                 p + " -- opened 9600 8N1", p + " RX FF FF 00 05 07 01 00 00 0D",
                                 p + " TX FF FF 00 05 08 01 00 00 0E",
                                 p + " TX " + report.toHex(' ').toUpper(), "T - -- recording stopped", ""}));
}

QTEST_MAIN(TestMcuWindowCapture)
#include "tst_mcuwindow_capture.moc"
