// The monitor tab on a real relay: the module simulator on one port, a
// stand-in MCU on the other, both over pseudo-terminals; then the same
// exchange read back from a capture file, filtered and exported.

#include "app/mainwindow.h"
#include "pages/dual/doublewindow.h"
#include "pages/monitor/monitorwindow.h"

#include "support/dualpane.h"
#include "support/framestream.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/referenceframer.h"
#include "support/testroot.h"
#include "support/widgetlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The rows of the table as text, one string list per row.
QList<QStringList> tableRows(QTableView *table)
{
    QList<QStringList> rows;
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells;
    }
    return rows;
}

// Capture lines for one received chunk: RX on its port, TX of the relayed
// copy on the other, 64 bytes a line.
QByteArray captureLines(const QString &port, const QByteArray &direction, const QByteArray &bytes)
{
    const QByteArray stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toLatin1();
    QByteArray lines;
    for (int at = 0; at < bytes.size(); at += 64)
        lines += stamp + ' ' + port.toUtf8() + ' ' + direction + ' '
                 + bytes.mid(at, 64).toHex(' ').toUpper() + '\n';
    return lines;
}

// The next frame the stand-in MCU receives.
QByteArray nextFrame(PtyPair &line, ReferenceFramer &framer)
{
    for (int wait = 0; framer.frames.isEmpty() && wait < 100; ++wait)
        framer.feed(line.read(100, 10));
    return framer.frames.isEmpty() ? QByteArray() : framer.frames.takeFirst();
}

enum Column { Number, Time, Direction, Command, Sn, Length, Checksum, Reply, Problem };

} // namespace

class TestMonitorWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void relayedExchangeIsJudgedLiveAndFromItsCapture();
    void damagedCaptureShowsWhatWasRead_data();
    void damagedCaptureShowsWhatWasRead();
    void filteredRowsExportAsCsv();

private:
    QTemporaryDir dir;
    QByteArray capture; // of the live exchange
    QList<QStringList> liveRows;
};

void TestMonitorWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    // The module-port choice is remembered per user: keep it out of the real home.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
}

void TestMonitorWindow::relayedExchangeIsJudgedLiveAndFromItsCapture()
{
    // The module simulator takes its commands one at a time from standard
    // input, so each exchange is over before the next begins.
    QProcess sim;
    sim.setProgram(QCoreApplication::applicationDirPath() + "/vok-module-sim");
    sim.setArguments({"--pty", "--timeout", "500"});
    sim.start();
    QVERIFY(sim.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 20000));
    const QString modulePath = QString::fromLocal8Bit(sim.readLine()).trimmed();
    PtyPair mcu;
    QVERIFY(mcu.isValid());

    MainWindow window;
    window.show();
    auto *dual = window.findChild<DoubleWindow *>();
    auto *monitor = window.findChild<MonitorWindow *>();
    auto *table = child<QTableView>(monitor, "tableView");
    // Long enough for a busy machine to relay every reply in time.
    child<QSpinBox>(monitor, "spinBox_timeout")->setValue(1500);
    capture = "# vok-serial-tool capture 1\n";
    int fromMcu = 0;
    connect(dual, &DoubleWindow::bytesReceived, this, [&](int pane, const QByteArray &bytes) {
        fromMcu += pane == 1 ? bytes.size() : 0;
        capture += captureLines(dual->portName(pane), "RX", bytes);
        capture += captureLines(dual->portName(1 - pane), "TX", bytes);
    });
    QVERIFY(openDualPane(&window, 2, mcu.slavePath()));
    QVERIFY(openDualPane(&window, 1, modulePath));
    // The monitor shows the dual page's relay: its ports stay open there.
    child<QTabWidget>(&window, "tabWidget")->setCurrentIndex(3);
    QCOMPARE(child<QPushButton>(&window, "pushButton_open1")->text(), QStringLiteral("关闭串口"));
    QCOMPARE(child<QPushButton>(&window, "pushButton_open2")->text(), QStringLiteral("关闭串口"));
    QCOMPARE(child<QComboBox>(monitor, "comboBox_module")->itemText(0), dual->portName(0));

    using FrameStream::frame;
    ReferenceFramer pending;
    int mcuSent = 0;
    const QList<QPair<QByteArray, quint8>> commands = {
        {"info", 0x01}, {"status", 0x03}, {"heartbeat", 0x07}, {"wifi 2 3", 0x0D}};
    for (const auto &command : commands) {
        sim.write(command.first + '\n');
        const QByteArray request = nextFrame(mcu, pending);
        QCOMPARE(request.size() > 5 ? quint8(request.at(4)) : 0, command.second);
        const quint8 sn = quint8(request.at(5));
        QByteArray reply;
        if (command.second == 0x01) {
            reply = "\xAA\xBB" + frame(0x02, sn, QByteArray(66, '0'));
        } else if (command.second == 0x03) {
            reply = frame(0x04, sn, {});
            reply[8] = char(reply.at(8) + 1);
        } else if (command.second == 0x07) {
            reply = frame(0x08, quint8(sn + 5), {});
        }
        QVERIFY(mcu.write(reply));
        mcuSent += reply.size();
        QVERIFY(QTest::qWaitFor([&] { return fromMcu == mcuSent; }, 10000));
    }
    sim.write("quit\n");
    sim.closeWriteChannel();
    QVERIFY(QTest::qWaitFor([&] { return sim.state() == QProcess::NotRunning; }, 20000));
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 10, 8000);

    liveRows = tableRows(table);
    struct Expected { const char *command; const char *direction; const char *problem; const char *reply; };
    const Expected expected[] = {
        {"01", "模块→MCU", "", ""},
        {"帧外字节", "MCU→模块", "帧外字节", ""},
        {"02", "MCU→模块", "", "#1，"},
        {"03", "模块→MCU", "", ""},
        {"04", "MCU→模块", "校验和错误", "#4，"},
        {"07", "模块→MCU", "", ""},
        {"08", "MCU→模块", "sn与请求不符", "#6？"},
        {"0D", "模块→MCU", "", ""},
        {"07", "模块→MCU", "无应答", "#6 超过1500 ms"},
        {"0D", "模块→MCU", "无应答", "#8 超过1500 ms"},
    };
    for (int row = 0; row < 10; ++row) {
        const QStringList &cells = liveRows[row];
        const QByteArray where = cells.join(" | ").toUtf8();
        QVERIFY2(cells[Command].startsWith(QString::fromUtf8(expected[row].command)), where);
        QVERIFY2(cells[Direction] == QString::fromUtf8(expected[row].direction), where);
        QVERIFY2(cells[Problem] == QString::fromUtf8(expected[row].problem), where);
        const QString reply = QString::fromUtf8(expected[row].reply);
        QVERIFY2(cells[Reply].left(reply.size()) == reply, where);
    }

    // The same exchange from its capture: the same rows but for the clock
    // readings, which the recorder took a moment after the monitor.
    const QString path = dir.filePath("capture.txt");
    QVERIFY(writeFile(path, capture));
    QVERIFY(monitor->openCapture(path));
    const QList<QStringList> fileRows = tableRows(table);
    QCOMPARE(fileRows.size(), liveRows.size());
    for (int row = 0; row < fileRows.size(); ++row) {
        QStringList live = liveRows[row];
        QStringList file = fileRows[row];
        for (QStringList *cells : {&live, &file}) {
            (*cells)[Time].clear();
            (*cells)[Reply] = (*cells)[Reply].section(QStringLiteral("，"), 0, 0);
        }
        QCOMPARE(file, live);
    }
}

void TestMonitorWindow::damagedCaptureShowsWhatWasRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<int>("rows");

    if (capture.isEmpty())
        QSKIP("needs the capture of the live exchange");
    // Cut in the middle of the line that carries the 04 reply.
    const int cut = capture.indexOf(" RX FF FF 00 05 04 ") + 10;
    QTest::newRow("truncated") << capture.left(cut) << QStringLiteral("第 %1 行").arg(capture.left(cut).count('\n') + 1)
                               << 5; // 01, stray, 02, 03, and 03 unanswered
    QTest::newRow("another format") << QByteArray("garbage\n") + capture << QStringLiteral("第 1 行") << 0;
}

void TestMonitorWindow::damagedCaptureShowsWhatWasRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, stop);
    QFETCH(int, rows);
    const QString path = dir.filePath("damaged.txt");
    QVERIFY(writeFile(path, content));
    MonitorWindow monitor;
    ModalCloser closer;
    QVERIFY(!monitor.openCapture(path));
    QCOMPARE(closer.seen.size(), 1);
    QVERIFY2(closer.seen[0].startsWith(QStringLiteral("提示|") + stop), qPrintable(closer.seen[0]));
    QCOMPARE(child<QTableView>(&monitor, "tableView")->model()->rowCount(), rows);
}

void TestMonitorWindow::filteredRowsExportAsCsv()
{
    if (capture.isEmpty())
        QSKIP("needs the capture of the live exchange");
    const QString path = dir.filePath("capture.txt");
    MonitorWindow monitor;
    ModalCloser closer; // should the capture be damaged after all
    QVERIFY(monitor.openCapture(path));
    child<QCheckBox>(&monitor, "checkBox_faults")->setChecked(true);
    child<QComboBox>(&monitor, "comboBox_direction")->setCurrentIndex(2); // MCU -> module
    const QString csv = dir.filePath("faults.csv");
    QVERIFY(monitor.exportCsv(csv));
    const QStringList lines = QString::fromUtf8(readFile(csv)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(QStringLiteral("#,时间,方向,命令,sn,长度,校验和,")));
    QVERIFY2(lines[1].contains(QStringLiteral(",帧外字节,,2,,,帧外字节,AA BB")), qPrintable(lines[1]));
    QVERIFY2(lines[2].contains(QStringLiteral(",校验和错误,")), qPrintable(lines[2]));
    QVERIFY2(lines[3].contains(QStringLiteral(",sn与请求不符,")), qPrintable(lines[3]));

    // The module's port is remembered for the next start.
    auto *module = child<QComboBox>(&monitor, "comboBox_module");
    module->setCurrentIndex(1);
    QMetaObject::invokeMethod(module, "activated", Q_ARG(int, 1));
    MonitorWindow next;
    QCOMPARE(child<QComboBox>(&next, "comboBox_module")->currentIndex(), 1);
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitorwindow.moc"
