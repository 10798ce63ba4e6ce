// Long sessions, each page on real pseudo-terminal pairs with recording on:
//
// - idle: the main window with no port open, CPU used per second;
// - dual: both ports of the dual page open, relay on, each pane offered a
//   steady rate;
// - mcu: the MCU page answering a status-read flood (a peer that keeps 256
//   reads unanswered at all times) from the sample product's table.
//
// Prints the resident memory and the load average once a minute, the
// longest event the GUI thread handled (wall clock and the thread's own
// CPU), bytes on the wire against bytes in the capture, how long the window
// takes to answer after the last byte (an event posted by the peer at the
// moment it wrote its last byte: the time until it got its turn), the CPU
// used per second, and how long F5 takes on the full views the run leaves.
//
//   VOK_SOAK_PAGES=list  phases to run, in this order (default idle,dual,mcu)
//   VOK_SOAK_IDLE_S=n    seconds of idle (default 10)
//   VOK_SOAK_S=n         seconds of traffic on the dual page (default 60)
//   VOK_SOAK_RATE=n      bytes per second offered into each pane (default 1048576)
//   VOK_SOAK_MCU_S=n     seconds of status reads on the MCU page (default 30)

#include "app/mainwindow.h"
#include "pages/dual/doublewindow.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/ptypair.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <ctime>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace McuFixture;

namespace {

const QString sampleKey = QStringLiteral("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15");

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// One clock for the peer threads and the GUI thread.
qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Times every event, outermost only: wall clock, and the GUI thread's own
// CPU time (the wall clock also counts time other programs took the core).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    qint64 longestNs = 0;
    qint64 longestCpuNs = 0;

    void restart()
    {
        longestNs = 0;
        longestCpuNs = 0;
    }

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

TimedApplication *timedApp()
{
    return static_cast<TimedApplication *>(QCoreApplication::instance());
}

double residentMb()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

QByteArray loadAverage()
{
    QFile loadavg("/proc/loadavg");
    if (!loadavg.open(QIODevice::ReadOnly))
        return "?";
    const QList<QByteArray> fields = loadavg.readAll().split(' ');
    return fields.mid(0, 3).join(' ');
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts frames in a byte stream by their FF FF header (an FF inside a
// frame is always followed by 0x55 on the wire).
struct FrameCounter
{
    qint64 frames = 0;
    bool previousFF = false;

    void add(quint8 byte)
    {
        const bool isFF = byte == 0xFF;
        if (isFF && previousFF) {
            ++frames;
            previousFF = false;
        } else {
            previousFF = isFF;
        }
    }
};

struct CaptureCount
{
    qint64 rx = 0;
    qint64 tx = 0;
    qint64 txFrames = 0;
};

// The capture writes upper-case digits.
int hexDigit(char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Bytes of the RX and TX lines of every capture file in the folder (lines
// are "DATE TIME PORT DIR XX XX ..."), and the frames in the TX bytes.
CaptureCount countCapture(const QString &folder)
{
    CaptureCount count;
    FrameCounter txFrames;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            int dir = -1;
            for (int field = 0; field < 3; ++field) {
                dir = line.indexOf(' ', dir + 1);
                if (dir < 0)
                    break;
            }
            if (dir < 0 || line.size() < dir + 4 || line[dir + 3] != ' ')
                continue;
            const QByteArray direction = line.mid(dir + 1, 2);
            if (direction != "RX" && direction != "TX")
                continue;
            const int first = dir + 4;
            const int end = line.endsWith('\n') ? line.size() - 1 : line.size();
            const qint64 bytes = (end - first + 1) / 3;
            if (direction == "RX") {
                count.rx += bytes;
                continue;
            }
            count.tx += bytes;
            for (int i = first; i + 1 < end; i += 3)
                txFrames.add(quint8(hexDigit(line[i]) << 4 | hexDigit(line[i + 1])));
        }
    }
    count.txFrames = txFrames.frames;
    return count;
}

void setCaptureFolder(const QString &folder)
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool").setValue("capture/folder", folder);
}

// Prints the resident memory and the load average once a minute while it lives.
class MinuteReport
{
public:
    MinuteReport()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            std::printf("  after %2d min: resident %.0f MB, load average %s\n", ++minutes, residentMb(),
                        loadAverage().constData());
            std::fflush(stdout);
        });
        timer.start(60000);
    }

private:
    QTimer timer;
    int minutes = 0;
};

// Posted by a peer thread the moment it writes its last byte: the time until
// the GUI thread gets to it is how long the window takes to answer.
struct Answer
{
    std::atomic<qint64> ns{-1};

    void post(qint64 lastByteNs)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this, lastByteNs] { ns = steadyNs() - lastByteNs; },
            Qt::QueuedConnection);
    }
};

// Time F5 takes on a page: the clearing itself and the repaint it causes.
template<typename Clear>
double clearMs(Clear clear)
{
    QElapsedTimer clock;
    clock.start();
    clear();
    QCoreApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

// --- idle ---------------------------------------------------------------------

void soakIdle(int seconds)
{
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuSeconds();
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    qApp->exec();
    const double cpu = (processCpuSeconds() - cpuBefore) / (clock.elapsed() / 1000.0);
    std::printf("idle: main window, no port open, %.1f s\n", clock.elapsed() / 1000.0);
    std::printf("  CPU: %.2f %% of a core (load average at the end %s)\n", 100 * cpu, loadAverage().constData());
}

// --- dual page ----------------------------------------------------------------

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
    Answer answer{};
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
            if (!fed && offered[0] == total && offered[1] == total) {
                fed = true;
                answer.post(steadyNs());
            }
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

bool soakDual(const QString &folder, int seconds, qint64 rate)
{
    setCaptureFolder(folder);
    DoubleWindow page;
    page.show();
    PtyPair pty1, pty2;
    if (!openPane(page, "1", pty1) || !openPane(page, "2", pty2)) {
        std::fprintf(stderr, "bench_soak: cannot open the pseudo-terminal pairs\n");
        return false;
    }
    auto *record = page.findChild<QToolButton *>("toolButton_record");
    record->click();
    QCoreApplication::processEvents();
    timedApp()->restart();

    std::printf("dual page, both ports, relay and recording on, %lld bytes/s offered per pane for %d s\n", rate,
                seconds);
    std::printf("  at start: resident %.0f MB, load average %s\n", residentMb(), loadAverage().constData());
    std::fflush(stdout);
    Feeder feeder{{pty1.masterDescriptor(), pty2.masterDescriptor()}, rate, seconds};
    MinuteReport minutes;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuSeconds();
    const qint64 guiCpuBefore = threadCpuNs();
    double cpuUsed = 0;
    double guiCpuUsed = 0;
    double fedSeconds = 0;
    std::thread feeding(&Feeder::run, &feeder);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (feeder.answer.ns < 0 || cpuUsed > 0)
            return;
        cpuUsed = processCpuSeconds() - cpuBefore;
        guiCpuUsed = (threadCpuNs() - guiCpuBefore) / 1e9;
        fedSeconds = clock.elapsed() / 1000.0;
        QTimer::singleShot(2000, qApp, &QApplication::quit); // let the last chunks through
    });
    check.start(10);
    qApp->exec();
    feeder.stop = true;
    feeding.join();
    const qint64 longest = timedApp()->longestNs;
    const qint64 longestCpu = timedApp()->longestCpuNs;
    record->click(); // stop, flush
    const double residentEnd = residentMb();

    auto *area1 = page.findChild<QTextEdit *>("textEdit_rec1");
    auto *area2 = page.findChild<QTextEdit *>("textEdit_rec2");
    const int lines1 = area1->document()->blockCount();
    const int lines2 = area2->document()->blockCount();
    const double f5 = clearMs([&] { page.clearReceive(); });

    const qint64 offered = feeder.offered[0] + feeder.offered[1];
    const qint64 relayed = feeder.relayed[0] + feeder.relayed[1];
    const CaptureCount capture = countCapture(folder);
    std::printf("  at the end: resident %.0f MB, load average %s\n", residentEnd, loadAverage().constData());
    std::printf("  longest event: %.1f ms wall, %.1f ms CPU of the GUI thread\n", longest / 1e6, longestCpu / 1e6);
    std::printf("  offered %lld bytes, relayed %lld bytes\n", offered, relayed);
    std::printf("  bytes in the capture %lld (RX %lld, TX %lld), bytes on the wire (received + written) %lld\n",
                capture.rx + capture.tx, capture.rx, capture.tx, offered + relayed);
    std::printf("  window answered %.1f ms after the last byte was offered\n", feeder.answer.ns / 1e6);
    std::printf("  CPU while feeding: %.1f %% of a core (GUI thread %.1f %%, the rest is the devices' thread and\n"
                "  the page's other threads) over %.1f s\n",
                100 * cpuUsed / fedSeconds, 100 * guiCpuUsed / fedSeconds, fedSeconds);
    std::printf("  F5 on %d + %d lines: %.1f ms\n", lines1, lines2, f5);
    return true;
}

// --- MCU page -----------------------------------------------------------------

// Plays the module: keeps 256 status reads unanswered for `seconds`, then
// waits for the last replies, and counts the reply frames.
struct StatusReader
{
    int master;
    int seconds;
    Answer answer{};
    std::atomic<qint64> reads{0};
    std::atomic<qint64> replies{0};
    std::atomic<qint64> written{0};
    std::atomic<qint64> received{0};
    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};

    void run()
    {
        const int inFlight = 256;
        const int batch = 32;
        QByteArray pending;
        FrameCounter counter;
        quint8 sn = 0;
        bool sending = true;
        QElapsedTimer clock;
        clock.start();
        while (!stop) {
            if (sending && clock.elapsed() >= seconds * 1000 && pending.isEmpty()) {
                sending = false;
                answer.post(steadyNs());
            }
            if (sending && pending.isEmpty() && reads - counter.frames <= inFlight - batch) {
                for (int i = 0; i < batch; ++i) {
                    QByteArray read = hex("FFFF0006 03 00 0000 02 00");
                    read[5] = char(sn++);
                    pending += escaped(stamped(read));
                }
                reads += batch;
            }
            pollfd fd{master, short(POLLIN | (pending.isEmpty() ? 0 : POLLOUT)), 0};
            ::poll(&fd, 1, 5);
            if (fd.revents & POLLIN) {
                char buffer[65536];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                for (ssize_t i = 0; i < n; ++i)
                    counter.add(quint8(buffer[i]));
                if (n > 0)
                    received += n;
                replies = counter.frames;
            }
            if (fd.revents & POLLOUT) {
                const ssize_t n = ::write(master, pending.constData(), size_t(pending.size()));
                if (n > 0) {
                    pending.remove(0, int(n));
                    written += n;
                }
            }
            if (!sending && replies == reads)
                done = true;
        }
    }
};

void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool soakMcu(const QString &folder, int seconds)
{
    setCaptureFolder(folder);
    if (!QFile::copy(TestRoot::shipped("datapoints/" + sampleKey + ".json"), VokFiles::definitionCache(sampleKey))) {
        std::fprintf(stderr, "bench_soak: sample definition not copied\n");
        return false;
    }
    writeSettings(sampleKey);
    // The page writes a debug line for every escaped byte of a status frame.
    const QtMessageHandler previous = qInstallMessageHandler(quietDebug);
    PtyPair pty;
    McuWindow page;
    page.show();
    auto *list = child<QListWidget>(&page, "listWidget");
    if (!pty.isValid() || !openPort(&page, pty.slavePath())) {
        std::fprintf(stderr, "bench_soak: cannot open the pseudo-terminal pair\n");
        return false;
    }
    auto *record = child<QToolButton>(&page, "toolButton_record3");
    record->click();
    QCoreApplication::processEvents();
    timedApp()->restart();

    std::printf("MCU page, recording on, status reads (256 unanswered at all times) for %d s\n", seconds);
    std::printf("  at start: resident %.0f MB, load average %s\n", residentMb(), loadAverage().constData());
    std::fflush(stdout);
    StatusReader reader{pty.masterDescriptor(), seconds};
    MinuteReport minutes;
    const double cpuBefore = processCpuSeconds();
    const qint64 guiCpuBefore = threadCpuNs();
    QElapsedTimer clock;
    clock.start();
    std::thread reading(&StatusReader::run, &reader);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const bool over = clock.elapsed() > (seconds + 60) * 1000;
        if ((reader.done && reader.answer.ns >= 0) || over) {
            check.stop();
            QTimer::singleShot(1500, qApp, &QApplication::quit); // the log's and the capture's last flush
        }
    });
    check.start(10);
    qApp->exec();
    reader.stop = true;
    reading.join();
    const double cpuUsed = processCpuSeconds() - cpuBefore;
    const double guiCpuUsed = (threadCpuNs() - guiCpuBefore) / 1e9;
    const double elapsed = clock.elapsed() / 1000.0;
    const qint64 longest = timedApp()->longestNs;
    const qint64 longestCpu = timedApp()->longestCpuNs;
    record->click(); // stop, flush
    const double residentEnd = residentMb();
    const int rows = list->count();
    const double f5 = clearMs([&] { page.clearLog(); });
    qInstallMessageHandler(previous);

    const CaptureCount capture = countCapture(folder);
    std::printf("  at the end: resident %.0f MB, load average %s\n", residentEnd, loadAverage().constData());
    std::printf("  longest event: %.1f ms wall, %.1f ms CPU of the GUI thread\n", longest / 1e6, longestCpu / 1e6);
    std::printf("  reads sent %lld, replies on the wire %lld, replies in the capture %lld%s\n",
                qint64(reader.reads), qint64(reader.replies), capture.txFrames,
                reader.done ? "" : " (the last replies never came)");
    std::printf("  bytes written by the module %lld, RX bytes in the capture %lld\n", qint64(reader.written),
                capture.rx);
    std::printf("  bytes written by the page %lld, TX bytes in the capture %lld\n", qint64(reader.received),
                capture.tx);
    std::printf("  %.0f status reads answered per second\n", reader.replies / elapsed);
    std::printf("  window answered %.1f ms after the last read was written\n", reader.answer.ns / 1e6);
    std::printf("  CPU: %.1f %% of a core (GUI thread %.1f %%, the rest is the module's thread and the page's\n"
                "  other threads) over %.1f s\n",
                100 * cpuUsed / elapsed, 100 * guiCpuUsed / elapsed, elapsed);
    std::printf("  F5 on %d rows: %.1f ms\n", rows, f5);
    return true;
}

int seconds(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    TimedApplication app(argc, argv);
    TestRoot root;
    if (!home.isValid() || !root.isValid()) {
        std::fprintf(stderr, "bench_soak: no temporary folders\n");
        return 1;
    }
    const QStringList pages = qEnvironmentVariable("VOK_SOAK_PAGES", "idle,dual,mcu").split(',');
    std::printf("bench_soak: %d cores\n", int(sysconf(_SC_NPROCESSORS_ONLN)));
    if (pages.contains("idle"))
        soakIdle(seconds("VOK_SOAK_IDLE_S", 10));
    if (pages.contains("dual")
        && !soakDual(home.filePath("dual"), seconds("VOK_SOAK_S", 60), seconds("VOK_SOAK_RATE", 1024 * 1024)))
        return 1;
    if (pages.contains("mcu") && !soakMcu(home.filePath("mcu"), seconds("VOK_SOAK_MCU_S", 30)))
        return 1;
    return 0;
}
