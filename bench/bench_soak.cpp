// A long session on the dual-port page: both ports open on pseudo-terminal
// pairs, relay and recording on, each pane offered a steady rate. Prints the
// resident memory once a minute, the longest event the GUI thread handled,
// bytes relayed against bytes offered, bytes in the capture against bytes
// on the wire, how long the window takes to answer after the last byte, the
// CPU used per second, and the CPU used idle with no port open.
//
//   VOK_SOAK_S=n     seconds of traffic (default 60)
//   VOK_SOAK_RATE=n  bytes per second offered into each pane (default 1048576)

#include "pages/dual/doublewindow.h"

#include "support/ptypair.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <cstdio>
#include <thread>

#include <ctime>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Times every event, outermost only: wall clock, and the GUI thread's own
// CPU time (the wall clock also counts time other programs took the core).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    qint64 longestNs = 0;
    qint64 longestCpuNs = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (depth > 0)
            return QApplication::notify(receiver, event);
        ++depth;
        QElapsedTimer wall;
        wall.start();
        const qint64 cpuStart = threadCpuNs();
        const bool done = QApplication::notify(receiver, event);
        longestNs = qMax(longestNs, wall.nsecsElapsed());
        longestCpuNs = qMax(longestCpuNs, threadCpuNs() - cpuStart);
        --depth;
        return done;
    }

private:
    int depth = 0;
};

double residentMb()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray trafficPattern()
{
    return QByteArray::fromHex("FFFF00050B00000010"
                               "FFFF000F050100000401020304050607080931"
                               "FFFF0006090000000211");
}

// Plays both devices: offers `rate` bytes a second into each master for
// `seconds`, and counts what the page relays out of each.
struct Feeder
{
    int masters[2];
    qint64 rate;
    int seconds;
    std::atomic<qint64> offered[2] = {{0}, {0}};
    std::atomic<qint64> relayed[2] = {{0}, {0}};
    std::atomic<bool> fed{false};
    std::atomic<bool> stop{false};

    void run()
    {
        const QByteArray pattern = trafficPattern().repeated(200);
        QElapsedTimer clock;
        clock.start();
        const qint64 total = rate * seconds;
        int offset[2] = {0, 0};
        while (!stop) {
            const qint64 due = qMin(total, rate * clock.elapsed() / 1000);
            pollfd fds[2];
            for (int i = 0; i < 2; ++i)
                fds[i] = {masters[i], short(POLLIN | (offered[i] < due ? POLLOUT : 0)), 0};
            ::poll(fds, 2, 5);
            for (int i = 0; i < 2; ++i) {
                if (fds[i].revents & POLLIN) {
                    char sink[65536];
                    const ssize_t n = ::read(masters[i], sink, sizeof sink);
                    if (n > 0)
                        relayed[i] += n;
                }
                if ((fds[i].revents & POLLOUT) && offered[i] < due) {
                    const int want = int(qMin<qint64>(due - offered[i], pattern.size() - offset[i]));
                    const ssize_t n = ::write(masters[i], pattern.constData() + offset[i], size_t(want));
                    if (n > 0) {
                        offered[i] += n;
                        offset[i] = (offset[i] + int(n)) % pattern.size();
                    }
                }
            }
            if (offered[0] == total && offered[1] == total)
                fed = true;
        }
    }
};

bool openPane(DoubleWindow &page, const char *pane, const PtyPair &pty)
{
    page.findChild<QComboBox *>(QStringLiteral("com_") + pane)->setEditText(pty.slavePath());
    auto *button = page.findChild<QPushButton *>(QStringLiteral("pushButton_open") + pane);
    button->click();
    return button->text() == QStringLiteral("关闭串口");
}

// Bytes of the RX and TX lines of every capture file in the folder.
qint64 capturedBytes(const QString &folder)
{
    qint64 bytes = 0;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 4 && (fields[3] == "RX" || fields[3] == "TX"))
                bytes += fields.size() - 4;
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    TimedApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("VOK_SOAK_S") ? qEnvironmentVariableIntValue("VOK_SOAK_S") : 60;
    const qint64 rate = qEnvironmentVariableIsSet("VOK_SOAK_RATE") ? qEnvironmentVariableIntValue("VOK_SOAK_RATE")
                                                                   : 1024 * 1024;
    QSettings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool")
        .setValue("capture/folder", home.filePath("captures"));

    DoubleWindow page;
    page.show();
    // Idle: the page with no port open.
    QElapsedTimer idleClock;
    idleClock.start();
    double cpuBefore = processCpuSeconds();
    QTimer::singleShot(10000, &app, &QApplication::quit);
    app.exec();
    const double idleCpu = (processCpuSeconds() - cpuBefore) / (idleClock.elapsed() / 1000.0);

    PtyPair pty1, pty2;
    if (!openPane(page, "1", pty1) || !openPane(page, "2", pty2)) {
        std::fprintf(stderr, "bench_soak: cannot open the pseudo-terminal pairs\n");
        return 1;
    }
    page.findChild<QToolButton *>("toolButton_record")->click();
    app.processEvents();
    app.longestNs = 0;
    app.longestCpuNs = 0;

    Feeder feeder{{pty1.masterDescriptor(), pty2.masterDescriptor()}, rate, seconds};
    std::thread feeding(&Feeder::run, &feeder);
    QElapsedTimer clock;
    clock.start();
    cpuBefore = processCpuSeconds();
    std::printf("dual page, both ports, relay and recording on, %lld bytes/s offered per pane for %d s\n",
                rate, seconds);
    std::printf("  resident at start: %.0f MB\n", residentMb());
    QTimer minute;
    int minutes = 0;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        std::printf("  resident after %d min: %.0f MB\n", ++minutes, residentMb());
        std::fflush(stdout);
    });
    minute.start(60000);
    double cpuUsed = 0;
    double fedSeconds = 0;
    qint64 answerMs = -1;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!feeder.fed || cpuUsed > 0)
            return;
        cpuUsed = processCpuSeconds() - cpuBefore;
        fedSeconds = clock.elapsed() / 1000.0;
        // The window answers when an event posted now gets its turn.
        QElapsedTimer answer;
        answer.start();
        QTimer::singleShot(0, &app, [&, answer] {
            answerMs = answer.elapsed();
            QTimer::singleShot(2000, &app, &QApplication::quit); // let the last chunks through
        });
    });
    check.start(10);
    app.exec();
    feeder.stop = true;
    feeding.join();
    const qint64 longest = app.longestNs;
    const qint64 longestCpu = app.longestCpuNs;
    page.findChild<QToolButton *>("toolButton_record")->click(); // stop, flush

    const qint64 offered = feeder.offered[0] + feeder.offered[1];
    const qint64 relayed = feeder.relayed[0] + feeder.relayed[1];
    std::printf("  resident at the end: %.0f MB\n", residentMb());
    std::printf("  longest event: %.1f ms wall, %.1f ms CPU\n", longest / 1e6, longestCpu / 1e6);
    std::printf("  offered %lld bytes, relayed %lld bytes\n", offered, relayed);
    std::printf("  bytes in the capture %lld, bytes on the wire (received + written) %lld\n",
                capturedBytes(home.filePath("captures")), offered + relayed);
    std::printf("  window answered %lld ms after the last byte was offered\n", answerMs);
    std::printf("  CPU while feeding: %.1f %% of a core over %.1f s\n", 100 * cpuUsed / fedSeconds, fedSeconds);
    std::printf("  CPU idle, no port open: %.2f %% of a core\n", 100 * idleCpu);
    return 0;
}
