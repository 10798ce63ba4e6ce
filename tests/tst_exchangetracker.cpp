// The monitor's judgement of a conversation, in-process: pairing, verdicts,
// unanswered requests, bytes outside frames and the texts of the table.

#include "pages/monitor/exchangetracker.h"
#include "pages/monitor/frameexplainer.h"
#include "pages/monitor/monitormodel.h"
#include "support/framestream.h"
#include "support/testroot.h"

#include <QtTest>

using FrameStream::frame;

enum Side { module, mcu };

class TestExchangeTracker : public QObject
{
    Q_OBJECT
private slots:
    void conversationIsJudgedAndTexted()
    {
        ExchangeTracker tracker;
        tracker.take(module, frame(0x01, 1, {}) + "\x55", 1000); // a 55 after a frame not ending in FF is stray
        tracker.take(mcu, "\xAA\xBB", 1020);            // bytes outside frames, one run over two chunks
        tracker.take(mcu, "\xCC" + frame(0x02, 1, QByteArray(66, '0')), 1030);
        tracker.take(module, frame(0x03, 2, QByteArray(1, 0x02)), 1100);
        tracker.take(mcu, frame(0x04, 2, {}).chopped(1) + '\x5A', 1125);
        // sn F3 makes the checksum FF, which goes out escaped: that 55 is no stray byte.
        tracker.take(module, FrameStream::escaped(frame(0x07, 0xF3, {})), 1200);
        tracker.take(mcu, frame(0x08, 9, {}), 1210);     // answers 07 with another sn
        tracker.take(module, frame(0x0D, 4, QByteArray::fromHex("0032")), 1300);
        // A frame of len 0 can never complete; a reply nobody asked for.
        tracker.take(module, QByteArray::fromHex("FF000000") + frame(0x08, 7, {}), 1400);
        // A reply counts only from the side the request did not come from.
        tracker.take(module, frame(0x05, 5, QByteArray::fromHex("04")), 1500);
        tracker.take(module, frame(0x06, 5, {}), 1510);
        tracker.expire(2299);                        // 07 timed out at 2200; 0D at 2300 not yet
        tracker.take(mcu, frame(0x08, 0xF3, {}) + "xyz", 2400); // 07 answered after all, too late
        tracker.finish();
        // One text a row: kind (Frame, Stray, No reply) and side, faults, request
        // row, reply time, time, and the bytes of stray rows.
        QStringList rows;
        for (const MonitorRow &row : tracker.takeRows())
            rows << QString("%1%2 %3 %4 %5 @%6 ").arg(QChar("FSN"[row.kind])).arg(row.side).arg(row.faults).arg(row.requestId)
                            .arg(row.replyMs).arg(row.time) + (row.kind == MonitorRow::Stray ? row.bytes.toHex() : "");
        QCOMPARE(rows, QStringList({"F0 0 -1 -1 @1000 ", "S1 32 -1 -1 @1020 aabbcc", "F1 0 1 30 @1030 ",
            "S0 32 -1 -1 @1000 55", "F0 0 -1 -1 @1100 ", "F1 1 5 25 @1125 ", "F0 0 -1 -1 @1200 ", "F1 4 7 -1 @1210 ",
            "F0 0 -1 -1 @1300 ", "S0 32 -1 -1 @1400 ff000000", "F0 8 -1 -1 @1400 ", "F0 0 -1 -1 @1500 ", "F0 8 -1 -1 @1510 ",
            "N0 16 7 1000 @2200 ", "N0 16 9 1000 @2300 ", "F1 64 7 1200 @2400 ", "S1 32 -1 -1 @2400 78797a",
            "N0 16 12 1000 @2500 "}));

        // The texts of the table.
        FrameExplainer explainer(nullptr, TestRoot::shipped("auto_analyze.ini"));
        QVERIFY(explainer.loadDefinitionFile(TestRoot::shipped("datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json")));
        tracker.take(mcu, "\x01\x02", 0);
        // A status report of that product: action 04, then its datapoints with the switch on.
        tracker.take(mcu, frame(0x05, 6, QByteArray::fromHex("040001") + QByteArray(16, 0)), 0);
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
};

QTEST_GUILESS_MAIN(TestExchangeTracker)
#include "tst_exchangetracker.moc"
