// The module simulator's parts in-process: what it makes of script lines,
// command lines, frames and exchanges, and the frame writer and receiver on
// the bytes of a line.
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

#include <QtTest>

const char kKey[] = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";
VokJson definition; // the sample product's, loaded by texts_data()

class TestModuleSimUnits : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected"); // a part of what comes out
        // line: a script line, parsed as [kind cmd ms payload] or refused.
        // options: the command line, [outcome] and the message.
        // frame: command and payload in hexadecimal, described (sn 01).
        // exchange: a request (or none) and the answer, as frames, checked:
        // the verdict and the count of failed checks. Sides starting FF are bytes as they are.
        const char *const rows[][3] = {
            {"line", "control-hex 01 FF02", "[1 3 0 0101ff02]"},
            // A mask of datapoints 8 and 11, then the 12 bytes of the writable section.
            {"line", "control 目标湿度=0x50 灯光颜色=0AB0", "[1 3 0 0109000000500000000000000ab000]"},
            // 开关 bit 0, 模式 = 2 at bits 6-8, 风速 = 2 at bits 9-10.
            {"line", "control \"开关\"=true 风速=高 模式=2", "[1 3 0 0100c1048100000000000000000000]"},
            {"line", "expect 0x08", "[4 8 700 ]"},
            {"line", "heartbeat 1", "heartbeat takes no arguments"},
            {"line", "control", "at least one NAME=VALUE"},
            {"line", "control 风=1", "no datapoint named '风'"},
            {"line", "control 开关", "'开关' is not NAME=VALUE"},
            {"line", "control 风速=飓风", "风速: '飓风' is not a value of the datapoint"},
            {"line", "control 缺水=1", "'缺水' is not writable (status_readonly)"},
            {"line", "wait", "wait needs one number"},
            {"line", "expect 100", "expect needs a command code"},
            {"line", "quit now", "quit takes no arguments"},
            {"line", "raw FFF", "raw needs hexadecimal bytes"},
            {"line", "control-hex 0 101", "control-hex needs hexadecimal bytes"},
            {"line", "wifi 16 0", "each 0 to 15"},
            {"options", "--help", "[1] Usage:"},
            {"options", "--pty --speed 9", "[2] Unknown option 'speed'"},
            {"options", "--pty --timeout -5", "[2] --timeout '-5' is not a positive number"},
            {"options", "--pty --parity mark", "[2] --parity 'mark' is not one of none, odd, even, space"},
            {"options", "--pty --demo --script s", "[2] --demo and --script cannot be used together"},
            {"options", "--pty extra", "[2] unexpected argument 'extra'"},
            {"frame", "05 04 0041 00000000000000000000000000000000", "status report: 开关=1, 童锁=0, 负离子=0, "
             "紫外杀菌=0, 夜灯=0, 提示音=0, 模式=睡眠, 风速=低, 目标湿度=0, 定时关机=0, 预约开机时间=0, 灯光颜色=000000, "
             "缺水=0, 空气质量=优, PM2.5=0, 当前湿度=0, 滤网更换提醒=0, 水泵故障=0, 传感器故障=0"},
            {"frame", "03 01 0900 0000 50 0000 00000000 0AB000", "control: 目标湿度=80, 灯光颜色=0ab000"},
            {"frame", "03 01 0100", "control: 12 bytes, the definition lays out 24"},
            {"frame", "0D 0032", "Wi-Fi status: router 2, cloud 3"},
            {"frame", "09 02", "set mode 02"},
            {"frame", "42", "command 42"},
            {"frame", "FFFF0005", "too short to be a frame"},
            {"exchange", "03 02 | 04 03 000000000000000000000000000000000000", "sound 0"},
            {"exchange", "| 05 04 000000000000000000000000000000000000", "sound 0"},
            {"exchange", "07 | FFFF 0005 08 02 0000 0F", "faulty 1"},
            {"exchange", "07 | 0A", "faulty 1"},
            {"exchange", "03 02 | 04 03 0000000000000000000000000000000000", "faulty 1"},
            {"exchange", "| 05 03 000000000000000000000000000000000000", "faulty 1"},
            {"exchange", "| 09", "faulty 1"},
            {"exchange", "01 | 02 00", "faulty 1"},
            {"exchange", "| 08", "faulty 1"},
            {"exchange", "| 03 01", "faulty 1"},
            {"exchange", "07 | FFFF 0005 08 01 0000 0F", "broken 1"},
            {"exchange", "07 | FF00 0005 08 01 0000 0E", "broken 1"},
            {"exchange", "| FFFF 0004 000000", "broken 1"},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %s", row[0], row[1]) << QString(row[0]) << QString(row[1]) << QString(row[2]);
        // Every line of the demonstration's first round is a command.
        definition.parseFile(QCoreApplication::applicationDirPath() + "/datapoints/" + kKey + ".json");
        for (const QString &line : DemoScenario(&definition).nextRound())
            QTest::addRow("demo %s", qPrintable(line)) << "line" << line << "[";
        QTest::newRow("line too long") << "line" << "control-hex " + QString(2 * 0xFFFA, '0')
                                       << "a payload of 65531 bytes does not fit a frame (at most 65530)";
        QTest::newRow("product key") << "frame" << QString("02" + QByteArray(32, '0').toHex() + QByteArray(kKey).toHex())
                                     << QString("product information, product key ") + kKey;
    }

    void texts()
    {
        QFETCH(QString, what);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const auto frameOf = [](const QString &text) {
            const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
            return bytes.isEmpty() || bytes.startsWith('\xFF') ? bytes : FrameStream::frame(bytes.at(0), 1, bytes.mid(1));
        };
        QString got;
        SimLog log;
        ExchangeChecker checker(&definition, 60000, true, &log);
        if (SimCommand command; what == "line" && CommandParser(&definition, 700).parse(input, &command, &got)) {
            got = QString("[%1 %2 %3 ").arg(command.kind).arg(command.cmd).arg(command.ms) + command.bytes.toHex() + ']';
        } else if (what == "options") {
            const int outcome = SimOptions().parse(("vok-module-sim " + input).split(' '), &got);
            got = QString("[%1] %2").arg(outcome).arg(got);
        } else if (what == "frame") {
            got = FrameDescriber(&definition).describe(frameOf(input));
        } else if (what == "exchange") {
            checker.frameSent(frameOf(input.section('|', 0, 0)));
            const int verdict = checker.frameReceived(frameOf(input.section('|', 1)));
            got = QStringList{"broken", "faulty", "sound"}.at(verdict) + QString(" %1").arg(checker.failed());
        }
        QVERIFY2(got.contains(expected), qPrintable(got));
    }

    void writerAndReceiver()
    {
        QBuffer wire;
        wire.open(QIODevice::WriteOnly);
        FrameWriter writer(&wire);
        FrameReceiver receiver(&writer, 20); // takes what the writer writes
        QStringList problems;
        connect(&receiver, &FrameReceiver::lineProblem, [&](const QString &text) { problems << text; });
        // sn runs from 1 round to 00; the 243rd heartbeat (sn F3) has the
        // checksum FF, whose escape byte is not stray. A len of FF00 has its high
        // byte, right after the header, escaped too.
        for (int i = 0; i < 255; ++i)
            writer.sendRequest(0x07, {});
        writer.sendRequest(0x03, QByteArray(0xFF00 - 5, '\0'));
        QVERIFY(wire.data().endsWith(QByteArray::fromHex("FFFF FF5500 03000000") + QByteArray(0xFF00 - 5, '\0') + '\x02'));
        // Bytes before a frame are stray; a frame cut short is dropped when the
        // line falls silent, and the next one is read cleanly.
        QSignalSpy frames(&receiver, &FrameReceiver::frameReceived);
        writer.sendRaw(QByteArray::fromHex("001234 FFFF 0006 09 01 0000 02 12  FFFF00FF01"));
        QTRY_COMPARE(problems, (QStringList{"3 bytes outside any frame ignored: 00 12 34",
                                            "incomplete frame dropped after 20 ms of silence: len 255 announces 259 "
                                            "bytes, 5 arrived: FF FF 00 FF 01"}));
        writer.sendRequest(0x0B, {});
        QCOMPARE(frames.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestModuleSimUnits)
#include "tst_modulesim_units.moc"
