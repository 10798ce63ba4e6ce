#ifndef MONITORROW_H
#define MONITORROW_H

#include <QByteArray>

// One row of the protocol monitor: a frame, a run of bytes outside any
// frame, or a request that got no reply in time.
struct MonitorRow
{
    enum Kind : quint8 { Frame, Stray, NoReply };
    enum Fault : quint8 {
        BadChecksum = 1,
        TooShort = 2,   // len below the smallest frame's 5
        WrongSn = 4,    // a reply to an open request of another sn
        NoRequest = 8,  // a reply no open request asked for
        Unanswered = 16,
        OutsideFrame = 32,
        Late = 64,      // the reply to a request already marked unanswered
    };

    qint64 id = 0;
    qint64 time = 0;       // milliseconds since the epoch
    QByteArray bytes;      // the frame, the stray bytes, or the unanswered request
    qint64 requestId = -1; // replies and NoReply rows: the request's row
    qint32 replyMs = -1;   // replies: time since the request; NoReply: the timeout
    quint8 side = 0;       // 0: first port (COM1), 1: second port (COM2)
    Kind kind = Frame;
    quint8 faults = 0;
};

#endif // MONITORROW_H
