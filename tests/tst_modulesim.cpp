// The module simulator run as a process against a tiny MCU written here,
// over real pseudo-terminals.
#include "datapoint/vokjson.h"
#include "protocol/vokframer.h"
#include "serial/vokserialport.h"
#include "support/framestream.h"
#include "support/ptypair.h"

#include <QtTest>

#include <functional>

#include <csignal>
#include <unistd.h>

namespace {

const char kSampleKey[] = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";

QString simProgram()
{
    return QCoreApplication::applicationDirPath() + "/vok-module-sim";
}

QString sampleDefinition()
{
    return QCoreApplication::applicationDirPath() + "/datapoints/" + kSampleKey + ".json";
}

// The master side of a PtyPair as a port object with DataReady; keeps every
// byte received.
class MasterSide : public QObject
{
    Q_OBJECT
public:
    explicit MasterSide(PtyPair &pty) : pty(pty), notifier(pty.masterDescriptor(), QSocketNotifier::Read)
    {
        connect(&notifier, &QSocketNotifier::activated, this, [this] {
            char chunk[4096];
            ssize_t count;
            while ((count = ::read(this->pty.masterDescriptor(), chunk, sizeof chunk)) > 0) {
                wire += QByteArray(chunk, int(count));
                emit DataReady(QByteArray(chunk, int(count)));
            }
        });
    }
    void write(const QByteArray &bytes) { QVERIFY(pty.write(bytes)); }

    QByteArray wire;

signals:
    void DataReady(QByteArray);

private:
    PtyPair &pty;
    QSocketNotifier notifier;
};

// Answers the module as an MCU does, with one fault on request if asked.
class TinyMcu : public QObject
{
    Q_OBJECT
public:
    enum Fault { None, WrongSn, NoReply };

    TinyMcu(QObject *port, std::function<void(const QByteArray &)> write, int statusDataSize)
        : write(std::move(write)), statusDataSize(statusDataSize), framer(port)
    {
        connect(&framer, &VokFramer::LineDataReady, this, &TinyMcu::answer);
    }

    Fault fault = None;
    quint8 faultyRequest = 0; // command of the request that gets the fault
    QList<QByteArray> frames; // every frame received

    bool hasFrame(quint8 cmd, int action = -1) const
    {
        for (const QByteArray &frame : frames) {
            if (quint8(frame.at(4)) == cmd
                && (action < 0 || (frame.size() > 8 && quint8(frame.at(8)) == action)))
                return true;
        }
        return false;
    }

private:
    void answer(const QByteArray &request)
    {
        frames << request;
        const quint8 cmd = quint8(request.at(4));
        const quint8 sn = quint8(request.at(5));
        const bool faulty = fault != None && cmd == faultyRequest;
        QByteArray payload;
        if (cmd == 0x01)
            payload = "0000000400000004000000010000000" "1" + QByteArray(kSampleKey) + QByteArray(2, '\0');
        else if (cmd == 0x03 && request.at(8) == 0x02)
            payload = '\x03' + QByteArray(statusDataSize, '\x01');
        else if (cmd != 0x03 && cmd != 0x07 && cmd != 0x0D)
            return; // acknowledgements of the module need no answer
        if (faulty && fault == NoReply)
            return;
        write(FrameStream::frame(quint8(cmd + 1), quint8(sn + (faulty && fault == WrongSn)), payload));
    }

    std::function<void(const QByteArray &)> write;
    int statusDataSize;
    VokFramer framer;
};

// A pseudo-terminal whose master side a TinyMcu plays.
struct McuOnPty
{
    explicit McuOnPty(int statusDataSize)
        : master(pty), mcu(&master, [this](const QByteArray &bytes) { master.write(bytes); }, statusDataSize)
    {
    }
    PtyPair pty;
    MasterSide master;
    TinyMcu mcu;
};

// A simulator process whose output is collected as it comes.
class Sim
{
public:
    explicit Sim(const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += process.readAllStandardOutput(); });
        process.start(simProgram(), arguments);
    }
    ~Sim()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool exitedWith(int code)
    {
        return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 60000)
               && process.exitStatus() == QProcess::NormalExit && process.exitCode() == code;
    }
    QString output() const { return QString::fromUtf8(out); }
    QString report() { return output() + QString::fromUtf8(process.readAllStandardError()); }

    QProcess process;
    QByteArray out;
};

} // namespace

class TestModuleSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void scriptAgainstAnMcu_data();
    void scriptAgainstAnMcu();
    void mcuFramesAreAcknowledged();
    void ptyDemoTalksToAnOpenedPort();
    void badInputEndsTheRun_data();
    void badInputEndsTheRun();
    void pipedInputStopsAtABadLine();
    void longScriptStaysInterruptible();
    void interruptAfterTheScriptCountsOpenRequests();
    void hangUpEndsTheRun();

private:
    // The options that point the simulator at the line, the sample definition
    // and a script of the given text.
    QStringList lineAndScript(const PtyPair &pty, const QByteArray &script);

    VokJson definition;
    int statusDataSize = 0;
    QScopedPointer<QTemporaryDir> dir;
};

void TestModuleSim::initTestCase()
{
    QVERIFY(QFileInfo(simProgram()).isExecutable());
    QVERIFY(definition.parseFile(sampleDefinition()));
    statusDataSize = definition.statusTemplate().size() - 10;
}

void TestModuleSim::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

QStringList TestModuleSim::lineAndScript(const PtyPair &pty, const QByteArray &script)
{
    const QString path = dir->filePath("script.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        qFatal("cannot write %s", qPrintable(path));
    return {"--port", pty.slavePath(), "--definition", sampleDefinition(), "--script", path};
}

void TestModuleSim::scriptAgainstAnMcu_data()
{
    QTest::addColumn<bool>("check");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("faultyRequest");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QByteArray exchanges = "info\nstatus\n# a comment\n\nheartbeat\nwifi 2 3\ncontrol 开关=1\n"
                                 "raw 01 02 03\nquit\ninfo\n";
    QTest::newRow("sound MCU") << true << exchanges << int(TinyMcu::None) << 0 << 0
        << "5 passed, 0 failed";
    QTest::newRow("wrong sn") << true << exchanges << int(TinyMcu::WrongSn) << 0x07 << 1
        << "FAIL heartbeat sn 03 answered by heartbeat reply sn 04: sn 04, the request had 03";
    QTest::newRow("faults only warn without --check") << false << exchanges << int(TinyMcu::WrongSn)
        << 0x07 << 0 << "warn heartbeat sn 03";
    // The reply arrives during the wait: the expect finds it already there.
    QTest::newRow("expect met late") << false << QByteArray("heartbeat\nwait 300\nexpect 0x08\n")
        << int(TinyMcu::None) << 0 << 0 << "heartbeat reply";
    QTest::newRow("expect misses a missing reply") << false << QByteArray("heartbeat\nexpect 08 300\n")
        << int(TinyMcu::NoReply) << 0x07 << 1 << "script.txt:2: expect 08: no sound frame 08 within 300 ms";
}

void TestModuleSim::scriptAgainstAnMcu()
{
    QFETCH(bool, check);
    QFETCH(QByteArray, script);
    QFETCH(int, fault);
    QFETCH(int, faultyRequest);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    line.mcu.fault = TinyMcu::Fault(fault);
    line.mcu.faultyRequest = quint8(faultyRequest);

    QStringList arguments = lineAndScript(line.pty, script) << "--timeout" << "1500";
    if (check)
        arguments << "--check";
    Sim sim(arguments);
    QVERIFY2(sim.exitedWith(exitCode), qPrintable(sim.report()));
    QVERIFY2(sim.output().contains(message), qPrintable(sim.output()));
    if (check && exitCode != 0)
        QVERIFY2(sim.output().contains(QRegularExpression("\\d+ passed, 1 failed\n$")),
                 qPrintable(sim.output()));
    if (script.startsWith("info\nstatus")) {
        // Every command on the wire as written, nothing after quit.
        QCOMPARE(line.master.wire.toHex(' '),
                 QByteArray::fromHex("FFFF 0005 01 01 0000 07"
                                     "FFFF 0006 03 02 0000 02 0D"
                                     "FFFF 0005 07 03 0000 0F"
                                     "FFFF 0007 0D 04 0000 0032 4A"
                                     "FFFF 0014 03 05 0000 01 0001 0001 00 0000 00000000 000000 1F"
                                     "010203")
                     .toHex(' '));
    }
}

void TestModuleSim::mcuFramesAreAcknowledged()
{
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, "expect 05 20000\nexpect 09 20000\nexpect 0B 20000\n")
            << "--check" << "--timeout" << "5000");
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains(line.pty.slavePath() + " open"), 30000);

    // A status report (开关 and 模式 1: bits 0 and 6 of the writable bit
    // area), a set-mode frame and an initialisation whose checksum is FF.
    QByteArray status = '\x04' + QByteArray(statusDataSize, '\0');
    status[2] = char(0x41);
    const QByteArray init = FrameStream::frame(0x0B, 0xEF, QByteArray());
    QCOMPARE(init.back(), char(0xFF));
    line.master.write(FrameStream::frame(0x05, 0x21, status)
                      + FrameStream::frame(0x09, 0x22, QByteArray(1, '\x02'))
                      + FrameStream::escaped(init));

    // Each is acknowledged with the next code and its sn; three frames and
    // three expects pass.
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QCOMPARE(line.master.wire.toHex(' '), (FrameStream::frame(0x06, 0x21, QByteArray())
                                        + FrameStream::frame(0x0A, 0x22, QByteArray())
                                        + FrameStream::escaped(FrameStream::frame(0x0C, 0xEF, QByteArray())))
                                           .toHex(' '));
    QVERIFY2(sim.output().endsWith("6 passed, 0 failed\n"), qPrintable(sim.output()));
    QVERIFY(sim.output().contains("status report: 开关=1, 童锁=0, 负离子=0, 紫外杀菌=0, 夜灯=0, "
                                  "提示音=0, 模式=睡眠"));
}

void TestModuleSim::ptyDemoTalksToAnOpenedPort()
{
    Sim sim({"--pty", "--demo", "--check", "--timeout", "5000", "--definition", sampleDefinition()});
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains('\n'), 30000);
    const QString path = sim.output().section('\n', 0, 0);
    QVERIFY2(path.startsWith("/dev/"), qPrintable(sim.output()));

    // The tool's own port class opens the printed path.
    VokSerialPort port;
    QVERIFY(port.openCom(path, "9600", 3, 0, 0));
    TinyMcu mcu(&port, [&](const QByteArray &bytes) { port.write(bytes); }, statusDataSize);
    // The demo's rounds themselves are checked in-process; its first two
    // frames prove the wiring.
    QTRY_VERIFY_WITH_TIMEOUT(mcu.hasFrame(0x01) && mcu.hasFrame(0x0D), 60000);
    QVERIFY(mcu.frames.first().startsWith(QByteArray::fromHex("FFFF000501")));

    sim.process.terminate(); // ends like quit: open requests settle, the tally follows
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QVERIFY2(sim.output().contains(QRegularExpression("\n[1-9]\\d* passed, 0 failed\n$")),
             qPrintable(sim.output()));
}

void TestModuleSim::badInputEndsTheRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("script"); // written to script.txt when not empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    // The port cannot be opened: every input fault must be found first.
    const QStringList noPort{"--port", "/nonexistent/tty"};
    QTest::newRow("bad option") << QStringList() << QByteArray() << 2 << "exactly one of --port";
    QTest::newRow("definition not JSON")
        << noPort + QStringList{"--definition", simProgram()} << QByteArray() << 2 << "is not valid JSON";
    QTest::newRow("missing script") << noPort + QStringList{"--script", "/nonexistent/script"}
                                    << QByteArray() << 2 << "cannot read the script";
    QTest::newRow("bad script line") << noPort << QByteArray("info\n# fine so far\nfly away\n")
                                     << 2 << "script.txt:3: unknown command 'fly'";
    QTest::newRow("port cannot be opened") << noPort << QByteArray("info\n") << 3
                                           << "cannot open the port /nonexistent/tty";
}

void TestModuleSim::badInputEndsTheRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, script);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    if (!script.isEmpty()) {
        QFile file(dir->filePath("script.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(script), qint64(script.size()));
        arguments << "--script" << file.fileName();
    }
    Sim sim(arguments);
    const bool exited = sim.exitedWith(exitCode);
    const QString errors = QString::fromUtf8(sim.process.readAllStandardError());
    QVERIFY2(exited, qPrintable(errors));
    QVERIFY2(errors.startsWith("vok-module-sim: ") && errors.contains(message), qPrintable(errors));
}

void TestModuleSim::pipedInputStopsAtABadLine()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    Sim sim({"--port", pty.slavePath()});
    QVERIFY(sim.process.waitForStarted(60000));
    sim.process.write("heartbeat\n\nbogus 1\nheartbeat\n");
    sim.process.closeWriteChannel();
    QVERIFY(sim.exitedWith(2));
    QVERIFY(QString::fromUtf8(sim.process.readAllStandardError()).contains("stdin:3: unknown command 'bogus'"));
    // What came before the bad line was sent; nothing after it.
    QCOMPARE(pty.read(1000).toHex(' '), QByteArray::fromHex("FFFF 0005 07 01 0000 0D").toHex(' '));
}

void TestModuleSim::longScriptStaysInterruptible()
{
    // Without wait or expect nothing holds the script back; an interrupt must
    // still be taken while it runs, not once every line has been sent.
    const int lines = 100000;
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, QByteArray("heartbeat\n").repeated(lines)) << "--check");
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains("WIFI"), 60000);
    ::kill(pid_t(sim.process.processId()), SIGINT);

    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QVERIFY2(sim.output().contains("note interrupted")
                 && sim.output().contains(QRegularExpression("\n[1-9]\\d* passed, 0 failed\n$")),
             qPrintable(sim.output().right(500)));
    QVERIFY2(sim.output().count("WIFI") < lines, qPrintable(sim.output().right(500)));
}

void TestModuleSim::interruptAfterTheScriptCountsOpenRequests()
{
    // The script has ended and a request waits for its reply: the first
    // interrupt goes on waiting, the second ends the run and counts it.
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    line.mcu.fault = TinyMcu::NoReply;
    line.mcu.faultyRequest = 0x07;
    Sim sim(lineAndScript(line.pty, "heartbeat\n") << "--check" << "--timeout" << "600000");
    QTRY_VERIFY_WITH_TIMEOUT(line.mcu.hasFrame(0x07), 60000);
    for (int interrupts = 1; interrupts <= 2; ++interrupts) {
        ::kill(pid_t(sim.process.processId()), SIGINT);
        QTRY_COMPARE_WITH_TIMEOUT(sim.output().count("note interrupted"), interrupts, 60000);
    }
    QVERIFY2(sim.exitedWith(1), qPrintable(sim.report()));
    QVERIFY2(sim.output().contains("FAIL heartbeat sn 01: no reply within the "), qPrintable(sim.output()));
    QVERIFY2(sim.output().endsWith("0 passed, 1 failed\n"), qPrintable(sim.output()));
}

void TestModuleSim::hangUpEndsTheRun()
{
    // Commands would come from standard input, which stays open and idle.
    PtyPair pty;
    QVERIFY(pty.isValid());
    Sim sim({"--port", pty.slavePath()});
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains(pty.slavePath() + " open"), 60000);
    pty.hangUp();
    QVERIFY(sim.exitedWith(3));
    const QString errors = QString::fromUtf8(sim.process.readAllStandardError());
    QCOMPARE(errors.count('\n'), 1);
    QVERIFY2(errors.startsWith("vok-module-sim: lost the port " + pty.slavePath()), qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestModuleSim)
#include "tst_modulesim.moc"
