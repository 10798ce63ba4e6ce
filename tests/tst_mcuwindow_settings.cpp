// The MCU page and its files: a broken or unwritable auto_analyze.ini is
// said once, in its log, and a product key is never claimed stored when the
// file could not take it; recording writes everything to the capture file.

#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/capturelines.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QDir>
#include <QLineEdit>
#include <QTextCodec>
#include <QToolButton>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowFiles : public QObject
{
    Q_OBJECT
    TestRoot root;

private slots:
    void brokenFileIsSaidOnce()
    {
        const QByteArray shipped = readFile(TestRoot::shipped("auto_analyze.ini"));
        const QList<std::pair<QByteArray, QString>> rows{ // "-": no file; no text: nothing to say
            {shipped, ""}, {"-", "不存在"}, {"", "是空的"}, {"[cmd]\n02=\xff\xfe\xc3\x28\n", "不是UTF-8文本"},
            {QTextCodec::codecForName("UTF-16")->fromUnicode(QString::fromUtf8(shipped)), "不是UTF-8文本"},
            {shipped.left(shipped.indexOf("[connect]") + 4), "格式有误，缺少 [product_key]、[connect]、[setmode]、[wifistate]"}};
        for (const auto &[content, said] : rows) {
            QFile::remove(VokFiles::analyzeSettings());
            QVERIFY(content == "-" || writeFile(VokFiles::analyzeSettings(), content));
            McuWindow page;
            QTest::qWait(20); // the log shows its lines from the event loop
            QCOMPARE(logLines(&page).replaceInStrings(QRegExp("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"), "T"), said.isEmpty() ? QStringList()
                     : QStringList("T 设置文件 " + VokFiles::analyzeSettings() + ' ' + said + "：缺少的应答模板、模块命令和说明不可用，其余照常。"));
        }
    }

    void unwritableFileFailsTheKeySave()
    {
        writeSettings(abcKey);
        McuWindow page;
        // A folder where the file was: no user, root included, can write it.
        QVERIFY(QFile::remove(VokFiles::analyzeSettings()) && QDir().mkdir(VokFiles::analyzeSettings()));
        child<QLineEdit>(&page, "lineEdit_productkey")->setText("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
        ModalCloser closer;
        child<QPushButton>(&page, "pushButton_productkey")->click(); // returns once the box is closed
        QCOMPARE(closer.seen, QStringList("失败|无法写入设置文件 " + VokFiles::analyzeSettings() + "，product_key未保存"));
        // The module is still told the key that was stored before.
        PtyPair pty;
        QVERIFY(openPort(&page, pty.slavePath()) && pty.write(hex("FFFF0005 01 07 0000 0D")));
        QCOMPARE(pty.readAtLeast(75, 10000).mid(VokFrame::ProductKeyPos, 32), abcKey.toLatin1());
    }

    // What the module sends, the automatic replies and the status reports all
    // reach the capture file, and so does the port's loss.
    void repliesAreCapturedAndALostPortIsSaid()
    {
        writeSettings(abcKey); // no definition: an empty report
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool");
        settings.setValue("capture/folder", root.filePath("captures"));
        settings.setValue("mcu/autoRecord", true);
        PtyPair pty;
        McuWindow page;
        QVERIFY(openPort(&page, pty.slavePath()) && pty.write(hex("FFFF0005 07 01 0000 0D")));
        QCOMPARE(pty.readAtLeast(9), hex("FFFF0005 08 01 0000 0E"));
        child<QPushButton>(&page, "pushButton_upload")->click();
        QCOMPARE(pty.readAtLeast(10), hex("FFFF0006 05 00 0000 04 0F"));
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

QTEST_MAIN(TestMcuWindowFiles)
#include "tst_mcuwindow_settings.moc"
