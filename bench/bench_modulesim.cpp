// The module simulator on a script of 1,000,000 lines without wait or
// expect, against a pseudo-terminal whose other end takes every byte: how
// long the script takes to be checked before the first byte goes out, the
// simulator's resident memory as the script runs, and how long it takes to
// end after SIGINT in the middle of the script (the closing report included).

#include "support/ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const int scriptLines = 1000000;

long residentKiB(qint64 pid, const char *field = "VmRSS:")
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile script(dir.filePath("long.txt"));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 0; i < scriptLines; ++i)
        script.write("raw 01 02 03\n");
    script.close();

    PtyPair pty;
    qint64 received = 0;
    QSocketNotifier drain(pty.masterDescriptor(), QSocketNotifier::Read);
    QObject::connect(&drain, &QSocketNotifier::activated, [&] {
        char chunk[65536];
        const ssize_t count = ::read(pty.masterDescriptor(), chunk, sizeof chunk);
        if (count > 0)
            received += count;
    });

    QProcess sim;
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    sim.start(QCoreApplication::applicationDirPath() + "/vok-module-sim",
              {"--port", pty.slavePath(), "--script", script.fileName(), "--check"});
    if (!sim.waitForStarted(10000))
        return 1;
    if (!QTest::qWaitFor([&] { return received > 0; }, 120000))
        return 1;
    std::printf("%d script lines checked, first byte out after %lld ms\n", scriptLines,
                clock.elapsed());

    for (int second = 1; second <= 4; ++second) {
        QTest::qWait(1000);
        std::printf("running %d s: %lld bytes sent (%lld lines), resident %ld KiB\n", second,
                    received, received / 3, residentKiB(sim.processId()));
    }
    const long peak = residentKiB(sim.processId(), "VmHWM:");
    clock.restart();
    ::kill(pid_t(sim.processId()), SIGINT);
    if (!sim.waitForFinished(120000))
        return 1;
    std::printf("SIGINT to exit: %lld ms (exit status %d) after %lld of %d lines; peak resident %ld KiB\n",
                clock.elapsed(), sim.exitCode(), received / 3, scriptLines, peak);
    return 0;
}
