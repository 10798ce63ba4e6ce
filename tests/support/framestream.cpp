#include "support/framestream.h"

#include "protocol/voktool.h"

namespace FrameStream {

QByteArray frame(quint8 cmd, quint8 sn, const QByteArray &payload)
{
    const int len = payload.size() + 5;
    QByteArray f;
    f.append(char(0xFF)).append(char(0xFF));
    f.append(char(len >> 8)).append(char(len & 0xFF));
    f.append(char(cmd)).append(char(sn)).append(char(0)).append(char(0));
    f.append(payload);
    f.append(char(0));
    f[f.size() - 1] = char(VokTool().checksum(f, 2, 1));
    return f;
}

QByteArray escaped(const QByteArray &frame)
{
    QByteArray wire = frame.left(2);
    for (int i = 2; i < frame.size(); ++i) {
        wire.append(frame.at(i));
        if (quint8(frame.at(i)) == 0xFF)
            wire.append(char(0x55));
    }
    return wire;
}

QByteArray payload(QRandomGenerator &rng, int size)
{
    QByteArray p(size, 0);
    for (int i = 0; i < size; ++i) {
        const quint32 pick = rng.bounded(8);
        p[i] = pick == 0 ? char(0xFF) : pick == 1 ? char(0x55) : char(rng.bounded(256));
    }
    return p;
}

} // namespace FrameStream
