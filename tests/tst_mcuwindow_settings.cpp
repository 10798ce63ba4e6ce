// The MCU page with a broken or unwritable auto_analyze.ini: it says what is
// wrong once, in its log, and never claims a product key was stored when
// the file could not take it.

#include "datapoint/vokjson.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QDir>
#include <QLineEdit>
#include <QTextCodec>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowSettings : public QObject
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
        page.datapointModel()->setServiceHost("127.0.0.1:1"); // a fetch begun all the same fails at once
        // A folder where the file was: no user, root included, can write it.
        QVERIFY(QFile::remove(VokFiles::analyzeSettings()) && QDir().mkdir(VokFiles::analyzeSettings()));
        child<QLineEdit>(&page, "lineEdit_productkey")->setText("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
        ModalCloser closer;
        child<QPushButton>(&page, "pushButton_productkey")->click(); // returns once the box is closed
        QVERIFY(!closer.waitForBox(100));
        QCOMPARE(closer.seen, QStringList("失败|无法写入设置文件 " + VokFiles::analyzeSettings() + "，product_key未保存"));
        // The module is still told the key that was stored before.
        PtyPair pty;
        QVERIFY(openPort(&page, pty.slavePath()) && pty.write(hex("FFFF0005 01 07 0000 0D")));
        QCOMPARE(pty.readAtLeast(75, 10000).mid(VokFrame::ProductKeyPos, 32), abcKey.toLatin1());
    }
};

QTEST_MAIN(TestMcuWindowSettings)
#include "tst_mcuwindow_settings.moc"
