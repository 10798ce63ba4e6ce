// Product key entry and datapoint definition fetch on the MCU page, against
// the local datapoint service on 127.0.0.1.

#include "datapoint/vokjson.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace McuFixture;

namespace {

const QString sampleKey = QStringLiteral("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
const QString unknownKey = QStringLiteral("00000000000000000000000000000000");
const QString successBox = QStringLiteral("成功|获取数据点列表成功！");

} // namespace

class TestMcuWindowProductKey : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void savedKeyIsFetchedAndTableRebuiltAfterTheBox_data();
    void savedKeyIsFetchedAndTableRebuiltAfterTheBox();
    void refusedOrFailedKeyKeepsTheTable_data();
    void refusedOrFailedKeyKeepsTheTable();
    void updateFetchesTheStoredKey();

private:
    int tableRows() const { return child<QTableWidget>(page.get(), "datapoint_table")->rowCount(); }
    static QString storedKey()
    {
        return QSettings(VokFiles::analyzeSettings(), QSettings::IniFormat).value("product_key/key").toString();
    }
    // Clicks the button; returns the boxes shown, with the table's row count
    // at the moment "成功" was on screen.
    QStringList clickAndCollectBoxes(const char *button);

    TestRoot root;
    QProcess service;
    QString serviceHost;
    std::unique_ptr<McuWindow> page;
    int rowsWhileSuccessShown = -1;
};

void TestMcuWindowProductKey::initTestCase()
{
    QVERIFY(root.isValid());
    writeDefinition(abcKey, abcDefinition());

    // The service serves the shipped sample definition only.
    service.setProgram(binDir() + "/vok-datapoint-service");
    service.setArguments({"--port", "0", "--dir", TestRoot::shipped("datapoints")});
    service.start();
    QVERIFY(service.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return service.canReadLine(); }, 20000));
    const QRegularExpressionMatch listening =
        QRegularExpression("listening on (127\\.0\\.0\\.1:\\d+)").match(service.readLine());
    QVERIFY(listening.hasMatch());
    serviceHost = listening.captured(1);
}

void TestMcuWindowProductKey::cleanupTestCase()
{
    service.terminate();
    service.waitForFinished(5000);
}

void TestMcuWindowProductKey::init()
{
    QFile::remove(VokFiles::definitionCache(sampleKey));
    writeSettings(abcKey);
    page = std::make_unique<McuWindow>();
    page->datapointModel()->setServiceHost(serviceHost);
    page->show();
    QCOMPARE(tableRows(), 3);
    rowsWhileSuccessShown = -1;
}

void TestMcuWindowProductKey::cleanup()
{
    page.reset();
}

QStringList TestMcuWindowProductKey::clickAndCollectBoxes(const char *button)
{
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->windowTitle() == QStringLiteral("成功"))
            rowsWhileSuccessShown = tableRows();
    });
    watcher.start(10);
    ModalCloser closer(300); // slower than the watcher, so it sees the box first
    child<QPushButton>(page.get(), button)->click();
    // The caller compares the boxes, so a missing one is reported there.
    [[maybe_unused]] const bool shown = QTest::qWaitFor([&] { return !closer.seen.isEmpty(); }, 20000);
    QTest::qWait(150); // a box too many would show up here
    return closer.seen;
}

void TestMcuWindowProductKey::savedKeyIsFetchedAndTableRebuiltAfterTheBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("32 characters") << sampleKey;
    QTest::newRow("32 characters in groups") << "5f0c 2e7d 9b1a 4c83 a6e2 d4f7 b8c9 0e15";
    QTest::newRow("64 hex digits") << QString::fromLatin1(sampleKey.toLatin1().toHex(' '));
}

void TestMcuWindowProductKey::savedKeyIsFetchedAndTableRebuiltAfterTheBox()
{
    QFETCH(QString, typed);
    child<QLineEdit>(page.get(), "lineEdit_productkey")->setText(typed);
    QCOMPARE(clickAndCollectBoxes("pushButton_productkey"), QStringList{successBox});
    QCOMPARE(rowsWhileSuccessShown, 3); // still the old definition while the box was up
    QVERIFY(tableRows() > 3);
    QVERIFY(QFile::exists(VokFiles::definitionCache(sampleKey)));
    QCOMPARE(storedKey(), sampleKey);

    // The module now gets the new key in the product information.
    PtyPair pty;
    QVERIFY(openPort(page.get(), pty.slavePath()));
    QVERIFY(pty.write(hex("FFFF0005 01 07 0000 0D")));
    const QByteArray info = pty.readAtLeast(75, 10000);
    QCOMPARE(info.size(), 75);
    QCOMPARE(info.mid(40, 32), sampleKey.toLatin1());
    QCOMPARE(info.toHex(), stamped(info).toHex());
}

void TestMcuWindowProductKey::refusedOrFailedKeyKeepsTheTable_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("storedAfter");
    QTest::newRow("31 characters") << sampleKey.left(31) << QStringLiteral("错误|输入格式错误") << abcKey;
    QTest::newRow("unknown to the service")
        << unknownKey << QStringLiteral("失败|获取数据点列表失败，请检查product_key是否正确！") << unknownKey;
}

void TestMcuWindowProductKey::refusedOrFailedKeyKeepsTheTable()
{
    QFETCH(QString, typed);
    QFETCH(QString, box);
    QFETCH(QString, storedAfter);
    child<QLineEdit>(page.get(), "lineEdit_productkey")->setText(typed);
    QCOMPARE(clickAndCollectBoxes("pushButton_productkey"), QStringList{box});
    QCOMPARE(tableRows(), 3);
    QVERIFY(!QFile::exists(VokFiles::definitionCache(unknownKey)));
    QCOMPARE(storedKey(), storedAfter);
}

void TestMcuWindowProductKey::updateFetchesTheStoredKey()
{
    writeSettings(sampleKey); // stored by hand; nothing cached for it yet
    QCOMPARE(clickAndCollectBoxes("pushButton_updatejson"), QStringList{successBox});
    QCOMPARE(rowsWhileSuccessShown, 3);
    QVERIFY(tableRows() > 3);
}

QTEST_MAIN(TestMcuWindowProductKey)
#include "tst_mcuwindow_productkey.moc"
