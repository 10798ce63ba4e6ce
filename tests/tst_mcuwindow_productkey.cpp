// The MCU page against the helper programs: product key entry and definition
// fetch against the local datapoint service on 127.0.0.1, and a scripted
// exchange with the module simulator, which checks every answer it gets.

#include "datapoint/vokjson.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSpinBox>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowWithHelpers : public QObject
{
    Q_OBJECT
    TestRoot root;
    QProcess service;

    // The boxes shown during and after the action, each as "title|text|rows": the
    // table's rows while it was on screen.
    QStringList boxesDuring(McuWindow &page, const std::function<void()> &action)
    {
        QStringList seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + '|' + box->text() + '|' + QString::number(rows(page));
                box->done(QMessageBox::Ok);
            }
        });
        closer.start(10);
        action();
        (void)QTest::qWaitFor([&] { return !seen.isEmpty(); }, 20000);
        QTest::qWait(50); // a box too many would show up here
        return seen;
    }
    static int rows(McuWindow &page) { return child<QTableWidget>(&page, "datapoint_table")->rowCount(); }
    static QString storedKey() { return QSettings(VokFiles::analyzeSettings(), QSettings::IniFormat).value("product_key/key").toString(); }

private slots:
    void keysAreStoredAndDefinitionsFetched()
    {
        // The service serves the shipped sample definition only.
        service.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service",
                      {"--port", "0", "--dir", TestRoot::shipped("datapoints")});
        QVERIFY(service.waitForStarted(10000) && QTest::qWaitFor([&] { return service.canReadLine(); }, 20000));
        const QString host = QRegularExpression("listening on (127\\.0\\.0\\.1:\\d+)").match(service.readLine()).captured(1);
        writeDefinition(abcKey, abcDefinition);
        writeSettings(abcKey);
        McuWindow page;
        page.datapointModel()->setServiceHost(host);
        const QString sampleKey = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15", unknownKey(32, '0');
        // Refused, or unknown to the service: the table stays as it was.
        QCOMPARE(boxesDuring(page, [&] { page.saveProductKey(sampleKey.left(31)); }), QStringList("错误|输入格式错误|3"));
        QCOMPARE(boxesDuring(page, [&] { page.saveProductKey(unknownKey); }),
                 QStringList("失败|获取数据点列表失败，请检查product_key是否正确！|3"));
        QCOMPARE(QStringList({QString::number(rows(page)), storedKey()}), QStringList({"3", unknownKey}));
        // Stored and fetched; the table is rebuilt once the box is closed.
        child<QLineEdit>(&page, "lineEdit_productkey")->setText("5f0c 2e7d 9b1a 4c83 a6e2 d4f7 b8c9 0e15");
        const auto click = [&](const char *button) { return [&page, button] { child<QPushButton>(&page, button)->click(); }; };
        QCOMPARE(boxesDuring(page, click("pushButton_productkey")), QStringList("成功|获取数据点列表成功！|3"));
        const int sampleRows = rows(page);
        QVERIFY(sampleRows > 3 && storedKey() == sampleKey);
        // "更新" fetches the stored key again: nothing is cached now.
        QVERIFY(QFile::remove(VokFiles::definitionCache(sampleKey)));
        QCOMPARE(boxesDuring(page, click("pushButton_updatejson")), QStringList("成功|获取数据点列表成功！|" + QString::number(sampleRows)));
        service.terminate();
        service.waitForFinished(5000);
    }

    void scriptedExchangeWithTheModuleSimulator()
    {
        const QString key = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15", definition = TestRoot::shipped("datapoints/" + key + ".json");
        QVERIFY(writeFile(VokFiles::definitionCache(key), readFile(definition)));
        writeSettings(key);
        QVERIFY(writeFile(root.filePath("exchange.txt"), "info\nexpect 02 5000\nstatus\nexpect 04 5000\n"
                                                         "control 目标湿度=55 模式=1\nexpect 04 5000\nwifi 2 3\nexpect 0E 5000\n"
                                                         "heartbeat\nexpect 08 5000\nstatus\nexpect 04 5000\nquit\n"));
        McuWindow page;
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + "/vok-module-sim",
                  {"--pty", "--check", "--timeout", "5000", "--definition", definition, "--script", root.filePath("exchange.txt")});
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 20000)
                && openPort(&page, QString::fromLocal8Bit(sim.readLine()).trimmed()));
        const bool finished = QTest::qWaitFor([&] { return sim.state() == QProcess::NotRunning; }, 60000);
        QVERIFY2(finished && sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0, sim.readAllStandardError());
        // The control frame reached the table; the log shows its last lines a moment after they arrived.
        const auto target = child<QTableWidget>(&page, "datapoint_table")->findItems("目标湿度", Qt::MatchExactly);
        QVERIFY(target.size() == 1 && target[0]->background().color() == QColor(252, 222, 156));
        QCOMPARE(qobject_cast<QSpinBox *>(target[0]->tableWidget()->cellWidget(target[0]->row(), 1))->value(), 55);
        QTRY_COMPARE(QList<int>({logLines(&page).filter("WIFI:").size(), logLines(&page).filter("MCU:").size()}), QList<int>({6, 6}));
    }
};

QTEST_MAIN(TestMcuWindowWithHelpers)
#include "tst_mcuwindow_productkey.moc"
