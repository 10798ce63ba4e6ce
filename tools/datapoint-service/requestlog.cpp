#include "requestlog.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {
// A pipe takes a write of up to PIPE_BUF bytes whole or not at all, and
// reports itself writable only with at least that much room.
constexpr int maxLineBytes = 512;
}

RequestLog::RequestLog(int fd) : fd(fd)
{
}

void RequestLog::write(const QByteArray &line)
{
    if (dropped > 0
        && writeNow("(" + QByteArray::number(dropped) + " log lines dropped)\n"))
        dropped = 0;
    if (!writeNow(line.left(maxLineBytes - 1) + '\n'))
        ++dropped;
}

bool RequestLog::writeNow(const QByteArray &text)
{
    pollfd ready{fd, POLLOUT, 0};
    if (::poll(&ready, 1, 0) != 1 || !(ready.revents & POLLOUT))
        return false;
    ssize_t written;
    do {
        written = ::write(fd, text.constData(), size_t(text.size()));
    } while (written < 0 && errno == EINTR);
    return written == text.size();
}
