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
const QByteArray kWire = QByteArray::fromHex("FFFF 0005 01 01 0000 07  FFFF 0005 07 02 0000 0E"
                                             "FFFF 0007 0D 03 0000 0032 49"
                                             "FFFF 0014 03 04 0000 01 0001 0001 00 0000 00000000 000000 1E"
                                             "010203  FFFF 0005 0A 22 0000 31");

// A simulator run; what it prints, both channels, stays readable meanwhile.
class Sim : public QProcess
{
public:
    explicit Sim(const QStringList &arguments)
    {
        setProcessChannelMode(MergedChannels);
        start(QCoreApplication::applicationDirPath() + "/vok-module-sim", arguments);
    }
    bool exitedWith(int code) { return QTest::qWaitFor([this] { return state() == NotRunning; }, 60000) && exitCode() == code; }
    QString output() { return QString::fromUtf8(peek(bytesAvailable())); }
};

// The MCU on the pseudo-terminal a --pty run prints first: answers every
// request (a heartbeat with a wrong sn or not at all, if asked) and follows
// the heartbeat reply with a set mode of its own.
struct Mcu
{
    enum Fault { None, WrongSn, Silent };
    Mcu(Sim &sim, int fault)
    {
        if (QTest::qWaitFor([&] { return sim.canReadLine(); }, 30000))
            port.openCom(sim.output().section('\n', 0, 0), "9600", 3, 0, 0);
        QObject::connect(&port, &VokSerialPort::DataReady, [this](const QByteArray &bytes) { wire += bytes; });
        QObject::connect(&framer, &VokFramer::LineDataReady, [this, fault](const QByteArray &request) {
            const quint8 cmd = *VokFrame::cmd(request);
            if (cmd % 2 == 0 || (cmd == 0x07 && fault == Silent))
                return; // the module's acknowledgements need no answer
            const quint8 sn = *VokFrame::sn(request) + (cmd == 0x07 && fault == WrongSn);
            port.write(FrameStream::frame(cmd + 1, sn, cmd == 0x01 ? QByteArray(66, '0') : QByteArray()));
            if (cmd == 0x07)
                port.write(FrameStream::frame(0x09, 0x22, "\x02"));
        });
    }
    VokSerialPort port;
    VokFramer framer{&port};
    QByteArray wire; // every byte from the simulator
};

QString script(const QByteArray &text)
{
    static QTemporaryDir dir;
    QFile file(dir.filePath("script.txt"));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName() : QString();
}

class TestModuleSim : public QObject
{
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
    void portRuns();
};

void TestModuleSim::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("script"); // --pty without one: --demo
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("interrupts"); // once the simulator has sent something
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // a pattern

    const QStringList pty{"--pty"}, check{"--pty", "--check"}, noPort{"--port", "/nonexistent/tty"};
    QTest::newRow("sound") << check << kScript << 0 << 0 << 0 << "\n6 passed, 0 failed\n$";
    QTest::newRow("wrong sn") << check << kScript << int(Mcu::WrongSn) << 0 << 1
                              << "FAIL heartbeat sn 02 answered by heartbeat reply sn 03: sn 03, the request had 02";
    QTest::newRow("only warnings") << pty << kScript << int(Mcu::WrongSn) << 0 << 0 << "warn heartbeat sn 02";
    QTest::newRow("expect missed") << pty << QByteArray("raw 01\nexpect 08 100\n") << 0 << 0 << 1
                                   << "script.txt:2: expect 08: no sound frame 08 within 100 ms";
    // The first interrupt ends like quit, the open request settles.
    QTest::newRow("demo") << check + QStringList("--demo") << QByteArray() << 0 << 1 << 0
                          << "\n1 passed, 0 failed\n$";
    // Taken while a long script runs; the second ends the wait for replies.
    QTest::newRow("interrupts") << check + QStringList{"--timeout", "600000"}
                                << QByteArray("heartbeat\n").repeated(100000) << int(Mcu::Silent) << 2 << 1
                                << "(?s)FAIL heartbeat sn 01: no reply within the .*\n0 passed, [1-9]\\d* failed\n$";
    // Every input fault is found before the port is opened.
    QTest::newRow("bad option") << QStringList() << QByteArray() << 0 << 0 << 2
                                << "^vok-module-sim: give exactly one of --port";
    QTest::newRow("definition not JSON") << noPort + QStringList{"--definition", QCoreApplication::applicationFilePath()}
                                         << QByteArray() << 0 << 0 << 2 << "^vok-module-sim: [^\n]* is not valid JSON\n$";
    QTest::newRow("missing script") << noPort + QStringList{"--script", "/nonexistent/script"} << QByteArray() << 0
                                    << 0 << 2 << "^vok-module-sim: cannot read the script";
    QTest::newRow("bad script line") << noPort << QByteArray("info\n# fine so far\nfly away\n") << 0 << 0 << 2
                                     << "^vok-module-sim: [^\n]*script.txt:3: unknown command 'fly'\n$";
    QTest::newRow("port cannot be opened") << noPort << QByteArray() << 0 << 0 << 3
                                           << "^vok-module-sim: cannot open the port /nonexistent/tty";
}

void TestModuleSim::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, script);
    QFETCH(int, fault);
    QFETCH(int, interrupts);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const QString sample = QCoreApplication::applicationDirPath() + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json";
    Sim sim(QStringList{"--timeout", "5000", "--definition", sample} + arguments
            + (script.isEmpty() ? QStringList() : QStringList{"--script", ::script(script)}));
    QScopedPointer<Mcu> mcu(arguments.contains("--pty") ? new Mcu(sim, fault) : nullptr);
    QVERIFY(!mcu || QTest::qWaitFor([&] { return !mcu->wire.isEmpty(); }, 30000));
    for (int i = 1; i <= interrupts; ++i) {
        ::kill(pid_t(sim.processId()), i == 1 ? SIGTERM : SIGINT);
        QTRY_COMPARE_WITH_TIMEOUT(sim.output().count("note interrupted"), i, 30000);
    }
    QVERIFY2(sim.exitedWith(exitCode), qPrintable(sim.output().right(2000)));
    QVERIFY2(sim.output().contains(QRegularExpression(output)), qPrintable(sim.output().right(2000)));
    QVERIFY(sim.output().count("WIFI") < 100000);
    if (script == kScript)
        QCOMPARE(mcu->wire.toHex(' '), kWire.toHex(' '));
}

void TestModuleSim::portRuns()
{
    // Commands from standard input go out on the port up to the first bad line.
    PtyPair pty;
    Sim piped({"--port", pty.slavePath()});
    piped.write("heartbeat\n\nbogus 1\nheartbeat\n");
    piped.closeWriteChannel();
    QVERIFY(piped.exitedWith(2));
    QVERIFY2(piped.output().endsWith("| heartbeat\nvok-module-sim: stdin:3: unknown command 'bogus'\n"),
             qPrintable(piped.output()));
    QCOMPARE(pty.read().toHex(' '), FrameStream::frame(0x07, 1, {}).toHex(' '));
    // A port that hangs up ends the run.
    Sim idle({"--port", pty.slavePath()});
    QTRY_VERIFY_WITH_TIMEOUT(idle.output().endsWith(" open\n"), 30000);
    pty.hangUp();
    QVERIFY(idle.exitedWith(3));
    QVERIFY2(idle.output().contains(QRegularExpression(" open\nvok-module-sim: lost the port [^\n]*\n$")),
             qPrintable(idle.output()));
}

QTEST_GUILESS_MAIN(TestModuleSim)
#include "tst_modulesim.moc"
