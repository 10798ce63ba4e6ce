#include "serial/capturewriter.h"

#include "support/capturelines.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestCaptureWriter : public QObject
{
    Q_OBJECT
private slots:
    void portField_data();
    void portField();
    void recordsLinesOfAtMost64Bytes();
    void rollsOverAtTheSizeLimit();
    void unwritableFolderStopsRecording();
};

void TestCaptureWriter::portField_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("listed name") << "ttyUSB0" << QByteArray("ttyUSB0");
    QTest::newRow("path") << "/dev/pts/3" << QByteArray("/dev/pts/3");
    QTest::newRow("space, tab, percent") << "my port\t50%" << QByteArray("my%20port%0950%25");
    QTest::newRow("non-ASCII") << "串口" << QByteArray("%E4%B8%B2%E5%8F%A3");
    QTest::newRow("control and DEL") << QString("a\nb\x7f") << QByteArray("a%0Ab%7F");
}

void TestCaptureWriter::portField()
{
    QFETCH(QString, port);
    QTEST(CaptureWriter::escapedPort(port), "field");
}

void TestCaptureWriter::recordsLinesOfAtMost64Bytes()
{
    QTemporaryDir dir;
    CaptureWriter writer;
    writer.setFolder(dir.path() + "/new/captures"); // made when missing
    QVERIFY(writer.start("/dev/ttyUSB0"));
    QVERIFY(QFileInfo(writer.fileName()).fileName().contains("_ttyUSB0"));
    QByteArray bytes;
    for (int i = 0; i < 130; ++i)
        bytes += char(i * 2);
    writer.record("/dev/ttyUSB0", CaptureWriter::Received, bytes);
    writer.record("a b", CaptureWriter::Sent, QByteArray::fromHex("FF00"));
    writer.record("a b", CaptureWriter::Sent, QByteArray()); // nothing to say
    writer.note("a b", "lost: 设备已断开");
    writer.stop();
    writer.record("a b", CaptureWriter::Sent, "x"); // after stop: not recorded

    auto hexOf = [&](int from, int count) { return QString(bytes.mid(from, count).toHex(' ').toUpper()); };
    QCOMPARE(maskedCaptureLines(writer.fileName()),
             QStringList({"# vok-serial-tool capture 1", "T /dev/ttyUSB0 RX " + hexOf(0, 64),
                          "T /dev/ttyUSB0 RX " + hexOf(64, 64), "T /dev/ttyUSB0 RX " + hexOf(128, 2),
                          "T a%20b TX FF 00", "T a%20b -- lost: 设备已断开", ""}));
}

void TestCaptureWriter::rollsOverAtTheSizeLimit()
{
    QTemporaryDir dir;
    CaptureWriter writer;
    writer.setFolder(dir.path());
    writer.setMaxFileBytes(150);
    QVERIFY(writer.start("p"));
    // 28 bytes of header and 3 lines of 32: the fourth line starts the next file.
    for (int i = 0; i < 5; ++i)
        writer.record("p", CaptureWriter::Received, QByteArray(1, char(i)));
    writer.stop();
    const QStringList files = captureFiles(dir.path());
    QCOMPARE(files.size(), 2);
    QCOMPARE(maskedCaptureLines(files[0]),
             QStringList({"# vok-serial-tool capture 1", "T p RX 00", "T p RX 01", "T p RX 02", ""}));
    QCOMPARE(maskedCaptureLines(files[1]),
             QStringList({"# vok-serial-tool capture 1", "T p RX 03", "T p RX 04", ""}));
}

void TestCaptureWriter::unwritableFolderStopsRecording()
{
    // A folder below a plain file can be neither made nor written, even by root.
    QTemporaryDir dir;
    QVERIFY(QFile(dir.path() + "/file").open(QIODevice::WriteOnly));
    CaptureWriter writer;
    QSignalSpy failed(&writer, &CaptureWriter::failed);
    writer.setFolder(dir.path() + "/file/captures");
    QVERIFY(!writer.start("p"));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!writer.isRecording());
    writer.record("p", CaptureWriter::Received, "x");
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(TestCaptureWriter)
#include "tst_capturewriter.moc"
