// The module simulator run as a process against a tiny MCU written here,
// over real pseudo-terminals.
#include "datapoint/vokjson.h"
#include "protocol/vokframer.h"
#include "protocol/voktool.h"
#include "serial/vokserialport.h"
#include "support/framestream.h"
#include "support/ptypair.h"

#include <QtTest>

#include <functional>
#include <random>

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
    enum Fault { None, BadChecksum, WrongSn, NoReply, WrongCode, BadHeader, ShortStatus };

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
            payload = '\x03' + QByteArray(statusDataSize - (faulty && fault == ShortStatus), '\x01');
        else if (cmd != 0x03 && cmd != 0x07 && cmd != 0x0D)
            return; // acknowledgements of the module need no answer
        if (faulty && fault == NoReply)
            return;
        QByteArray reply = FrameStream::frame(quint8(cmd + (faulty && fault == WrongCode ? 3 : 1)),
                                   quint8(sn + (faulty && fault == WrongSn)), payload);
        if (faulty && fault == BadChecksum)
            reply[reply.size() - 1] = char(reply.back() + 1);
        if (faulty && fault == BadHeader)
            reply[1] = '\0';
        write(reply);
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
    void sentFramesAreByteExact_data();
    void sentFramesAreByteExact();
    void controlReadsBackThroughDecodeControl();
    void checkFindsFaults_data();
    void checkFindsFaults();
    void mcuFramesAreAcknowledged();
    void garbageAndSilenceAreSurvived();
    void ptyDemoTalksToAnOpenedPort();

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

void TestModuleSim::sentFramesAreByteExact_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("each command")
        << QByteArray("info\nstatus\n# a comment\n\nheartbeat\nwifi 2 3\ncontrol-hex 01 FF 02\n"
                      "raw 01 02 03\nwifi 0x1 0\nquit\ninfo\n")
        << QByteArray::fromHex("FFFF 0005 01 01 0000 07"
                               "FFFF 0006 03 02 0000 02 0D"
                               "FFFF 0005 07 03 0000 0F"
                               "FFFF 0007 0D 04 0000 0032 4A"
                               "FFFF 0009 03 05 0000 01 01FF5502 14"
                               "010203"
                               "FFFF 0007 0D 06 0000 0001 1B");

    // sn runs 1, 2, ... so the 255th frame has sn FF; the heartbeat with sn
    // F3 has the checksum FF; a 250-byte payload makes the low len byte FF.
    QByteArray script;
    QByteArray wire;
    for (int sn = 1; sn <= 254; ++sn) {
        script += "heartbeat\n";
        wire += FrameStream::escaped(FrameStream::frame(0x07, quint8(sn), QByteArray()));
    }
    script += "control-hex " + QByteArray(249, '\0').toHex() + "\n";
    wire += QByteArray::fromHex("FFFF 00FF55 03 FF55 0000 01") + QByteArray(249, '\0') + '\x02';
    QVERIFY(wire.contains(QByteArray::fromHex("FFFF 0005 07 F3 0000 FF55")));
    QTest::newRow("sn, len and checksum FF") << script << wire;

    // A len of FF00: its high byte, right after the header, is escaped too.
    const QByteArray longPayload(0xFF00 - 6, '\0');
    QTest::newRow("len high byte FF")
        << "control-hex " + longPayload.toHex() + "\n"
        << QByteArray::fromHex("FFFF FF5500 03 01 0000 01") + longPayload + '\x04';
}

void TestModuleSim::sentFramesAreByteExact()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, wire);
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, script) << "--check" << "--timeout" << "5000");
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QCOMPARE(line.master.wire.toHex(' '), wire.toHex(' '));
    QVERIFY(!sim.output().contains("FAIL"));
}

void TestModuleSim::controlReadsBackThroughDecodeControl()
{
    QVERIFY(definition.writableCount > 8); // a two-byte presence mask
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, "control 开关=1 模式=强力 风速=2 目标湿度=77 定时关机=0x5A0 "
                                    "预约开机时间=4294967295 灯光颜色=A1B2\n"
                                    "control \"童锁\"=true 开关=false\n")
            << "--check" << "--timeout" << "5000");
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QCOMPARE(line.mcu.frames.size(), 2);

    // Only the datapoints given are marked present, with their values.
    const QMap<QString, QString> first{{"开关", "1"},          {"模式", "强力"},
                                       {"风速", "高"},         {"目标湿度", "77"},
                                       {"定时关机", "1440"},   {"预约开机时间", "4294967295"},
                                       {"灯光颜色", "a1b200"}};
    QCOMPARE(definition.decodeControl(line.mcu.frames.at(0)), first);
    const QMap<QString, QString> second{{"童锁", "1"}, {"开关", "0"}};
    QCOMPARE(definition.decodeControl(line.mcu.frames.at(1)), second);
    // The values printed beside the frame are the ones sent.
    QVERIFY2(sim.output().contains("control: 开关=1, 模式=强力, 风速=高, 目标湿度=77, 定时关机=1440"),
             qPrintable(sim.output()));
}

void TestModuleSim::checkFindsFaults_data()
{
    QTest::addColumn<bool>("check");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("faultyRequest");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QByteArray exchanges = "info\nstatus\nheartbeat\nwifi 2 3\ncontrol 开关=1\n";
    QTest::newRow("sound MCU") << true << exchanges << int(TinyMcu::None) << 0 << 0
        << "5 passed, 0 failed";
    QTest::newRow("wrong checksum") << true << exchanges << int(TinyMcu::BadChecksum) << 0x01 << 1
        << "product information request sn 01 answered by product information sn 01: "
           "checksum 78, the bytes sum to 77";
    QTest::newRow("wrong sn") << true << exchanges << int(TinyMcu::WrongSn) << 0x07 << 1
        << "heartbeat sn 03 answered by heartbeat reply sn 04: sn 04, the request had 03";
    QTest::newRow("missing reply") << true << exchanges << int(TinyMcu::NoReply) << 0x0D << 1
        << "Wi-Fi status sn 04: no reply within 1500 ms";
    QTest::newRow("wrong reply code") << true << exchanges << int(TinyMcu::WrongCode) << 0x07 << 1
        << "command 0A, expected 08";
    QTest::newRow("wrong header") << true << exchanges << int(TinyMcu::BadHeader) << 0x07 << 1
        << "header FF 00, not FF FF";
    QTest::newRow("short status data") << true << exchanges << int(TinyMcu::ShortStatus) << 0x03 << 1
        << "status data of 17 bytes, the definition gives 18";
    QTest::newRow("faults only warn without --check") << false << exchanges << int(TinyMcu::WrongSn)
        << 0x07 << 0 << "warn heartbeat sn 03";
    QTest::newRow("expect met") << false << QByteArray("info\nexpect 02\nheartbeat\nexpect 0x08\n")
        << int(TinyMcu::None) << 0 << 0 << "heartbeat reply";
    QTest::newRow("expect misses a wrong checksum") << false << QByteArray("info\nexpect 02\n")
        << int(TinyMcu::BadChecksum) << 0x01 << 1
        << "script.txt:2: expect 02: no sound frame 02 within 1500 ms";
    QTest::newRow("expect misses a missing reply") << false << QByteArray("heartbeat\nexpect 08 300\n")
        << int(TinyMcu::NoReply) << 0x07 << 1 << "expect 08: no sound frame 08 within 300 ms";
}

void TestModuleSim::checkFindsFaults()
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
}

void TestModuleSim::mcuFramesAreAcknowledged()
{
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, "expect 05 20000\nexpect 09 20000\nexpect 0B 20000\n")
            << "--check" << "--timeout" << "5000");
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains(line.pty.slavePath() + " open"), 30000);

    // A status report in single bytes after some noise, a set-mode frame and
    // an initialisation whose checksum FF arrives escaped.
    QByteArray report = definition.statusTemplate();
    report[5] = 0x21;
    report[10] = char(0x41); // bits 0 and 6 of the writable bit area: 开关 1, 模式 1
    report[report.size() - 1] = char(VokTool().checksum(report, 2, 1));
    line.master.write(QByteArray::fromHex("001234"));
    for (char byte : report) {
        line.master.write(QByteArray(1, byte));
        QTest::qWait(2);
    }
    line.master.write(FrameStream::frame(0x09, 0x22, QByteArray(1, '\x02')));
    const QByteArray init = FrameStream::frame(0x0B, 0xEF, QByteArray());
    QCOMPARE(init.back(), char(0xFF));
    line.master.write(init + '\x55');

    // Three frames and three expects pass; the noise fails, the escape after
    // the last FF does not.
    QVERIFY2(sim.exitedWith(1), qPrintable(sim.report()));
    QCOMPARE(line.master.wire.toHex(' '), (FrameStream::frame(0x06, 0x21, QByteArray())
                                        + FrameStream::frame(0x0A, 0x22, QByteArray())
                                        + FrameStream::escaped(FrameStream::frame(0x0C, 0xEF, QByteArray())))
                                           .toHex(' '));
    QVERIFY2(sim.output().contains("3 bytes outside any frame ignored: 00 12 34"),
             qPrintable(sim.output()));
    QVERIFY2(sim.output().endsWith("6 passed, 1 failed\n"), qPrintable(sim.output()));
    QVERIFY(sim.output().contains("status report: 开关=1, 童锁=0, 负离子=0, 紫外杀菌=0, 夜灯=0, "
                                  "提示音=0, 模式=睡眠"));
}

void TestModuleSim::garbageAndSilenceAreSurvived()
{
    McuOnPty line(statusDataSize);
    QVERIFY(line.pty.isValid());
    Sim sim(lineAndScript(line.pty, "expect 0B 60000\n") << "--timeout" << "300");
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains(line.pty.slavePath() + " open"), 30000);

    // Random bytes in random chunks, frames with len 0 and 1 and a frame cut
    // short: none of it may stop the simulator from reading the next frame.
    std::mt19937 random(6);
    QByteArray noise;
    for (int i = 0; i < 32768; ++i)
        noise.append(char(random()));
    noise += QByteArray::fromHex("FFFF0000 FFFF0001AA FFFF00FF01");
    for (int at = 0; at < noise.size();) {
        const int size = 1 + int(random() % 700);
        line.master.write(noise.mid(at, size));
        at += size;
    }
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains("incomplete frame dropped"), 30000);
    QVERIFY(sim.process.state() == QProcess::Running);
    // A pause in the noise may have dropped an earlier partial frame and left
    // the last one waiting; then one more silence clears it.
    const QByteArray ack = FrameStream::frame(0x0C, 0x42, QByteArray());
    for (int attempt = 0; attempt < 20; ++attempt) {
        line.master.write(FrameStream::frame(0x0B, 0x42, QByteArray()));
        if (QTest::qWaitFor([&] { return line.master.wire.endsWith(ack); }, 2000))
            break;
    }
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QVERIFY(line.master.wire.endsWith(ack));
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
    QTRY_VERIFY_WITH_TIMEOUT(mcu.hasFrame(0x01) && mcu.hasFrame(0x0D) && mcu.hasFrame(0x07)
                                 && mcu.hasFrame(0x03, 0x01) && mcu.hasFrame(0x03, 0x02),
                             60000);
    QVERIFY(mcu.frames.first().startsWith(QByteArray::fromHex("FFFF000501")));

    sim.process.terminate(); // ends like quit: open requests settle, the tally follows
    QVERIFY2(sim.exitedWith(0), qPrintable(sim.report()));
    QVERIFY2(sim.output().contains(QRegularExpression("\n[1-9]\\d* passed, 0 failed\n$")),
             qPrintable(sim.output()));
}

QTEST_GUILESS_MAIN(TestModuleSim)
#include "tst_modulesim.moc"
