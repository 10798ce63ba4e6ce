// The module simulator's parts in-process: the command parser with its
// control encoding, the option parser, the exchange checker, and what the
// frame writer and receiver make of the bytes.
#include "tools/module-sim/commandparser.h"
#include "tools/module-sim/demoscenario.h"
#include "tools/module-sim/exchangechecker.h"
#include "tools/module-sim/framedescriber.h"
#include "tools/module-sim/framereceiver.h"
#include "tools/module-sim/framewriter.h"
#include "tools/module-sim/simlog.h"
#include "tools/module-sim/simoptions.h"

#include "datapoint/vokjson.h"
#include "support/framestream.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Anything with DataReady(QByteArray) is a line for the receiver.
class Line : public QObject
{
    Q_OBJECT
signals:
    void DataReady(QByteArray);
};
} // namespace

class TestModuleSimUnits : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandLines_data();
    void commandLines();
    void options_data();
    void options();
    void exchanges_data();
    void exchanges();
    void descriptions_data();
    void descriptions();
    void writerNumbersAndEscapes();
    void receiverAccountsForStrayBytes();
    void noiseNeverStopsTheReceiver();
    void demoRoundsAreValidScripts();

private:
    VokJson definition;
};

void TestModuleSimUnits::initTestCase()
{
    QVERIFY(definition.parseFile(QCoreApplication::applicationDirPath()
                                 + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json"));
}

void TestModuleSimUnits::commandLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("error"); // a part of the message; empty: the line is fine

    const int send = SimCommand::Send;
    QTest::newRow("comment") << "  # info" << int(SimCommand::Nothing) << 0 << QByteArray() << 0 << "";
    QTest::newRow("info") << "info" << send << 0x01 << QByteArray() << 0 << "";
    QTest::newRow("status") << "status" << send << 0x03 << hex("02") << 0 << "";
    QTest::newRow("heartbeat") << "heartbeat" << send << 0x07 << QByteArray() << 0 << "";
    QTest::newRow("wifi") << "wifi 0x2 3" << send << 0x0D << hex("0032") << 0 << "";
    QTest::newRow("control-hex") << "control-hex 01 FF02" << send << 0x03 << hex("0101FF02") << 0 << "";
    QTest::newRow("raw") << "raw FF FF 00" << int(SimCommand::Raw) << 0 << hex("FFFF00") << 0 << "";
    QTest::newRow("raw 0x, commas") << "raw 0xFF,0xFF 0x00" << int(SimCommand::Raw) << 0 << hex("FFFF00") << 0 << "";
    QTest::newRow("wait") << "wait 250" << int(SimCommand::Wait) << 0 << QByteArray() << 250 << "";
    QTest::newRow("expect default") << "expect 0x08" << int(SimCommand::Expect) << 0x08 << QByteArray() << 700 << "";
    QTest::newRow("expect with ms") << "expect 0E 30" << int(SimCommand::Expect) << 0x0E << QByteArray() << 30 << "";
    QTest::newRow("quit") << "quit" << int(SimCommand::Quit) << 0 << QByteArray() << 0 << "";
    // Mask 09 00 (datapoints 8 and 11), then the 12 bytes of the writable section.
    QTest::newRow("control numbers and bytes")
        << "control 目标湿度=0x50 灯光颜色=0AB0" << send << 0x03
        << hex("01 0900 0000 50 0000 00000000 0AB000") << 0 << "";
    // 开关 bit 0, 模式 = 2 at bits 6-8, 风速 = 2 at bits 9-10.
    QTest::newRow("control bits by text")
        << "control \"开关\"=true 风速=高 模式=2" << send << 0x03
        << hex("01 00C1 0481 00 0000 00000000 000000") << 0 << "";

    QTest::newRow("unknown command") << "fly away" << 0 << 0 << QByteArray() << 0 << "unknown command 'fly'";
    QTest::newRow("control without values") << "control" << 0 << 0 << QByteArray() << 0 << "at least one NAME=VALUE";
    QTest::newRow("unknown datapoint") << "control 风=1" << 0 << 0 << QByteArray() << 0 << "no datapoint named '风'";
    QTest::newRow("wait without ms") << "wait" << 0 << 0 << QByteArray() << 0 << "wait needs one number";
    QTest::newRow("expect code too big") << "expect 100" << 0 << 0 << QByteArray() << 0 << "expect needs a command code";
    QTest::newRow("quit with argument") << "quit now" << 0 << 0 << QByteArray() << 0 << "quit takes no arguments";
    QTest::newRow("raw odd digits") << "raw FFF" << 0 << 0 << QByteArray() << 0 << "raw needs hexadecimal bytes";
    QTest::newRow("control-hex odd group") << "control-hex 0 101" << 0 << 0 << QByteArray() << 0
                                           << "control-hex needs hexadecimal bytes";
    QTest::newRow("wifi state 16") << "wifi 16 0" << 0 << 0 << QByteArray() << 0 << "each 0 to 15";
    QTest::newRow("payload too long")
        << "control-hex " + QString(2 * (0xFFFF - 5), '0') << 0 << 0 << QByteArray() << 0
        << "a payload of 65531 bytes does not fit a frame (at most 65530)";
    QTest::newRow("not NAME=VALUE") << "control 开关" << 0 << 0 << QByteArray() << 0 << "'开关' is not NAME=VALUE";
    QTest::newRow("read-only") << "control 缺水=1" << 0 << 0 << QByteArray() << 0 << "'缺水' is not writable (status_readonly)";
    QTest::newRow("given twice") << "control 开关=1 开关=0" << 0 << 0 << QByteArray() << 0 << "'开关' is given twice";
    QTest::newRow("beyond uint8") << "control 目标湿度=256" << 0 << 0 << QByteArray() << 0
                                  << "目标湿度: '256' is not a value from 0 to 255";
    QTest::newRow("beyond the enum") << "control 风速=3" << 0 << 0 << QByteArray() << 0
                                     << "风速: '3' is not a value from 0 to 2";
    QTest::newRow("unknown enum text") << "control 风速=飓风" << 0 << 0 << QByteArray() << 0
                                       << "风速: '飓风' is not a value of the datapoint";
    QTest::newRow("binary too long") << "control 灯光颜色=01020304" << 0 << 0 << QByteArray() << 0
                                     << "4 bytes do not fit a field of 3";
}

void TestModuleSimUnits::commandLines()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(int, cmd);
    QFETCH(QByteArray, bytes);
    QFETCH(int, ms);
    QFETCH(QString, error);

    SimCommand command;
    QString message;
    const bool parsed = CommandParser(&definition, 700).parse(line, &command, &message);
    QVERIFY2(parsed == error.isEmpty() && message.contains(error), qPrintable(message));
    if (!parsed)
        return;
    QCOMPARE(int(command.kind), kind);
    QCOMPARE(int(command.cmd), cmd);
    QCOMPARE(command.bytes.toHex(' '), bytes.toHex(' '));
    QCOMPARE(command.ms, ms);
}

void TestModuleSimUnits::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("error");

    const int invalid = SimOptions::Invalid;
    QTest::newRow("pty") << QStringList{"--pty", "--demo"} << int(SimOptions::Run) << "";
    QTest::newRow("help") << QStringList{"--help"} << int(SimOptions::ShowHelp) << "expect CMD [MS]";
    QTest::newRow("no line") << QStringList() << invalid << "exactly one of --port";
    QTest::newRow("both lines") << QStringList{"--pty", "--port", "x"} << invalid << "exactly one of --port";
    QTest::newRow("unknown option") << QStringList{"--pty", "--speed", "9"} << invalid << "Unknown option 'speed'";
    QTest::newRow("timeout") << QStringList{"--pty", "--timeout", "-5"} << invalid
                             << "--timeout '-5' is not a positive number";
    QTest::newRow("parity") << QStringList{"--pty", "--parity", "mark"} << invalid
                            << "--parity 'mark' is not one of none, odd, even, space";
    QTest::newRow("demo and script") << QStringList{"--pty", "--demo", "--script", "s"} << invalid
                                     << "--demo and --script cannot be used together";
    QTest::newRow("stray argument") << QStringList{"--pty", "extra"} << invalid << "unexpected argument 'extra'";
}

void TestModuleSimUnits::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, outcome);
    QFETCH(QString, error);

    SimOptions options;
    QString message;
    QCOMPARE(int(options.parse(QStringList{"vok-module-sim"} + arguments, &message)), outcome);
    QVERIFY2(message.contains(error), qPrintable(message));
}

void TestModuleSimUnits::exchanges_data()
{
    QTest::addColumn<QByteArray>("request"); // sent by the module, empty for none
    QTest::addColumn<QByteArray>("answer");  // received from the MCU
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("failed");

    using FrameStream::frame;
    const QByteArray status(1 + definition.statusDataSize(), '\0');
    const QByteArray statusReply = '\x03' + status.mid(1);
    const QByteArray statusReport = '\x04' + status.mid(1);
    const int broken = ExchangeChecker::Broken;
    const int faulty = ExchangeChecker::Faulty;
    const int sound = ExchangeChecker::Sound;

    QTest::newRow("heartbeat answered") << frame(0x07, 3, {}) << frame(0x08, 3, {}) << sound << 0;
    QTest::newRow("status read answered") << frame(0x03, 4, hex("02")) << frame(0x04, 4, statusReply) << sound << 0;
    QTest::newRow("control acknowledged") << frame(0x03, 4, hex("01")) << frame(0x04, 4, {}) << sound << 0;
    QTest::newRow("status report") << QByteArray() << frame(0x05, 9, statusReport) << sound << 0;
    QTest::newRow("wrong sn") << frame(0x07, 3, {}) << frame(0x08, 4, {}) << faulty << 1;
    QTest::newRow("wrong reply code") << frame(0x07, 3, {}) << frame(0x0A, 3, {}) << faulty << 1;
    QTest::newRow("status read acknowledged only") << frame(0x03, 4, hex("02")) << frame(0x04, 4, {}) << faulty << 1;
    QTest::newRow("short status") << frame(0x03, 4, hex("02")) << frame(0x04, 4, statusReply.chopped(1)) << faulty << 1;
    QTest::newRow("status action") << QByteArray() << frame(0x05, 9, statusReply) << faulty << 1;
    QTest::newRow("set mode without mode") << QByteArray() << frame(0x09, 1, {}) << faulty << 1;
    QTest::newRow("short product information") << frame(0x01, 1, {}) << frame(0x02, 1, hex("00")) << faulty << 1;
    QTest::newRow("unasked reply") << QByteArray() << frame(0x08, 1, {}) << faulty << 1;
    QTest::newRow("command the MCU never sends") << QByteArray() << frame(0x03, 1, hex("01")) << faulty << 1;
    QByteArray badChecksum = frame(0x08, 3, {});
    badChecksum[badChecksum.size() - 1] = char(badChecksum.back() + 1);
    QTest::newRow("bad checksum") << frame(0x07, 3, {}) << badChecksum << broken << 1;
    QByteArray badHeader = frame(0x08, 3, {});
    badHeader[1] = '\0';
    QTest::newRow("bad header") << frame(0x07, 3, {}) << badHeader << broken << 1;
    QTest::newRow("too short") << QByteArray() << hex("FFFF0004000000") << broken << 1;
}

void TestModuleSimUnits::exchanges()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, verdict);
    QFETCH(int, failed);

    SimLog log;
    ExchangeChecker checker(&definition, 60000, true, &log);
    if (!request.isEmpty())
        checker.frameSent(request);
    QCOMPARE(int(checker.frameReceived(answer)), verdict);
    QCOMPARE(checker.failed(), failed);
    QCOMPARE(checker.passed(), 1 - failed);
}

void TestModuleSimUnits::descriptions_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("text");

    using FrameStream::frame;
    QByteArray status = '\x04' + QByteArray(definition.statusDataSize(), '\0');
    status[2] = char(0x41); // 开关 1, 模式 1
    QTest::newRow("status report")
        << frame(0x05, 1, status)
        << "status report: 开关=1, 童锁=0, 负离子=0, 紫外杀菌=0, 夜灯=0, 提示音=0, 模式=睡眠, 风速=低, "
           "目标湿度=0, 定时关机=0, 预约开机时间=0, 灯光颜色=000000, 缺水=0, 空气质量=优, PM2.5=0, "
           "当前湿度=0, 滤网更换提醒=0, 水泵故障=0, 传感器故障=0";
    QTest::newRow("control") << frame(0x03, 1, hex("01 0900 0000 50 0000 00000000 0AB000"))
                             << "control: 目标湿度=80, 灯光颜色=0ab000";
    QTest::newRow("control of another size") << frame(0x03, 1, hex("01 0100"))
                                             << "control: 12 bytes, the definition lays out 24";
    QTest::newRow("Wi-Fi status") << frame(0x0D, 1, hex("0032")) << "Wi-Fi status: router 2, cloud 3";
    QTest::newRow("product information")
        << frame(0x02, 1, QByteArray(32, '0') + "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15" + QByteArray(2, '\0'))
        << "product information, product key 5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";
    QTest::newRow("set mode") << frame(0x09, 1, hex("02")) << "set mode 02";
    QTest::newRow("unknown") << frame(0x42, 1, {}) << "command 42";
    QTest::newRow("too short") << hex("FFFF0005") << "too short to be a frame";
}

void TestModuleSimUnits::descriptions()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, text);
    QCOMPARE(FrameDescriber(&definition).describe(frame), text);
}

void TestModuleSimUnits::writerNumbersAndEscapes()
{
    QBuffer wire;
    QVERIFY(wire.open(QIODevice::WriteOnly));
    FrameWriter writer(&wire);
    QSignalSpy sent(&writer, &FrameWriter::frameSent);

    // sn runs from 1, so the 243rd heartbeat (sn F3) has the checksum FF and
    // the 255th the sn FF; a reply keeps the sn it is given.
    for (int i = 0; i < 255; ++i)
        writer.sendRequest(0x07, {});
    QVERIFY(wire.data().contains(hex("FFFF 0005 07 F3 0000 FF55")));
    QVERIFY(wire.data().endsWith(hex("FFFF 0005 07 FF55 0000 0B")));
    writer.sendReply(0x06, 0x21);
    QVERIFY(wire.data().endsWith(hex("FFFF 0005 06 21 0000 2C")));
    // A len of FF00: its high byte, right after the header, is escaped too.
    const QByteArray payload(0xFF00 - 5, '\0');
    writer.sendRequest(0x03, payload);
    QVERIFY(wire.data().endsWith(hex("FFFF FF5500 03 00 0000") + payload + '\x02'));
    // What was written is cut back into the unescaped frames.
    QCOMPARE(sent.size(), 257);
    QCOMPARE(sent.last().at(0).toByteArray(), hex("FFFF FF00 03 00 0000") + payload + '\x02');
}

void TestModuleSimUnits::receiverAccountsForStrayBytes()
{
    Line line;
    FrameReceiver receiver(&line, 20);
    QSignalSpy frames(&receiver, &FrameReceiver::frameReceived);
    QSignalSpy problems(&receiver, &FrameReceiver::lineProblem);

    // A frame ending in FF is followed by its escape byte: not stray. Bytes
    // before the next frame are.
    const QByteArray init = FrameStream::frame(0x0B, 0xEF, {});
    QCOMPARE(init.back(), char(0xFF));
    emit line.DataReady(init + '\x55' + hex("001234") + FrameStream::frame(0x09, 1, hex("02")));
    QCOMPARE(frames.size(), 2);
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.takeFirst().at(0).toString(), QString("3 bytes outside any frame ignored: 00 12 34"));

    // A frame cut short is dropped when the line falls silent; the next one
    // is read cleanly.
    emit line.DataReady(hex("FFFF00FF01"));
    QVERIFY(problems.wait(5000));
    QVERIFY2(problems.first().at(0).toString().contains("len 255 announces 259 bytes, 5 arrived"),
             qPrintable(problems.first().at(0).toString()));
    emit line.DataReady(init);
    QCOMPARE(frames.size(), 3);
}

void TestModuleSimUnits::noiseNeverStopsTheReceiver()
{
    // Random bytes in random chunks, every frame they happen to hold checked:
    // once the line falls silent the next frame is read cleanly.
    Line line;
    FrameReceiver receiver(&line, 20);
    SimLog log;
    ExchangeChecker checker(&definition, 60000, false, &log);
    QList<QByteArray> frames;
    connect(&receiver, &FrameReceiver::frameReceived, this, [&](const QByteArray &frame) {
        frames << frame;
        checker.frameReceived(frame);
    });
    QSignalSpy problems(&receiver, &FrameReceiver::lineProblem);
    QRandomGenerator random(6);
    QByteArray noise(32768, '\0');
    for (char &byte : noise)
        byte = char(random.bounded(8) == 0 ? 0xFF : random.bounded(256));
    noise += hex("FFFF0000 FFFF0001AA FFFF00FF01");
    for (int at = 0, size = 0; at < noise.size(); at += size) {
        size = 1 + random.bounded(700);
        emit line.DataReady(noise.mid(at, size));
    }
    QVERIFY(problems.wait(5000));

    const QByteArray init = FrameStream::frame(0x0B, 0x42, {});
    emit line.DataReady(init);
    QCOMPARE(frames.value(frames.size() - 1), init);
}

void TestModuleSimUnits::demoRoundsAreValidScripts()
{
    // The first round introduces the module; every round is a script the
    // parser takes whole, with a control whose values change round by round.
    DemoScenario demo(&definition);
    const CommandParser parser(&definition, 700);
    QByteArray sent, lastControl;
    for (int round = 0; round < 3; ++round) {
        for (const QString &line : demo.nextRound()) {
            SimCommand command;
            QString error;
            QVERIFY2(parser.parse(line, &command, &error), qPrintable(line + ": " + error));
            if (command.kind != SimCommand::Send)
                continue;
            sent += char(command.cmd);
            if (command.bytes.startsWith('\x01')) {
                QVERIFY(command.bytes != lastControl);
                lastControl = command.bytes;
            }
        }
    }
    QCOMPARE(sent.toHex(' '), QByteArray("01 0d 0d 07 03 03 07 03 03 07 03 03"));
}

QTEST_GUILESS_MAIN(TestModuleSimUnits)
#include "tst_modulesim_units.moc"
