// The monitor tab on a real relay: the module simulator on one port, a
// stand-in MCU on the other, both over pseudo-terminals; then the same
// exchange read back from its capture file, damaged, filtered and exported.

#include "app/mainwindow.h"
#include "pages/dual/doublewindow.h"
#include "pages/monitor/monitorwindow.h"
#include "protocol/frame.h"
#include "serial/capturewriter.h"

#include "support/dualpane.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/referenceframer.h"
#include "support/testroot.h"

#include <QtTest>
#include <QtWidgets>

enum Column { Number, Time, Direction, Command, Sn, Length, Checksum, Reply, Problem, Decoding };

// The table's rows, the given columns (all but the time) of each joined by '|',
// every cell only up to its first space or comma (the rest names commands and times).
static QStringList tableRows(QTableView *table, const QList<int> &columns = {Number, Direction, Command, Sn, Length, Checksum, Reply, Problem, Decoding})
{
    QStringList rows;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        QStringList cells;
        for (const int column : columns)
            cells << table->model()->index(row, column).data().toString().section(QRegularExpression("[ ，]"), 0, 0);
        rows << cells.join('|');
    }
    return rows;
}

class TestMonitorWindow : public QObject
{
    Q_OBJECT
private slots:
    void relayedExchangeIsJudgedLiveAndFromItsCapture()
    {
        TestRoot dir; // also keeps the settings the monitor remembers out of the real home
        // The module simulator takes its commands one at a time from standard
        // input, so each exchange is over before the next begins.
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + "/vok-module-sim", {"--pty", "--timeout", "500"});
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 20000));
        PtyPair mcu;
        MainWindow window;
        auto *dual = window.findChild<DoubleWindow *>();
        auto *monitor = window.findChild<MonitorWindow *>();
        auto *table = child<QTableView>(monitor, "tableView");
        auto *timeout = child<QSpinBox>(monitor, "spinBox_timeout");
        timeout->setValue(1500); // long enough for a busy machine to relay every reply in time
        CaptureWriter capture; // what the dual page's recording would write
        capture.setFolder(dir.filePath("captures"));
        QVERIFY(capture.start("relay"));
        int fromMcu = 0, mcuSent = 0;
        connect(dual, &DoubleWindow::bytesReceived, this, [&](int pane, const QByteArray &bytes) {
            fromMcu += pane == 1 ? bytes.size() : 0;
            capture.record(dual->portName(pane), CaptureWriter::Received, bytes);
            capture.record(dual->portName(1 - pane), CaptureWriter::Sent, bytes);
        });
        QVERIFY(openDualPane(&window, 2, mcu.slavePath()) && openDualPane(&window, 1, QString::fromLocal8Bit(sim.readLine()).trimmed()));
        // The monitor shows the dual page's relay: its ports stay open there.
        child<QTabWidget>(&window, "tabWidget")->setCurrentIndex(3);
        auto *module = child<QComboBox>(monitor, "comboBox_module");
        QCOMPARE(module->itemText(0), dual->portName(0));

        ReferenceFramer requests; // the table below names their commands
        const QByteArray commands[] = {"info", "status", "heartbeat", "wifi 2 3"};
        for (int i = 0; i < 4; ++i) {
            sim.write(commands[i] + '\n');
            QVERIFY2(QTest::qWaitFor([&] { requests.feed(mcu.read(10, 10)); return !requests.frames.isEmpty(); }, 10000), commands[i]);
            const quint8 sn = quint8(requests.frames.takeFirst().at(VokFrame::SnPos));
            const QByteArray replies[] = {"\xAA\xBB" + VokFrame::build(0x02, sn, QByteArray(66, '0')), // after stray bytes
                                          VokFrame::build(0x04, sn, {}).chopped(1) + VokFrame::build(0x05, sn, {}).right(1), // wrong checksum
                                          VokFrame::build(0x08, quint8(sn + 5), {}), {}}; // another sn; none
            mcuSent += replies[i].size();
            QVERIFY(mcu.write(replies[i]) && QTest::qWaitFor([&] { return fromMcu == mcuSent; }, 10000));
        }
        // Every reply is in: the open requests may time out now.
        timeout->setValue(50);
        QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 10, 8000);
        QCOMPARE(table->model()->index(8, Reply).data().toString(), QStringLiteral("#6 超过50 ms"));
        QCOMPARE(tableRows(table, {Command, Direction, Problem, Reply}),
                 QStringList({"01|模块→MCU||", "帧外字节|MCU→模块|帧外字节|", "02|MCU→模块||#1", "03|模块→MCU||",
                              "04|MCU→模块|校验和错误|#4", "07|模块→MCU||", "08|MCU→模块|sn与请求不符|#6？",
                              "0D|模块→MCU||", "07|模块→MCU|无应答|#6", "0D|模块→MCU|无应答|#8"}));
        QVERIFY(sim.write("quit\n") && sim.waitForFinished(20000));
        capture.stop();

        // The same rows from the capture but for the clock readings, which the
        // recorder took a moment after the monitor.
        const QStringList live = tableRows(table);
        timeout->setValue(1500);
        QVERIFY(monitor->openCapture(capture.fileName()));
        QCOMPARE(tableRows(table), live);

        // A damaged capture, cut in the line of the 04 reply, shows what was read
        // before: 01, stray, 02, 03, and 03 unanswered.
        QByteArray damaged = readFile(capture.fileName());
        damaged.truncate(damaged.indexOf(" RX FF FF 00 05 04 ") + 10);
        ModalCloser closer;
        QVERIFY(writeFile(dir.filePath("damaged.txt"), damaged) && !monitor->openCapture(dir.filePath("damaged.txt")));
        QVERIFY2(closer.seen.size() == 1 && closer.seen[0].startsWith(QStringLiteral("提示|第 %1 行").arg(damaged.count('\n') + 1)),
                 qPrintable(closer.seen.join('\n')));
        QCOMPARE(table->model()->rowCount(), 5);

        // The faults from the MCU to the module, exported.
        QVERIFY(monitor->openCapture(capture.fileName()));
        child<QCheckBox>(monitor, "checkBox_faults")->setChecked(true);
        child<QComboBox>(monitor, "comboBox_direction")->setCurrentIndex(2); // MCU -> module
        QVERIFY(monitor->exportCsv(dir.filePath("faults.csv")));
        const QString csv = QString::fromUtf8(readFile(dir.filePath("faults.csv")));
        QVERIFY2(QRegularExpression("^#,时间,方向,命令,sn,长度,校验和,.*\n.*,帧外字节,,2,,,帧外字节,AA BB.*\n"
                                    ".*,校验和错误,.*\n.*,sn与请求不符,.*\n$").match(csv).hasMatch(), qPrintable(csv));

        // One command only: both heartbeat rows, the stray bytes never.
        child<QCheckBox>(monitor, "checkBox_faults")->setChecked(false);
        child<QComboBox>(monitor, "comboBox_direction")->setCurrentIndex(0);
        auto *command = child<QComboBox>(monitor, "comboBox_command");
        command->setCurrentIndex(command->findData(0x07));
        QCOMPARE(tableRows(table, {Command, Problem}), QStringList({"07|", "07|无应答"}));

        // The module's port is remembered for the next start.
        emit module->activated(1);
        MonitorWindow next;
        QCOMPARE(child<QComboBox>(&next, "comboBox_module")->currentIndex(), 1);
    }
};

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitorwindow.moc"
