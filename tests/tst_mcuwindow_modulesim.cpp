// The MCU page against the module simulator on a pseudo-terminal, with the
// sample product's definition: the simulator checks every answer it gets.

#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace McuFixture;

namespace {
const QString sampleKey = QStringLiteral("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
QString sampleDefinition() { return TestRoot::shipped("datapoints/" + sampleKey + ".json"); }
}

class TestMcuWindowWithModuleSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void scriptedExchangeIsAnsweredSoundly();

private:
    TestRoot root;
};

void TestMcuWindowWithModuleSim::initTestCase()
{
    QVERIFY(root.isValid());
    QVERIFY(QFile::copy(sampleDefinition(), VokFiles::definitionCache(sampleKey)));
    writeSettings(sampleKey);
}

void TestMcuWindowWithModuleSim::scriptedExchangeIsAnsweredSoundly()
{
    McuWindow page;
    page.show();
    auto *table = child<QTableWidget>(&page, "datapoint_table");
    QCOMPARE(table->rowCount(), 19);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile script(dir.filePath("exchange.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("info\nexpect 02 5000\n"
                 "status\nexpect 04 5000\n"
                 "control 目标湿度=55 模式=1\nexpect 04 5000\n"
                 "wifi 2 3\nexpect 0E 5000\n"
                 "heartbeat\nexpect 08 5000\n"
                 "status\nexpect 04 5000\n"
                 "quit\n");
    script.close();

    QProcess sim;
    sim.setProgram(binDir() + "/vok-module-sim");
    sim.setArguments({"--pty", "--check", "--timeout", "5000", "--definition",
                      sampleDefinition(), "--script", script.fileName()});
    sim.start();
    QVERIFY(sim.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 20000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
    QVERIFY(openPort(&page, path));

    QVERIFY(QTest::qWaitFor([&] { return sim.state() == QProcess::NotRunning; }, 60000));
    const QByteArray simLog = sim.readAll() + sim.readAllStandardError();
    QVERIFY2(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0, simLog.constData());

    int row = 0;
    while (row < table->rowCount() && table->item(row, 0)->text() != QStringLiteral("目标湿度"))
        ++row;
    QVERIFY(row < table->rowCount());
    QCOMPARE(qobject_cast<QSpinBox *>(table->cellWidget(row, 1))->value(), 55);
    QCOMPARE(table->item(row, 0)->background().color(), QColor(252, 222, 156));

    // The log shows its last lines a moment after they arrived.
    QTRY_COMPARE(headerCount(&page, "WIFI:"), 6);
    QTRY_COMPARE(headerCount(&page, "MCU:"), 6);
}

QTEST_MAIN(TestMcuWindowWithModuleSim)
#include "tst_mcuwindow_modulesim.moc"
