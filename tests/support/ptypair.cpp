#include "support/ptypair.h"

#include <QDeadlineTimer>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0)
        return; // both descriptors stay -1
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
    ::close(std::exchange(masterFd, -1));
}

bool PtyPair::write(const QByteArray &bytes)
{
    // While the line is full, the wait lets the code under test read.
    return QTest::qWaitFor([&, done = 0]() mutable {
        done += int(qMax<ssize_t>(::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done)), 0));
        return done == bytes.size();
    }, 5000);
}

QByteArray PtyPair::read(int timeoutMs, int settleMs)
{
    QByteArray result;
    QDeadlineTimer quiet(timeoutMs); // for the first byte, then for each next one
    do {
        QCoreApplication::processEvents(); // lets the code under test write
        pollfd pfd{masterFd, POLLIN, 0};
        char chunk[4096];
        const ssize_t n = ::poll(&pfd, 1, int(qMin<qint64>(quiet.remainingTime(), 10))) > 0 ? ::read(masterFd, chunk, sizeof chunk) : 0;
        result.append(chunk, int(qMax<ssize_t>(n, 0)));
        if (n > 0)
            quiet.setRemainingTime(settleMs);
    } while (!quiet.hasExpired());
    return result;
}

QByteArray PtyPair::readAtLeast(int count, int timeoutMs)
{
    QByteArray result;
    for (QDeadlineTimer deadline(timeoutMs); result.size() < count && !deadline.hasExpired();)
        result += read(10, 10);
    return result;
}
