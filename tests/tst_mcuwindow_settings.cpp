// The MCU page with a broken or unwritable auto_analyze.ini: it says what is
// wrong once, in its log, and never claims a product key was stored when
// the file could not take it.

#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QDir>
#include <QLineEdit>
#include <QTextCodec>
#include <QtTest>

#include <memory>

using namespace McuFixture;

namespace {

// Rows of the page's log that speak of the settings file.
QStringList settingsNotices(QWidget *page)
{
    QStringList notices;
    auto *list = child<QListWidget>(page, "listWidget");
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().contains(VokFiles::analyzeSettings()))
            notices << list->item(row)->text();
    }
    return notices;
}

} // namespace

class TestMcuWindowSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(root.isValid()); }
    void brokenFileIsSaidOnce_data();
    void brokenFileIsSaidOnce();
    void unwritableFileFailsTheKeySave();

private:
    TestRoot root;
};

void TestMcuWindowSettings::brokenFileIsSaidOnce_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said"); // empty: nothing to say

    const QByteArray shipped = readFile(TestRoot::shipped("auto_analyze.ini"));
    QByteArray withoutRespond = shipped;
    const int respond = shipped.indexOf("[Respond]");
    withoutRespond.remove(respond, shipped.indexOf("[cmd]") - respond);
    QByteArray binary;
    for (int i = 0; i < 512; ++i)
        binary += char(i * 37);

    QTest::newRow("shipped") << true << shipped << QString();
    QTest::newRow("missing") << false << QByteArray() << "不存在";
    QTest::newRow("empty") << true << QByteArray() << "是空的";
    QTest::newRow("binary") << true << binary << "不是UTF-8文本";
    QTest::newRow("UTF-16") << true
                            << QTextCodec::codecForName("UTF-16")->fromUnicode(QString::fromUtf8(shipped))
                            << "不是UTF-8文本";
    QTest::newRow("truncated") << true << shipped.left(shipped.indexOf("[connect]") + 4)
                               << "缺少 [product_key]、[connect]、[setmode]、[wifistate]";
    QTest::newRow("missing section") << true << withoutRespond << "缺少 [Respond]：";
}

void TestMcuWindowSettings::brokenFileIsSaidOnce()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    QFile::remove(VokFiles::analyzeSettings());
    if (present)
        QVERIFY(writeFile(VokFiles::analyzeSettings(), content));

    McuWindow page;
    page.show();
    // A frame logged after the notice: the list is up to date behind it.
    PtyPair pty;
    QVERIFY(openPort(&page, pty.slavePath()));
    QVERIFY(pty.write(hex("FFFF0005 07 01 0000 0D")));
    QTRY_VERIFY(child<QListWidget>(&page, "listWidget")->count() > 0
                && child<QListWidget>(&page, "listWidget")->item(child<QListWidget>(&page, "listWidget")->count() - 1)
                       ->text().contains("FF FF"));

    const QStringList notices = settingsNotices(&page);
    if (said.isEmpty()) {
        QCOMPARE(notices, QStringList());
        return;
    }
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.first().contains(said), qPrintable(notices.first()));
}

void TestMcuWindowSettings::unwritableFileFailsTheKeySave()
{
    writeSettings(abcKey);
    McuWindow page;
    page.show();
    // A folder where the file was: no user, root included, can write it.
    QVERIFY(QFile::remove(VokFiles::analyzeSettings()));
    QVERIFY(QDir().mkdir(VokFiles::analyzeSettings()));

    child<QLineEdit>(&page, "lineEdit_productkey")->setText("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
    ModalCloser closer;
    child<QPushButton>(&page, "pushButton_productkey")->click(); // returns once the box is closed
    QTest::qWait(200); // a second box (a fetch begun all the same) would show here
    QCOMPARE(closer.seen, QStringList{"失败|无法写入设置文件 " + VokFiles::analyzeSettings()
                                      + "，product_key未保存"});

    // The module is still told the key that was stored before.
    PtyPair pty;
    QVERIFY(openPort(&page, pty.slavePath()));
    QVERIFY(pty.write(hex("FFFF0005 01 07 0000 0D")));
    const QByteArray info = pty.readAtLeast(75, 10000);
    QCOMPARE(info.mid(40, 32), abcKey.toLatin1());
    QVERIFY(QDir().rmdir(VokFiles::analyzeSettings()));
}

QTEST_MAIN(TestMcuWindowSettings)
#include "tst_mcuwindow_settings.moc"
