// Reading capture files: records in order, and a clear stop at the first
// line that does not follow the format.

#include "serial/capturereader.h"
#include "support/testroot.h"

#include <QtTest>

class TestCaptureReader : public QObject
{
    Q_OBJECT
private slots:
    void readsUpToTheFirstBadLine()
    {
        const QByteArray head = "# vok-serial-tool capture 1\n";
        const QByteArray notice = "2026-12-07 14:03:21.457 /dev/ttyUSB0 -- opened 115200 8N1\n";
        const QByteArray body = notice + "2026-12-07 14:03:21.502 /dev/ttyUSB0 RX FF FF 00 05 01 00 00 00 06\n"
                                "# a comment\n2026-12-07 15:59:59.999 COM%201%25 TX FF FF\n";
        const QStringList all = QString(body).remove("# a comment\n").replace("%201%25", " 1%").split('\n');
        struct Row { QByteArray content; int records; int badLine; }; // badLine 0: a clean end
        QList<Row> rows{{head + body, 3, 0}, {"time,port,data\n" + body, 0, 1},
                        {head + body.left(body.indexOf("00 00 06") + 4), 1, 3}, {head + notice + "2026-12-07 ", 1, 3}};
        // lowercase, no space between pairs, no bytes, no such direction, month 13, broken port escape
        for (const char *bad : {"12-07 14:03:21.502 p RX ff", "12-07 14:03:21.502 p RX FF-FF", "12-07 14:03:21.502 p RX",
                                "12-07 14:03:21.502 p XX FF", "13-07 14:03:21.502 p RX FF", "12-07 14:03:21.502 p%2 RX FF"})
            rows.append({head + "2026-" + bad + '\n', 0, 2});
        QTemporaryDir dir;
        for (const Row &row : rows) {
            QVERIFY(writeFile(dir.filePath("capture.txt"), row.content));
            CaptureReader reader(dir.filePath("capture.txt"));
            QStringList lines; // the records written out again, ports unescaped
            for (CaptureRecord r; reader.next(r);)
                lines << QDateTime::fromMSecsSinceEpoch(r.msecsSinceEpoch).toString("yyyy-MM-dd HH:mm:ss.zzz ") + r.port
                             + QStringList{" RX ", " TX ", " -- "}[r.direction]
                             + (r.direction == CaptureRecord::Notice ? r.text : QString(r.bytes.toHex(' ').toUpper()));
            const QString stop = reader.error().section(QStringLiteral("："), 0, 0);
            QVERIFY2(lines == all.mid(0, row.records) && stop == (row.badLine ? QStringLiteral("第 %1 行").arg(row.badLine) : ""),
                     qPrintable(row.content + "\nread:\n" + lines.join('\n') + '\n' + reader.error()));
        }
    }
};

QTEST_GUILESS_MAIN(TestCaptureReader)
#include "tst_capturereader.moc"
