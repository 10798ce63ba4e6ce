// Display throughput of the dual-port page: both ports open on pseudo-terminal
// pairs, relay on, both panes fed at once as fast as the page takes the bytes.
// Prints the bytes shown per second per pane, the longest single event the
// GUI thread handled (receive handler, flush, paint, port poll), and the
// resident memory per megabyte shown. Wall-clock figures depend on what else
// the machine runs; the GUI thread's own CPU time is printed beside them.
//
//   VOK_BENCH_MB=n   megabytes fed into each pane (default 4)
//   VOK_BENCH_VIEW=0|1|2   the areas' view: hex (default), text, both

#include "pages/dual/doublewindow.h"

#include "support/ptypair.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMap>
#include <QMetaEnum>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Times every event the application delivers, outermost only.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    // Longest wall-clock and thread CPU time per event type.
    struct Longest
    {
        qint64 wallNs = 0;
        qint64 cpuNs = 0;
    };
    QMap<int, Longest> longest;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (depth > 0)
            return QApplication::notify(receiver, event);
        const int type = event->type();
        ++depth;
        QElapsedTimer wall;
        wall.start();
        const qint64 cpuStart = threadCpuNs();
        const bool done = QApplication::notify(receiver, event);
        Longest &slot = longest[type];
        slot.cpuNs = qMax(slot.cpuNs, threadCpuNs() - cpuStart);
        slot.wallNs = qMax(slot.wallNs, wall.nsecsElapsed());
        --depth;
        return done;
    }

private:
    int depth = 0;
};

QByteArray eventName(int type)
{
    const char *name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
    return name ? QByteArray(name) : QByteArray::number(type);
}

qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// A mix of frames as they cross the link: short commands, a status report
// and the product-information reply; no header pattern inside a payload.
QByteArray trafficPattern()
{
    return QByteArray::fromHex("FFFF00050B00000010"
                               "FFFF000F050100000401020304050607080931"
                               "FFFF0006090000000211"
                               "FFFF00470201000030303030303030343030303030303034303030303030"
                               "3031303030303030303135663063326537643962316134633833613665"
                               "32643466376238633930653135000077");
}

void drain(int master)
{
    char sink[65536];
    while (::read(master, sink, sizeof sink) > 0) {
    }
}

// Plays both devices: writes the stream into both masters as fast as they
// take it and drains what the page relays back out.
void feed(int master1, int master2, const QByteArray &stream, std::atomic<bool> &fed,
          std::atomic<bool> &stop)
{
    const int masters[2] = {master1, master2};
    int written[2] = {0, 0};
    while (!stop) {
        pollfd fds[2];
        for (int i = 0; i < 2; ++i)
            fds[i] = {masters[i], short(POLLIN | (written[i] < stream.size() ? POLLOUT : 0)), 0};
        if (::poll(fds, 2, 50) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & POLLIN)
                drain(masters[i]);
            if ((fds[i].revents & POLLOUT) && written[i] < stream.size()) {
                const ssize_t n = ::write(masters[i], stream.constData() + written[i],
                                          size_t(qMin(4096, stream.size() - written[i])));
                if (n > 0)
                    written[i] += int(n);
            }
        }
        if (written[0] == stream.size() && written[1] == stream.size())
            fed = true;
    }
}

bool openPane(DoubleWindow &page, const char *pane, const PtyPair &pty)
{
    page.findChild<QComboBox *>(QStringLiteral("com_") + pane)->setEditText(pty.slavePath());
    auto *button = page.findChild<QPushButton *>(QStringLiteral("pushButton_open") + pane);
    button->click();
    return button->text() == QStringLiteral("关闭串口");
}

} // namespace

int main(int argc, char *argv[])
{
    TimedApplication app(argc, argv);
    const int megabytes = qEnvironmentVariableIsSet("VOK_BENCH_MB")
                              ? qMax(1, qEnvironmentVariableIntValue("VOK_BENCH_MB"))
                              : 4;
    // The page's remembered settings (echo, view) stay out of the figures.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    DoubleWindow page;
    page.show();
    const int view = qBound(0, qEnvironmentVariableIntValue("VOK_BENCH_VIEW"), 2);
    for (const char *box : {"comboBox_view1", "comboBox_view2"})
        page.findChild<QComboBox *>(box)->setCurrentIndex(view);
    PtyPair pty1, pty2;
    if (!pty1.isValid() || !pty2.isValid() || !openPane(page, "1", pty1)
        || !openPane(page, "2", pty2)) {
        std::fprintf(stderr, "bench_dualpage: cannot open the pseudo-terminal pairs\n");
        return 1;
    }
    const QByteArray pattern = trafficPattern();
    const QByteArray stream = pattern.repeated(megabytes * 1024 * 1024 / pattern.size());
    QTextEdit *const areas[] = {page.findChild<QTextEdit *>("textEdit_rec1"),
                                page.findChild<QTextEdit *>("textEdit_rec2")};

    QCoreApplication::processEvents();
    app.longest.clear();
    const qint64 residentBefore = residentBytes();
    const qint64 cpuBefore = threadCpuNs();
    std::atomic<bool> fed{false};
    std::atomic<bool> stop{false};
    QElapsedTimer clock;
    clock.start();
    std::thread feeder(feed, pty1.masterDescriptor(), pty2.masterDescriptor(), std::cref(stream),
                       std::ref(fed), std::ref(stop));

    // Done once everything is written and the areas have stopped growing for
    // longer than a flush interval. The last growth by more than a flush can
    // add (three bytes, nine characters) is when the last chunk was shown.
    qint64 shownMs = -1;
    qint64 shownCpuNs = 0;
    qint64 lastCount = 0;
    QElapsedTimer quiet;
    quiet.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const qint64 count = areas[0]->document()->characterCount()
                             + areas[1]->document()->characterCount();
        if (count > lastCount + 9) {
            shownMs = clock.elapsed();
            shownCpuNs = threadCpuNs() - cpuBefore;
        }
        if (count != lastCount)
            quiet.restart();
        lastCount = count;
        if ((fed && quiet.elapsed() > 1500) || clock.elapsed() > 600000)
            app.quit();
    });
    check.start(10);
    app.exec();
    stop = true;
    feeder.join();

    // The areas keep their newest lines and leave out what comes faster than
    // they show, so "shown" is when the last of the stream reached them.
    if (!fed || shownMs <= 0) {
        std::printf("bench_dualpage: the page did not take all bytes within 600 s\n");
        return 1;
    }
    const double paneMb = double(stream.size()) / (1024 * 1024);
    const double residentMb = double(residentBytes() - residentBefore) / (1024 * 1024);
    static const char *const viewNames[] = {"hex", "text", "hex and text"};
    std::printf("dual page, both ports open, relay on, %s view, %.1f MB fed into each pane at once\n",
                viewNames[view], paneMb);
    std::printf("  shown per pane:          %.2f MB/s (all shown after %.2f s)\n",
                paneMb * 1000 / shownMs, shownMs / 1000.0);
    std::printf("  GUI thread CPU time:     %.2f s, %.2f MB per pane per CPU second\n",
                shownCpuNs / 1e9, paneMb * 1e9 / shownCpuNs);
    // Serial data (socket notifier), timers (flush, port poll), painting.
    for (const QEvent::Type type : {QEvent::SockAct, QEvent::Timer, QEvent::UpdateRequest}) {
        const TimedApplication::Longest slot = app.longest.value(type);
        std::printf("  longest %-14s  %.1f ms wall, %.1f ms CPU\n",
                    (eventName(type) + ':').constData(), slot.wallNs / 1e6, slot.cpuNs / 1e6);
    }
    qint64 worstNs = 0;
    for (const TimedApplication::Longest &slot : qAsConst(app.longest))
        worstNs = qMax(worstNs, slot.wallNs);
    std::printf("  longest of all events:   %.1f ms wall\n", worstNs / 1e6);
    std::printf("  resident memory growth:  %.0f MB, %.1f MB per MB shown\n", residentMb,
                residentMb / (2 * paneMb));
    return 0;
}
