// The monitor's judgement of a conversation, in-process: pairing, verdicts,
// unanswered requests, bytes outside frames and the texts of the table.

#include "datapoint/vokjson.h"
#include "pages/monitor/exchangetracker.h"
#include "pages/monitor/frameexplainer.h"
#include "pages/monitor/monitormodel.h"
#include "support/framestream.h"
#include "support/testroot.h"

#include <QtTest>

using FrameStream::frame;

namespace {
enum Side { module, mcu };

// The rows so far, one text each: kind (Frame, Stray, No reply) and side,
// faults, request row, reply time, time, and the bytes of stray rows.
QStringList rowsOf(ExchangeTracker &tracker)
{
    tracker.finish();
    QStringList rows;
    for (const MonitorRow &row : tracker.takeRows())
        rows << QString("%1%2 %3 %4 %5 @%6 ").arg(QChar("FSN"[row.kind])).arg(row.side).arg(row.faults).arg(row.requestId)
                        .arg(row.replyMs).arg(row.time) + (row.kind == MonitorRow::Stray ? row.bytes.toHex() : "");
    return rows;
}
} // namespace

class TestExchangeTracker : public QObject
{
    Q_OBJECT
private slots:
    void conversationIsJudged();
    void bytesOutsideFrames();
    void rowsAreTextedAndBounded();
};

void TestExchangeTracker::conversationIsJudged()
{
    ExchangeTracker tracker;
    tracker.take(module, frame(0x01, 1, {}), 1000);
    tracker.take(mcu, frame(0x02, 1, QByteArray(66, '0')), 1030);
    tracker.take(module, frame(0x03, 2, QByteArray(1, 0x02)), 1100);
    tracker.take(mcu, frame(0x04, 2, {}).chopped(1) + '\x5A', 1125);
    tracker.take(module, frame(0x07, 3, {}), 1200);
    tracker.take(mcu, frame(0x08, 9, {}), 1210);     // answers 07 with another sn
    tracker.take(module, frame(0x0D, 4, QByteArray::fromHex("0032")), 1300);
    tracker.take(module, frame(0x08, 7, {}), 1400);  // a reply nobody asked for
    // A reply counts only from the side the request did not come from.
    tracker.take(module, frame(0x05, 5, QByteArray::fromHex("04")), 1500);
    tracker.take(module, frame(0x06, 5, {}), 1510);
    tracker.expire(2299);                        // 07 timed out at 2200; 0D at 2300 not yet
    tracker.take(mcu, frame(0x08, 3, {}), 2400); // 07 answered after all, too late
    QCOMPARE(rowsOf(tracker), QStringList({"F0 0 -1 -1 @1000 ", "F1 0 1 30 @1030 ", "F0 0 -1 -1 @1100 ",
        "F1 1 3 25 @1125 ", "F0 0 -1 -1 @1200 ", "F1 4 5 -1 @1210 ", "F0 0 -1 -1 @1300 ", "F0 8 -1 -1 @1400 ",
        "F0 0 -1 -1 @1500 ", "F0 8 -1 -1 @1510 ", "N0 16 5 1000 @2200 ", "N0 16 7 1000 @2300 ",
        "F1 64 5 1200 @2400 ", "N0 16 9 1000 @2500 "}));
}

void TestExchangeTracker::bytesOutsideFrames()
{
    // sn 0xF3 with no payload makes the checksum 0xFF, which goes out escaped.
    const QByteArray endsInFF = FrameStream::escaped(frame(0x07, 0xF3, {})), request = frame(0x01, 1, {});
    const QString frame1 = "F1 0 -1 -1 @0 ", stray = "S1 32 -1 -1 @0 ";
    const struct { QByteArrayList chunks; QStringList rows; } cases[] = {
        {{"\xAA\xBB", "\xCC" + request}, {stray + "aabbcc", frame1, "N1 16 2 1000 @1000 "}}, // one run over two chunks
        {{endsInFF + request}, {frame1, frame1, "N1 16 1 1000 @1000 ", "N1 16 2 1000 @1000 "}}, // the escape is no stray
        {{request + "\x55" + frame(0x01, 2, {})}, {frame1, stray + "55", frame1, "N1 16 1 1000 @1000 ", "N1 16 3 1000 @1000 "}},
        {{QByteArray::fromHex("FF000000") + request}, {stray + "ff000000", frame1, "N1 16 2 1000 @1000 "}}, // len 0 never completes
        {{request + "xyz"}, {frame1, stray + "78797a", "N1 16 1 1000 @1000 "}}, // the end of a conversation
    };
    for (const auto &c : cases) {
        ExchangeTracker tracker;
        for (const QByteArray &chunk : c.chunks)
            tracker.take(mcu, chunk, 0);
        QCOMPARE(rowsOf(tracker), c.rows);
    }
}

void TestExchangeTracker::rowsAreTextedAndBounded()
{
    const QString definition = TestRoot::shipped("datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json");
    FrameExplainer explainer(nullptr, TestRoot::shipped("auto_analyze.ini"));
    VokJson json;
    QVERIFY(explainer.loadDefinitionFile(definition) && json.parseFile(definition));
    const QByteArray report = json.setIntValue(json.statusTemplate(), QStringLiteral("开关"), 1);
    ExchangeTracker tracker;
    tracker.take(mcu, "\x01\x02", 0);
    tracker.take(mcu, frame(0x05, 6, report.mid(8, report.size() - 9)), 0);
    tracker.take(module, frame(0x0D, 1, QByteArray::fromHex("0032")).chopped(1) + '\0', 0);
    MonitorModel model(&explainer);
    model.setLimit(4);
    model.append(tracker.takeRows());
    auto row = [&](int row) { // from the direction on
        QStringList cells;
        for (int column = MonitorModel::Direction; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        return cells.join('|');
    };
    QCOMPARE(row(0), QStringLiteral("MCU→模块|帧外字节||2|||帧外字节|01 02"));
    QVERIFY2(row(1).startsWith(QStringLiteral("MCU→模块|05 MCU主动上报设备状态：action为04并携带全部数据点的状态|06|28|正确|||"))
                 && row(1).contains(QStringLiteral(" 开关=1,")), qPrintable(row(1)));
    QCOMPARE(row(2), QStringLiteral("模块→MCU|0D WiFi模组通知WiFi状态：第二个数据字节低4位为WiFi状态，高4位为连接状态（MCU以0E应答）|01|11|"
                                    "错误（应为47）||校验和错误|WiFi已连接路由器；已连接路由器和云端"));
    model.setModuleSide(mcu);
    QVERIFY(row(1).startsWith(QStringLiteral("模块→MCU|")));

    // Beyond the limit the oldest rows go, so the newest stay at the bottom.
    for (quint8 sn = 10; sn < 20; ++sn)
        tracker.take(module, frame(0x01, sn, {}), 0);
    model.append(tracker.takeRows());
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.index(3, MonitorModel::Sn).data().toString(), QStringLiteral("13"));
}

QTEST_GUILESS_MAIN(TestExchangeTracker)
#include "tst_exchangetracker.moc"
