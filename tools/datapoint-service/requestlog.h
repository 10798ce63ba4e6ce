#ifndef REQUESTLOG_H
#define REQUESTLOG_H

#include <QByteArray>

// Log lines on a file descriptor (standard output) that can never hold up
// the service: a line is written only when the descriptor can take it at
// once, else it is dropped and counted, and the count goes out as a line of
// its own before the next line that gets through. The descriptor's flags
// are left alone, since a terminal or pipe is shared with other programs.
// The caller ignores SIGPIPE, so a reader that went away only drops lines.
class RequestLog
{
public:
    explicit RequestLog(int fd);

    void write(const QByteArray &line);
    quint64 droppedLines() const { return dropped; }

private:
    bool writeNow(const QByteArray &text);

    int fd;
    quint64 dropped = 0;
};

#endif // REQUESTLOG_H
