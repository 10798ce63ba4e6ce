#ifndef FRAMESTREAM_H
#define FRAMESTREAM_H

#include "protocol/frame.h"

#include <QRandomGenerator>

// Builders of protocol streams for splitter tests and benchmarks.
namespace FrameStream {

// A whole unescaped frame with the given command, sn and payload, checksum
// stamped.
inline QByteArray frame(quint8 cmd, quint8 sn, const QByteArray &payload) { return VokFrame::build(cmd, sn, payload); }

// The frame as a module puts it on the wire: every 0xFF after the two header
// bytes is followed by 0x55.
inline QByteArray escaped(const QByteArray &frame) { return VokFrame::escaped(frame, VokFrame::LenPos); }

// A random payload of the given size in which 0xFF, 0x55 and the pair FF 55
// are frequent.
inline QByteArray payload(QRandomGenerator &rng, int size)
{
    QByteArray p(size, 0);
    for (char &byte : p) {
        const quint32 pick = rng.bounded(8);
        byte = pick == 0 ? char(0xFF) : pick == 1 ? char(0x55) : char(rng.bounded(256));
    }
    return p;
}

} // namespace FrameStream

#endif // FRAMESTREAM_H
