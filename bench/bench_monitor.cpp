// Intake of the protocol monitor: chunks of a busy module <-> MCU exchange
// (requests, replies, status reports) handed to the monitor tab as the dual
// page hands over what it relays, the window shown, the event loop turning
// between chunks. Prints frames taken per second for each stretch of 20,000
// frames while the table fills to its limit and beyond, the longest single
// call (one chunk, or one turn of the event loop that adds a batch of rows
// and repaints), the resident memory at the limit, and the time to open a
// 100 MB capture file.
//
//   VOK_BENCH_CAPTURE_MB=n   size of the capture file (default 100)

#include "pages/monitor/monitorwindow.h"

#include "support/framestream.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

long residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// One round of the exchange: what the module sends, what the MCU sends.
struct Round
{
    QByteArray module;
    QByteArray mcu;
    int frames = 0;
};

Round makeRound(quint8 &sn)
{
    using FrameStream::frame;
    Round round;
    const QByteArray status = QByteArray::fromHex("04") + QByteArray(24, '\x11');
    for (int i = 0; i < 4; ++i, ++sn) {
        round.module += frame(0x03, sn, QByteArray::fromHex("01 0003 2A 00"));
        round.mcu += frame(0x04, sn, {});
        round.module += frame(0x07, quint8(sn + 100), {});
        round.mcu += frame(0x08, quint8(sn + 100), {});
        round.mcu += FrameStream::escaped(frame(0x05, sn, status));
        round.module += frame(0x06, sn, {});
        round.frames += 6;
    }
    return round;
}

QByteArray captureLine(const QByteArray &stamp, const char *port, const char *dir, const QByteArray &bytes)
{
    QByteArray lines;
    for (int at = 0; at < bytes.size(); at += 64)
        lines += stamp + ' ' + port + ' ' + dir + ' ' + bytes.mid(at, 64).toHex(' ').toUpper() + '\n';
    return lines;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MonitorWindow monitor;
    monitor.resize(940, 570);
    monitor.show();
    QCoreApplication::processEvents();

    const int stretch = 20000;
    const int total = MonitorWindow::rowLimit + 2 * stretch;
    quint8 sn = 0;
    qint64 longestChunkNs = 0;
    qint64 longestTurnNs = 0;
    long rssAtLimit = -1;
    const long rssStart = residentKiB();
    int fed = 0;
    std::printf("monitor intake, window shown, limit %d rows\n", MonitorWindow::rowLimit);
    while (fed < total) {
        QElapsedTimer clock;
        clock.start();
        int inStretch = 0;
        while (inStretch < stretch) {
            const Round round = makeRound(sn);
            QElapsedTimer call;
            call.start();
            monitor.takeChunk(0, round.module);
            monitor.takeChunk(1, round.mcu);
            longestChunkNs = qMax(longestChunkNs, call.nsecsElapsed());
            call.restart();
            QCoreApplication::processEvents();
            longestTurnNs = qMax(longestTurnNs, call.nsecsElapsed());
            inStretch += round.frames;
        }
        fed += inStretch;
        std::printf("  frames %6d..%6d: %.0f frames/s\n", fed - inStretch, fed,
                    inStretch / (clock.nsecsElapsed() / 1e9));
        if (rssAtLimit < 0 && fed >= MonitorWindow::rowLimit)
            rssAtLimit = residentKiB();
    }
    std::printf("longest chunk call %.2f ms, longest event-loop turn %.2f ms\n",
                longestChunkNs / 1e6, longestTurnNs / 1e6);
    std::printf("resident memory: %ld KiB at start, %ld KiB at the limit\n", rssStart, rssAtLimit);

    // A capture as the recorder writes it in relay mode: every chunk as RX on
    // its port and TX on the other.
    const qint64 captureBytes = qgetenv("VOK_BENCH_CAPTURE_MB").isEmpty()
                                    ? 100LL << 20 : qgetenv("VOK_BENCH_CAPTURE_MB").toLongLong() << 20;
    QTemporaryDir dir;
    const QString path = dir.filePath("capture.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("# vok-serial-tool capture 1\n");
    qint64 captureFrames = 0;
    qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    while (file.size() < captureBytes) {
        QByteArray text;
        for (int i = 0; i < 64; ++i) {
            const Round round = makeRound(sn);
            const QByteArray stamp = QDateTime::fromMSecsSinceEpoch(msecs++)
                                         .toString("yyyy-MM-dd HH:mm:ss.zzz").toLatin1();
            text += captureLine(stamp, "/dev/ttyUSB0", "RX", round.module)
                    + captureLine(stamp, "/dev/ttyUSB1", "TX", round.module)
                    + captureLine(stamp, "/dev/ttyUSB1", "RX", round.mcu)
                    + captureLine(stamp, "/dev/ttyUSB0", "TX", round.mcu);
            captureFrames += round.frames;
        }
        file.write(text);
    }
    file.close();
    QElapsedTimer open;
    open.start();
    monitor.openCapture(path);
    const qint64 openMs = open.elapsed();
    std::printf("opening a %.1f MB capture (%lld frames): %lld ms, %.0f frames/s; %ld KiB resident after\n",
                QFileInfo(path).size() / 1048576.0, captureFrames, openMs,
                captureFrames / (openMs / 1000.0), residentKiB());
    return 0;
}
