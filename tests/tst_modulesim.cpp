// The module simulator run as a process over real pseudo-terminals, against
// an MCU played here on the tool's own port class.
#include "protocol/frame.h"
#include "protocol/vokframer.h"
#include "serial/vokserialport.h"
#include "support/framestream.h"
#include "support/ptypair.h"

#include <QtTest>

#include <csignal>

// The wait lets the set mode arrive before the expect looks for it.
const QByteArray kScript = "info\n# a comment\n\nheartbeat\nwifi 2 3\ncontrol 开关=1\nraw 01 02 03\nwait 100\n"
                           "expect 09\nquit\ninfo\n";
// Every command as written, the set mode acknowledged, nothing after quit.
const QByteArray kWire = QByteArray::fromHex(
    "FFFF 0005 01 01 0000 07  FFFF 0005 07 02 0000 0E  FFFF 0007 0D 03 0000 0032 49"
    "FFFF 0014 03 04 0000 01 0001 0001 00 0000 00000000 000000 1E  010203  FFFF 0005 0A 22 0000 31");

// The MCU on the pseudo-terminal a --pty run prints first: answers every
// request, unless silent, at once and without data but for the product
// information, and follows the heartbeat reply with a set mode of its own.
struct Mcu
{
    Mcu(QProcess &sim, bool silent)
    {
        if (QTest::qWaitFor([&] { return sim.canReadLine(); }, 30000))
            port.openCom(QString(sim.readLine()).trimmed(), "9600", 3, 0, 0);
        QObject::connect(&port, &VokSerialPort::DataReady, [this](const QByteArray &bytes) { wire += bytes; });
        QObject::connect(&framer, &VokFramer::LineDataReady, [this, silent](const QByteArray &request) {
            const quint8 cmd = *VokFrame::cmd(request);
            if (cmd % 2 == 0 || silent)
                return; // the module's acknowledgements need no answer
            port.write(FrameStream::frame(cmd + 1, *VokFrame::sn(request), cmd == 1 ? QByteArray(66, '0') : nullptr)
                       + (cmd == 0x07 ? FrameStream::frame(0x09, 0x22, "\x02") : nullptr));
        });
    }
    VokSerialPort port;
    VokFramer framer{&port};
    QByteArray wire; // every byte from the simulator
};

class TestModuleSim : public QObject
{
    Q_OBJECT
private slots:
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("commands"); // standard input to a --port run on the line, else a --script
        QTest::addColumn<int>("interrupts"); // once open; with two the MCU stays silent, -1: the line hangs up
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a pattern

        const QStringList pty{"--pty"}, check{"--pty", "--check"}, port{"--port", line.slavePath()};
        const QStringList noPort{"--port", "/nonexistent/tty"};
        QTest::newRow("sound") << check << kScript << 0 << 0 << "\n6 passed, 0 failed\n$";
        QTest::newRow("faulty reply") << check << QByteArray("status\nquit\n") << 0 << 1
                                      << "FAIL status read sn 01 answered by [^\n]*: no status data\n0 passed, 1 failed\n$";
        QTest::newRow("only warnings") << pty << QByteArray("status\n") << 0 << 0 << "warn status read";
        QTest::newRow("expect missed") << pty << QByteArray("raw 01\nexpect 08 50\n") << 0 << 1
                                       << ":2: expect 08: no sound frame 08 within 50 ms";
        // Starts with the product information; ends like quit: the open request settles.
        QTest::newRow("demo") << check + QStringList("--demo") << QByteArray() << 1 << 0
                              << "opened\n[^\n]*\\| product information request\n(?s).*\n[1-9]\\d* passed, 0 failed";
        // Taken while a long script runs (not all of it sent); the second ends the wait for replies.
        QTest::newRow("signals") << check + QStringList{"--timeout", "600000"} << QByteArray("heartbeat\n").repeated(100000)
                                 << 2 << 1 << "(?s)heartbeat sn 01: no reply within the .*\n0 passed, \\d{1,5} failed\n$";
        QTest::newRow("piped bad line") << port << QByteArray("heartbeat\n\nbogus 1\nheartbeat\n") << 0 << 2
                                        << "01 00 00 0D \\| heartbeat\nvok-module-sim: stdin:3: unknown command 'bogus'\n$";
        QTest::newRow("hang-up") << port << QByteArray("wait 60000\n") << -1 << 3
                                 << " open\nvok-module-sim: lost the port [^\n]*\n$";
        // Every input fault is found before the port is opened.
        QTest::newRow("bad option") << QStringList() << QByteArray() << 0 << 2 << "^vok-module-sim: give exactly one of";
        QTest::newRow("not JSON") << noPort + QStringList{"--definition", QCoreApplication::applicationFilePath()}
                                  << QByteArray() << 0 << 2 << "^vok-module-sim: [^\n]* is not valid JSON\n$";
        QTest::newRow("missing script") << noPort + QStringList{"--script", "/nonexistent"} << QByteArray() << 0 << 2
                                        << "^vok-module-sim: cannot read the script";
        QTest::newRow("bad script line") << noPort << QByteArray("info\n# fine so far\nfly away\n") << 0 << 2
                                         << "^vok-module-sim: [^\n]*:3: unknown command 'fly'\n$";
        QTest::newRow("no port") << noPort << QByteArray() << 0 << 3 << "^vok-module-sim: cannot open the port";
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, commands);
        QFETCH(int, interrupts);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryFile script;
        QVERIFY(script.open() && script.write(commands) == commands.size() && script.flush());
        if (!commands.isEmpty() && !arguments.contains(line.slavePath()))
            arguments << "--script" << script.fileName();
        QProcess sim; // standard input from the commands too; both channels printed as one
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.setStandardInputFile(script.fileName());
        const QString bin = QCoreApplication::applicationDirPath();
        sim.start(bin + "/vok-module-sim", QStringList{"--timeout", "5000", "--definition", bin + "/datapoints/"
                                                       "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json"} + arguments);
        const auto printed = [&] { return QString::fromUtf8(sim.peek(sim.bytesAvailable())); };
        QScopedPointer<Mcu> mcu(arguments.contains("--pty") ? new Mcu(sim, interrupts == 2) : nullptr);
        const auto waitFor = [](const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 30000); };
        QVERIFY(!interrupts || waitFor([&] { return printed().contains(QRegularExpression(" open(ed)?\n")); }));
        if (interrupts < 0)
            line.hangUp();
        for (int i = 1; i <= interrupts; ++i) {
            ::kill(pid_t(sim.processId()), i == 1 ? SIGTERM : SIGINT);
            QVERIFY(waitFor([&] { return printed().count("note interrupted") == i; }));
        }
        QVERIFY(waitFor([&] { return sim.state() == QProcess::NotRunning; }));
        QVERIFY2(sim.exitCode() == exitCode && printed().contains(QRegularExpression(output)),
                 qPrintable(printed().right(2000)));
        if (commands == kScript)
            QCOMPARE(mcu->wire.toHex(' '), kWire.toHex(' '));
    }

private:
    PtyPair line; // for --port runs, hung up by the last
};

QTEST_GUILESS_MAIN(TestModuleSim)
#include "tst_modulesim.moc"
