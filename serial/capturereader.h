#ifndef CAPTUREREADER_H
#define CAPTUREREADER_H

#include <QByteArray>
#include <QFile>
#include <QString>

// One line of a capture file: bytes received (RX) or written (TX) on a
// port, or a notice about the port.
struct CaptureRecord
{
    enum Direction { Received, Sent, Notice };

    qint64 msecsSinceEpoch = 0; // local time of the line, as written
    QString port;
    Direction direction = Notice;
    QByteArray bytes; // RX and TX
    QString text;     // notices
};

// Reads a capture file written by the recording feature, record by record:
//
//     # vok-serial-tool capture 1
//     2026-12-07 14:03:21.502 /dev/ttyUSB0 RX FF FF 00 05 01 00 00 00 06
//     2026-12-07 14:03:30.000 /dev/ttyUSB0 -- lost: ...
//
// Reading stops at the first line that does not follow the format; what
// came before it stays valid, and error() says which line it was.
class CaptureReader
{
public:
    explicit CaptureReader(const QString &path);

    // The next record; false at the end of the file or at a bad line.
    bool next(CaptureRecord &record);
    // Empty after a clean end; else why reading stopped, with the line number.
    QString error() const { return failure; }
    int lineNumber() const { return line; }

private:
    bool fail(const QString &why);
    bool parse(const QByteArray &text, CaptureRecord &record);
    qint64 parseTime(const char *text, bool &ok);

    QFile file;
    QString failure;
    int line = 0;
    bool done = false;
    // Local time of the last hour seen: lines of one hour share one costly
    // conversion from local time.
    QByteArray hourText;
    qint64 hourStart = 0;
};

#endif // CAPTUREREADER_H
