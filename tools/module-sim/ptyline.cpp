#include "ptyline.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kPeerPollMs = 50;
constexpr int kWriteGiveUpMs = 2000; // a program that has the port open but never reads
}

PtyLine::PtyLine(QObject *parent) : QIODevice(parent)
{
    peerWatch.setInterval(kPeerPollMs);
    connect(&peerWatch, &QTimer::timeout, this, &PtyLine::lookForPeer);
}

PtyLine::~PtyLine()
{
    if (masterFd >= 0)
        ::close(masterFd);
}

bool PtyLine::create()
{
    int slaveFd = -1;
    char name[128] = {};
    if (openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0
        || ttyname_r(slaveFd, name, sizeof name) != 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        if (slaveFd >= 0)
            ::close(slaveFd);
        return false;
    }
    // Raw bytes both ways; the setting stays with the terminal when the
    // other program opens it. Closing our slave descriptor makes the master
    // report a hang-up for as long as no program has the port open.
    termios raw{};
    tcgetattr(slaveFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(slaveFd, TCSANOW, &raw);
    ::close(slaveFd);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(name);

    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    readNotifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    readNotifier->setEnabled(false);
    connect(readNotifier, &QSocketNotifier::activated, this, &PtyLine::readMaster);
    peerWatch.start();
    return true;
}

void PtyLine::lookForPeer()
{
    pollfd pfd{masterFd, POLLIN, 0};
    if (::poll(&pfd, 1, 0) >= 0 && !(pfd.revents & POLLHUP))
        setPresent(true);
}

void PtyLine::setPresent(bool nowPresent)
{
    present = nowPresent;
    readNotifier->setEnabled(nowPresent);
    if (nowPresent) {
        peerWatch.stop();
        emit peerOpened();
    } else {
        peerWatch.start();
        emit peerClosed();
    }
}

void PtyLine::readMaster()
{
    QByteArray data;
    char chunk[4096];
    qint64 count;
    while ((count = read(chunk, sizeof chunk)) > 0)
        data.append(chunk, int(count));
    if (!data.isEmpty())
        emit DataReady(data);
    if (count < 0)
        setPresent(false); // the other program closed the port
}

qint64 PtyLine::readData(char *data, qint64 maxSize)
{
    const ssize_t count = ::read(masterFd, data, size_t(maxSize));
    if (count >= 0)
        return count;
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

qint64 PtyLine::writeData(const char *data, qint64 size)
{
    if (!present) {
        setErrorString(QString("no program has %1 open").arg(path));
        return -1;
    }
    qint64 done = 0;
    QElapsedTimer waited;
    waited.start();
    while (done < size) {
        const ssize_t count = ::write(masterFd, data + done, size_t(size - done));
        if (count > 0) {
            done += count;
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        if (waited.elapsed() > kWriteGiveUpMs) {
            setErrorString(QString("%1 takes no more bytes").arg(path));
            break;
        }
        pollfd pfd{masterFd, POLLOUT, 0};
        ::poll(&pfd, 1, 50);
    }
    return done > 0 ? done : -1;
}
