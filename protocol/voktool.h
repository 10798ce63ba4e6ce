#ifndef VOKTOOL_H
#define VOKTOOL_H

#include <QByteArray>
#include <QObject>

// The three frame helpers as an object, for the protocol classes that own
// one; the work is done by the free functions of protocol/frame.h.
class VokTool : public QObject
{
    Q_OBJECT
public:
    VokTool();

    // Big-endian value of the (up to) two bytes at pos; a single remaining
    // byte gives its own value, none gives 0.
    uint getUint16(const QByteArray &frame, int pos) const;

    // Sum modulo 256 of data[start] .. data[size - tail - 1]; 0 when that
    // range is empty. The frame checksum is checksum(frame, 2, 1).
    quint8 checksum(const QByteArray &data, int start, int tail) const;

    // Replaces data by its text "AA BB ... " (uppercase pairs, each followed
    // by one space) and returns a copy of it.
    QByteArray toHexString(QByteArray &data) const;
};

#endif // VOKTOOL_H
