#include "support/ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        masterFd = slaveFd = -1;
        return;
    }
    termios raw{};
    tcgetattr(slaveFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveFd, TCSANOW, &raw);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    // Not inherited by programs the test starts: a hang-up must really hang up.
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);
    // The slave side stays open here too, so the master never sees a hang-up
    // while the code under test closes and reopens its port.
}

PtyPair::~PtyPair()
{
    hangUp();
    ::close(slaveFd); // -1 when the pair was never made: harmless
}

void PtyPair::hangUp()
{
    ::close(masterFd);
    masterFd = -1;
}

bool PtyPair::write(const QByteArray &bytes)
{
    QElapsedTimer timer;
    timer.start();
    int done = 0;
    while (done < bytes.size() && timer.elapsed() < 5000) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        done += int(qMax<ssize_t>(n, 0));
        pollfd pfd{masterFd, POLLOUT, 0};
        if (n <= 0 && ::poll(&pfd, 1, 10) >= 0) // full: let the code under test read
            QCoreApplication::processEvents();
    }
    return done == bytes.size();
}

QByteArray PtyPair::read(int timeoutMs, int settleMs)
{
    QByteArray result;
    QElapsedTimer quiet; // since the start, then since the last byte
    quiet.start();
    int wait = timeoutMs;
    do {
        QCoreApplication::processEvents();
        pollfd pfd{masterFd, POLLIN, 0};
        char chunk[4096];
        const ssize_t n = ::poll(&pfd, 1, qMin(wait, 10)) > 0 ? ::read(masterFd, chunk, sizeof chunk) : 0;
        if (n > 0) {
            result.append(chunk, int(n));
            quiet.restart();
            wait = settleMs;
        }
    } while (quiet.elapsed() < wait);
    return result;
}

QByteArray PtyPair::readAtLeast(int count, int timeoutMs)
{
    QByteArray result;
    QElapsedTimer timer;
    timer.start();
    while (result.size() < count && timer.elapsed() < timeoutMs)
        result += read(10, 10);
    return result;
}
