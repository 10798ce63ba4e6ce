// Status reads answered per second by the MCU page, with a peer on a real
// pseudo-terminal sending them back to back against the sample product's
// datapoint table. Every read is logged, answered with a status frame and
// logged again, so each read adds two logged frames (four list rows). The
// rate is measured over the first 10,000 logged frames and again after
// 100,000 and 200,000, to show that handling a frame does not slow down as
// the log grows; resident memory is given per 10,000 logged frames (the
// list keeps its newest rows only, so it stops growing).

#include "pages/mcu/framelog.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/ptypair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTableWidget>

#include <cstdio>
#include <unistd.h>

using namespace McuFixture;

namespace {

const QString sampleKey = QStringLiteral("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");
const int totalReads = 110000;   // 220,000 logged frames
const int readsInFlight = 256;   // the peer keeps this many unanswered reads queued
const int batch = 32;            // reads written per write call

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Reads what the page wrote and counts the frames in it by their FF FF
// header (an FF inside a frame is always followed by 0x55 on the wire).
class ReplyCounter
{
public:
    int frames = 0;
    void drain(int fd)
    {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                const bool isFF = quint8(buffer[i]) == 0xFF;
                if (isFF && previousFF) {
                    ++frames;
                    previousFF = false;
                } else {
                    previousFF = isFF;
                }
            }
        }
    }

private:
    bool previousFF = false;
};

// The page writes "in" on the debug log for every escaped byte; keep the
// figures readable.
void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);

    TestRoot root;
    const QString sample = TestRoot::shipped("datapoints/" + sampleKey + ".json");
    if (!root.isValid() || !QFile::copy(sample, VokFiles::definitionCache(sampleKey))) {
        std::fprintf(stderr, "sample definition %s not copied\n", qPrintable(sample));
        return 1;
    }
    writeSettings(sampleKey);

    PtyPair pty;
    McuWindow page;
    page.show();
    auto *list = child<QListWidget>(&page, "listWidget");
    const int rows = child<QTableWidget>(&page, "datapoint_table")->rowCount();
    if (!pty.isValid() || rows == 0 || !openPort(&page, pty.slavePath())) {
        std::fprintf(stderr, "set-up failed (pty, sample table of %d rows, port)\n", rows);
        return 1;
    }

    struct Window
    {
        int fromFrames, toFrames;
        qint64 startNs = -1, endNs = -1;
    };
    Window windows[] = {{0, 10000}, {100000, 110000}, {200000, 210000}};

    QElapsedTimer clock;
    clock.start();
    const long rssStart = residentKiB();
    int sent = 0;
    int answered = 0;
    ReplyCounter replies;
    quint8 sn = 0;
    while (answered < totalReads) {
        if (sent - answered < readsInFlight && sent < totalReads) {
            QByteArray requests;
            for (int i = 0; i < batch && sent < totalReads; ++i, ++sent) {
                QByteArray read = hex("FFFF0006 03 00 0000 02 00");
                read[5] = char(sn++);
                requests += stamped(read);
            }
            pty.write(requests);
        }
        QCoreApplication::processEvents();
        replies.drain(pty.masterDescriptor());
        answered = replies.frames;
        // Each answered read has been logged twice (the read and the reply).
        const int loggedFrames = 2 * answered;
        for (Window &window : windows) {
            if (window.startNs < 0 && loggedFrames >= window.fromFrames)
                window.startNs = clock.nsecsElapsed();
            if (window.endNs < 0 && loggedFrames >= window.toFrames)
                window.endNs = clock.nsecsElapsed();
        }
    }
    // The list shows the last lines a moment later; it keeps the newest rows only.
    while (list->count() < qMin(4 * totalReads, FrameLog::maxRows))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const long rssEnd = residentKiB();
    const int loggedFrames = 2 * answered;

    std::printf("bench_mcupage: status reads answered over a pty, sample product table (%d rows)\n",
                rows);
    std::printf("  total: %d reads answered, %d frames logged, %d list rows, %.2f s\n", answered,
                loggedFrames, list->count(), clock.nsecsElapsed() / 1e9);
    for (const Window &window : windows) {
        const double seconds = (window.endNs - window.startNs) / 1e9;
        const double framesPerSecond = (window.toFrames - window.fromFrames) / seconds;
        std::printf("  logged frames %6d..%6d: %8.0f frames/s = %8.0f status reads answered/s\n",
                    window.fromFrames, window.toFrames, framesPerSecond, framesPerSecond / 2);
    }
    const double first = 1.0 / (windows[0].endNs - windows[0].startNs);
    const double later = 1.0 / (windows[1].endNs - windows[1].startNs);
    std::printf("  rate at 100,000 logged frames / rate over the first 10,000: %.2f\n", later / first);
    std::printf("  resident memory: %ld KiB before, %ld KiB after, %.0f KiB per 10,000 logged frames\n",
                rssStart, rssEnd, (rssEnd - rssStart) / (loggedFrames / 10000.0));
    return 0;
}
