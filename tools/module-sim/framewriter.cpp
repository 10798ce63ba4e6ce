#include "framewriter.h"

#include "protocol/vokframer.h"

#include <QIODevice>

FrameWriter::FrameWriter(QIODevice *line, QObject *parent)
    : QObject(parent), line(line)
{
    sentFramer = new VokFramer(this, this);
    connect(sentFramer, &VokFramer::LineDataReady, this, &FrameWriter::frameSent);
}

void FrameWriter::sendRequest(quint8 cmd, const QByteArray &payload)
{
    write(escape(buildFrame(cmd, nextSn++, payload)));
}

void FrameWriter::sendReply(quint8 cmd, quint8 sn)
{
    write(escape(buildFrame(cmd, sn, QByteArray())));
}

void FrameWriter::sendRaw(const QByteArray &bytes)
{
    if (write(bytes))
        emit rawSent(bytes);
}

QByteArray FrameWriter::buildFrame(quint8 cmd, quint8 sn, const QByteArray &payload) const
{
    const int len = payload.size() + 5; // cmd, sn, flags, payload, checksum
    QByteArray frame;
    frame.reserve(len + 4);
    frame.append(char(0xFF)).append(char(0xFF));
    frame.append(char(len >> 8)).append(char(len & 0xFF));
    frame.append(char(cmd)).append(char(sn)).append(2, '\0');
    frame.append(payload);
    frame.append('\0');
    frame[frame.size() - 1] = char(tool.checksum(frame, 2, 1));
    return frame;
}

QByteArray FrameWriter::escape(const QByteArray &frame)
{
    QByteArray wire = frame.left(2);
    for (int i = 2; i < frame.size(); ++i) {
        wire.append(frame.at(i));
        if (frame.at(i) == char(0xFF))
            wire.append(char(0x55));
    }
    return wire;
}

bool FrameWriter::write(const QByteArray &bytes)
{
    const qint64 written = line->write(bytes);
    if (written != bytes.size()) {
        emit writeFailed(written < 0 ? line->errorString()
                                     : QString("only %1 of %2 bytes written")
                                           .arg(written)
                                           .arg(bytes.size()));
        return false;
    }
    emit DataReady(bytes);
    return true;
}
