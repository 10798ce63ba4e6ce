#include "stdinreader.h"

#include <cerrno>

#include <unistd.h>

StdinReader::StdinReader(QObject *parent)
    : QObject(parent), notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &StdinReader::readAvailable);
}

bool StdinReader::isInteractive()
{
    return isatty(STDIN_FILENO) == 1;
}

void StdinReader::readAvailable()
{
    char chunk[4096];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count > 0) {
        pending.append(chunk, int(count));
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            emit lineRead(QString::fromUtf8(line));
        }
        return;
    }
    if (count < 0 && errno == EINTR)
        return; // a signal came in between; the notifier fires again
    // End of input (or an error that ends it): a last line without newline counts.
    notifier.setEnabled(false);
    if (!pending.isEmpty())
        emit lineRead(QString::fromUtf8(pending));
    pending.clear();
    emit finished();
}
