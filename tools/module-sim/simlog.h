#ifndef SIMLOG_H
#define SIMLOG_H

#include <QByteArray>
#include <QString>

// The simulator's console output: one line per event on stdout, each with a
// millisecond time stamp; fatal errors go to stderr.
class SimLog
{
public:
    // A frame on the line: direction "WIFI" (sent by the simulator) or "MCU"
    // (received), its hexadecimal text and what it means.
    void frame(const QString &direction, const QByteArray &frame, const QString &meaning);
    void note(const QString &text);
    // A protocol violation: "FAIL" when violations count, "warn" otherwise.
    void violation(bool counts, const QString &text);
    // An untimed line, for output that scripts read (the pty path, the tally).
    void plain(const QString &text);
    static void error(const QString &text);

private:
    void stamped(const QString &text);
};

#endif // SIMLOG_H
