// The MCU page against the module simulator on a pseudo-terminal, with the
// sample product's definition: the simulator checks every answer it gets.

#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include <QProcess>
#include <QSpinBox>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowWithModuleSim : public QObject
{
    Q_OBJECT
private slots:
    void scriptedExchangeIsAnsweredSoundly()
    {
        TestRoot root;
        const QString key = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15", definition = TestRoot::shipped("datapoints/" + key + ".json");
        QVERIFY(root.isValid() && QFile::copy(definition, VokFiles::definitionCache(key)));
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

QTEST_MAIN(TestMcuWindowWithModuleSim)
#include "tst_mcuwindow_modulesim.moc"
