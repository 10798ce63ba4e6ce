// The MCU page's recording and its lost port: what the module sends, the
// automatic replies and the status reports all reach the capture file.

#include "pages/mcu/mcuwindow.h"
#include "support/capturelines.h"
#include "support/ptypair.h"
#include "tests/tst_mcuwindow_fixture.h"

#include <QToolButton>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowCapture : public QObject
{
    Q_OBJECT
private slots:
    void repliesAreCapturedAndALostPortStopsSending()
    {
        TestRoot root; // the per-user settings live in it too
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool");
        settings.setValue("capture/folder", root.filePath("captures"));
        settings.setValue("mcu/autoRecord", true);
        PtyPair pty;
        McuWindow page;
        QVERIFY(openPort(&page, pty.slavePath()) && pty.write(hex("FFFF0005 07 01 0000 0D")));
        QCOMPARE(pty.readAtLeast(9), hex("FFFF0005 08 01 0000 0E"));
        child<QPushButton>(&page, "pushButton_upload")->click();
        QCOMPARE(pty.readAtLeast(10), hex("FFFF0006 05 00 0000 04 0F")); // no definition: an empty report
        pty.hangUp();
        QTRY_COMPARE(logLines(&page).filter("串口已断开").size(), 1);
        QCOMPARE(child<QPushButton>(&page, "pushButton_open3")->text(), "打开串口");
        child<QToolButton>(&page, "toolButton_record3")->click(); // stop
        const QString p = "T " + pty.slavePath();
        QCOMPARE(maskedCaptureLines(captureFiles(root.filePath("captures")).join(" and ")).replaceInStrings(QRegExp(" lost: .*"), " lost"),
                 QStringList({"# vok-serial-tool capture 1", "T - -- recording started", p + " -- opened 9600 8N1",
                              p + " RX FF FF 00 05 07 01 00 00 0D", p + " TX FF FF 00 05 08 01 00 00 0E",
                              p + " TX FF FF 00 06 05 00 00 00 04 0F", p + " -- lost", "T - -- recording stopped", ""}));
    }
};

QTEST_MAIN(TestMcuWindowCapture)
#include "tst_mcuwindow_capture.moc"
