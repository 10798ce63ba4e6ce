// Reading capture files: records in order, and a clear stop at the first
// line that does not follow the format.

#include "serial/capturereader.h"
#include "support/testroot.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray head = "# vok-serial-tool capture 1\n";
const QByteArray body =
    "2026-12-07 14:03:21.457 /dev/ttyUSB0 -- opened 115200 8N1\n"
    "2026-12-07 14:03:21.502 /dev/ttyUSB0 RX FF FF 00 05 01 00 00 00 06\n"
    "# a comment\n"
    "2026-12-07 14:03:21.503 COM%201%25 TX FF FF\n";
} // namespace

class TestCaptureReader : public QObject
{
    Q_OBJECT
private slots:
    void recordsAreRead();
    void readingStopsAtABadLine_data();
    void readingStopsAtABadLine();

private:
    QTemporaryDir dir;
};

void TestCaptureReader::recordsAreRead()
{
    const QString path = dir.filePath("good.txt");
    QVERIFY(writeFile(path, head + body));
    CaptureReader reader(path);
    CaptureRecord record;
    QVERIFY(reader.next(record));
    QCOMPARE(record.direction, CaptureRecord::Notice);
    QCOMPARE(record.text, QStringLiteral("opened 115200 8N1"));
    QVERIFY(reader.next(record));
    QCOMPARE(record.direction, CaptureRecord::Received);
    QCOMPARE(record.port, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(record.bytes, QByteArray::fromHex("FFFF000501000000 06"));
    QCOMPARE(QDateTime::fromMSecsSinceEpoch(record.msecsSinceEpoch),
             QDateTime::fromString("2026-12-07 14:03:21.502", "yyyy-MM-dd HH:mm:ss.zzz"));
    QVERIFY(reader.next(record));
    QCOMPARE(record.direction, CaptureRecord::Sent);
    QCOMPARE(record.port, QStringLiteral("COM 1%"));
    QCOMPARE(record.bytes, QByteArray::fromHex("FFFF"));
    QVERIFY(!reader.next(record));
    QCOMPARE(reader.error(), QString());
}

void TestCaptureReader::readingStopsAtABadLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("badLine");

    QTest::newRow("another format") << QByteArray("time,port,data\n") + body << 0 << 1;
    QTest::newRow("empty file") << QByteArray() << 0 << 1;
    QTest::newRow("cut inside a pair") << head + body.left(body.indexOf("00 00 06") + 4) << 1 << 3;
    QTest::newRow("cut inside the time") << head + body.left(70) << 1 << 3;
    QTest::newRow("lowercase hexadecimal") << head + "2026-12-07 14:03:21.502 p RX ff\n" << 0 << 2;
    QTest::newRow("two spaces between pairs") << head + "2026-12-07 14:03:21.502 p RX FF  FF\n" << 0 << 2;
    QTest::newRow("no such direction") << head + "2026-12-07 14:03:21.502 p XX FF\n" << 0 << 2;
    QTest::newRow("month 13") << head + "2026-13-07 14:03:21.502 p RX FF\n" << 0 << 2;
    QTest::newRow("broken port escape") << head + "2026-12-07 14:03:21.502 p%2 RX FF\n" << 0 << 2;
    QTest::newRow("no bytes") << head + "2026-12-07 14:03:21.502 p RX\n" << 0 << 2;
}

void TestCaptureReader::readingStopsAtABadLine()
{
    QFETCH(QByteArray, content);
    QFETCH(int, records);
    QFETCH(int, badLine);
    const QString path = dir.filePath("bad.txt");
    QVERIFY(writeFile(path, content));
    CaptureReader reader(path);
    CaptureRecord record;
    int read = 0;
    while (reader.next(record))
        ++read;
    QCOMPARE(read, records);
    QVERIFY2(reader.error().startsWith(QStringLiteral("第 %1 行").arg(badLine)), qPrintable(reader.error()));
}

QTEST_GUILESS_MAIN(TestCaptureReader)
#include "tst_capturereader.moc"
