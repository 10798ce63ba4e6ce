#ifndef FRAMESTREAM_H
#define FRAMESTREAM_H

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// Builders of protocol streams for splitter tests and benchmarks.
namespace FrameStream {

// A whole unescaped frame with the given command, sn and payload, checksum
// stamped.
QByteArray frame(quint8 cmd, quint8 sn, const QByteArray &payload);

// The frame as a module puts it on the wire: every 0xFF after the two header
// bytes is followed by 0x55.
QByteArray escaped(const QByteArray &frame);

// A random payload of the given size in which 0xFF, 0x55 and the pair FF 55
// are frequent.
QByteArray payload(QRandomGenerator &rng, int size);

} // namespace FrameStream

#endif // FRAMESTREAM_H
