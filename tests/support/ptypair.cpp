#include "support/ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
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
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
}

void PtyPair::hangUp()
{
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

bool PtyPair::write(const QByteArray &bytes)
{
    int done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size() && timer.elapsed() < 5000) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += int(n);
        } else {
            pollfd pfd{masterFd, POLLOUT, 0};
            ::poll(&pfd, 1, 10);
            QCoreApplication::processEvents();
        }
    }
    return done == bytes.size();
}

QByteArray PtyPair::read(int timeoutMs, int settleMs)
{
    QByteArray result;
    QElapsedTimer timer;
    timer.start();
    int wait = timeoutMs;
    for (;;) {
        QCoreApplication::processEvents();
        pollfd pfd{masterFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, qMin(wait, 10));
        if (ready > 0 && (pfd.revents & POLLIN)) {
            char chunk[4096];
            const ssize_t n = ::read(masterFd, chunk, sizeof chunk);
            if (n > 0) {
                result.append(chunk, int(n));
                timer.restart();
                wait = settleMs;
                continue;
            }
        }
        if (timer.elapsed() >= wait)
            return result;
    }
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
