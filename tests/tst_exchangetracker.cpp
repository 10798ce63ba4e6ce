// The monitor's judgement of a conversation, in-process: pairing, verdicts,
// unanswered requests, bytes outside frames and the texts of the table.

#include "datapoint/vokjson.h"
#include "pages/monitor/exchangetracker.h"
#include "pages/monitor/frameexplainer.h"
#include "pages/monitor/monitormodel.h"
#include "support/framestream.h"
#include "support/testroot.h"

#include <QtTest>

namespace {
const int module = 0;
const int mcu = 1;

QByteArray withChecksum(QByteArray frame, quint8 checksum)
{
    frame[frame.size() - 1] = char(checksum);
    return frame;
}
} // namespace

class TestExchangeTracker : public QObject
{
    Q_OBJECT
private slots:
    void conversationIsJudged();
    void bytesOutsideFrames_data();
    void bytesOutsideFrames();
    void rowsAreTextedAndBounded();
};

void TestExchangeTracker::conversationIsJudged()
{
    using FrameStream::frame;
    ExchangeTracker tracker;
    tracker.take(module, frame(0x01, 1, {}), 1000);
    tracker.take(mcu, frame(0x02, 1, QByteArray(66, '0')), 1030);
    tracker.take(module, frame(0x03, 2, QByteArray(1, 0x02)), 1100);
    tracker.take(mcu, withChecksum(frame(0x04, 2, {}), 0x5A), 1125);
    tracker.take(module, frame(0x07, 3, {}), 1200);
    tracker.take(mcu, frame(0x08, 9, {}), 1210);     // answers 07 with another sn
    tracker.take(module, frame(0x0D, 4, QByteArray::fromHex("0032")), 1300);
    tracker.take(module, frame(0x08, 7, {}), 1400);  // a reply nobody asked for
    // A reply counts only from the side the request did not come from.
    tracker.take(module, frame(0x05, 5, QByteArray::fromHex("04")), 1500);
    tracker.take(module, frame(0x06, 5, {}), 1510);
    tracker.expire(2299);                        // 07 timed out at 2200; 0D at 2300 not yet
    tracker.take(mcu, frame(0x08, 3, {}), 2400); // 07 answered after all, too late
    tracker.finish();
    const QVector<MonitorRow> rows = tracker.takeRows();

    // kind, side, faults, requestId, replyMs, time
    const QVector<QList<qint64>> expected = {
        {MonitorRow::Frame, module, 0, -1, -1, 1000},
        {MonitorRow::Frame, mcu, 0, 1, 30, 1030},
        {MonitorRow::Frame, module, 0, -1, -1, 1100},
        {MonitorRow::Frame, mcu, MonitorRow::BadChecksum, 3, 25, 1125},
        {MonitorRow::Frame, module, 0, -1, -1, 1200},
        {MonitorRow::Frame, mcu, MonitorRow::WrongSn, 5, -1, 1210},
        {MonitorRow::Frame, module, 0, -1, -1, 1300},
        {MonitorRow::Frame, module, MonitorRow::NoRequest, -1, -1, 1400},
        {MonitorRow::Frame, module, 0, -1, -1, 1500},
        {MonitorRow::Frame, module, MonitorRow::NoRequest, -1, -1, 1510},
        {MonitorRow::NoReply, module, MonitorRow::Unanswered, 5, 1000, 2200},
        {MonitorRow::NoReply, module, MonitorRow::Unanswered, 7, 1000, 2300},
        {MonitorRow::Frame, mcu, MonitorRow::Late, 5, 1200, 2400},
        {MonitorRow::NoReply, module, MonitorRow::Unanswered, 9, 1000, 2500},
    };
    QVector<QList<qint64>> found;
    for (const MonitorRow &row : rows)
        found << QList<qint64>{row.kind, row.side, row.faults, row.requestId, row.replyMs, row.time};
    QCOMPARE(found, expected);
}

void TestExchangeTracker::bytesOutsideFrames_data()
{
    using FrameStream::frame;
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("stray");
    QTest::addColumn<int>("frames");

    // sn 0xF3 with no payload makes the checksum 0xFF, which goes out escaped.
    const QByteArray endsInFF = frame(0x07, 0xF3, {});
    Q_ASSERT(quint8(endsInFF.back()) == 0xFF);
    QTest::newRow("before a frame, one run over two chunks")
        << QByteArrayList{"\xAA\xBB", "\xCC" + frame(0x01, 1, {})} << QByteArrayList{"\xAA\xBB\xCC"} << 1;
    QTest::newRow("escape after a final FF is not stray")
        << QByteArrayList{FrameStream::escaped(endsInFF) + frame(0x01, 1, {})} << QByteArrayList{} << 2;
    QTest::newRow("a 55 after any other frame is")
        << QByteArrayList{frame(0x01, 1, {}) + "\x55" + frame(0x01, 2, {})} << QByteArrayList{"\x55"} << 2;
    QTest::newRow("a frame of len 0 can never complete")
        << QByteArrayList{QByteArray::fromHex("FF000000") + frame(0x01, 1, {})}
        << QByteArrayList{QByteArray::fromHex("FF000000")} << 1;
    QTest::newRow("trailing bytes come out at the end")
        << QByteArrayList{frame(0x01, 1, {}) + "xyz"} << QByteArrayList{"xyz"} << 1;
}

void TestExchangeTracker::bytesOutsideFrames()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, stray);
    QFETCH(int, frames);
    ExchangeTracker tracker;
    for (const QByteArray &chunk : chunks)
        tracker.take(mcu, chunk, 0);
    tracker.finish();
    QByteArrayList strayFound;
    int framesFound = 0;
    for (const MonitorRow &row : tracker.takeRows()) {
        if (row.kind == MonitorRow::Stray) {
            QCOMPARE(row.faults, quint8(MonitorRow::OutsideFrame));
            strayFound << row.bytes;
        }
        framesFound += row.kind == MonitorRow::Frame;
    }
    QCOMPARE(strayFound, stray);
    QCOMPARE(framesFound, frames);
}

void TestExchangeTracker::rowsAreTextedAndBounded()
{
    using FrameStream::frame;
    FrameExplainer explainer(nullptr, TestRoot::shipped("auto_analyze.ini"));
    const QString definition = TestRoot::shipped("datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json");
    QVERIFY(explainer.loadDefinitionFile(definition));
    VokJson json;
    QVERIFY(json.parseFile(definition));
    QByteArray report = json.setIntValue(json.statusTemplate(), QStringLiteral("开关"), 1);
    report = frame(0x05, 6, report.mid(8, report.size() - 9));

    ExchangeTracker tracker;
    tracker.take(mcu, "\x01\x02", 0);
    tracker.take(mcu, report, 0);
    tracker.take(module, withChecksum(frame(0x0D, 1, QByteArray::fromHex("0032")), 0), 0);
    MonitorModel model(&explainer);
    model.setLimit(4);
    model.append(tracker.takeRows());
    auto cell = [&](int row, int column) { return model.index(row, column).data().toString(); };

    QCOMPARE(cell(0, MonitorModel::Command), QStringLiteral("帧外字节"));
    QCOMPARE(cell(0, MonitorModel::Decoding), QStringLiteral("01 02"));
    QCOMPARE(cell(1, MonitorModel::Direction), QStringLiteral("MCU→模块"));
    QVERIFY(cell(1, MonitorModel::Command).startsWith(QStringLiteral("05 MCU主动上报设备状态")));
    QVERIFY2(cell(1, MonitorModel::Decoding).contains(QStringLiteral("开关=1")),
             qPrintable(cell(1, MonitorModel::Decoding)));
    QCOMPARE(cell(1, MonitorModel::Checksum), QStringLiteral("正确"));
    QCOMPARE(cell(2, MonitorModel::Direction), QStringLiteral("模块→MCU"));
    QCOMPARE(cell(2, MonitorModel::Checksum), QStringLiteral("错误（应为47）"));
    QVERIFY(cell(2, MonitorModel::Decoding).endsWith(QStringLiteral("；已连接路由器和云端")));
    model.setModuleSide(mcu);
    QCOMPARE(cell(1, MonitorModel::Direction), QStringLiteral("模块→MCU"));

    // Beyond the limit the oldest rows go, so the newest stay at the bottom.
    for (quint8 sn = 10; sn < 20; ++sn)
        tracker.take(module, frame(0x01, sn, {}), 0);
    model.append(tracker.takeRows());
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(cell(model.rowCount() - 1, MonitorModel::Sn), QStringLiteral("13"));
}

QTEST_GUILESS_MAIN(TestExchangeTracker)
#include "tst_exchangetracker.moc"
