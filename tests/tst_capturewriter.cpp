// Capture files: lines of at most 64 bytes, port names escaped, a new file
// at the size limit, and a clear stop when the folder cannot be written.

#include "serial/capturewriter.h"

#include "support/capturelines.h"

#include <QtTest>

class TestCaptureWriter : public QObject
{
    Q_OBJECT
private slots:
    void recordsLinesIntoFilesOfAtMostTheLimit()
    {
        QTemporaryDir dir;
        CaptureWriter writer;
        QSignalSpy failed(&writer, &CaptureWriter::failed);
        writer.setFolder(dir.path() + "/new/captures"); // made when missing
        // Header 28, RX lines 232, 232 and 46, TX line 64: the first file just full.
        writer.setMaxFileBytes(602);
        QVERIFY(writer.start("/dev/ttyUSB0"));
        const QByteArray bytes = QByteArray(65, '\xA5') + QByteArray(65, 'Z');
        const QString port = QString::fromUtf8("a b\t50%串\n\x7f!~"); // escaped: space and below, DEL and above, %
        writer.record("/dev/ttyUSB0", CaptureWriter::Received, bytes);
        writer.record(port, CaptureWriter::Sent, QByteArray::fromHex("FF00"));
        writer.record(port, CaptureWriter::Sent, QByteArray()); // nothing to say
        writer.note(port, "lost: 设备已断开");
        writer.stop();
        writer.record(port, CaptureWriter::Sent, "x"); // after stop: not recorded
        const QStringList files = captureFiles(dir.path() + "/new/captures");
        QVERIFY2(files.value(0).endsWith("__dev_ttyUSB0.txt"), qPrintable(files.value(0)));
        const QString head = "# vok-serial-tool capture 1", hex = bytes.toHex(' ').toUpper(),
                      field = "T a%20b%0950%25%E4%B8%B2%0A%7F!~";
        QCOMPARE(maskedCaptureLines(files.value(0)) + maskedCaptureLines(files.value(1)),
                 QStringList({head, "T /dev/ttyUSB0 RX " + hex.mid(0, 191), "T /dev/ttyUSB0 RX " + hex.mid(192, 191),
                              "T /dev/ttyUSB0 RX " + hex.mid(384), field + " TX FF 00", "", head,
                              field + " -- lost: 设备已断开", ""}));

        // A folder below a plain file can be neither made nor written, even by root.
        writer.setFolder(files.value(0) + "/captures");
        QVERIFY(!writer.start("p"));
        writer.record("p", CaptureWriter::Received, "x");
        QCOMPARE(failed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCaptureWriter)
#include "tst_capturewriter.moc"
