#include "framewriter.h"

#include "protocol/frame.h"
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
    sendFrame(VokFrame::build(cmd, nextSn++, payload));
}

void FrameWriter::sendReply(quint8 cmd, quint8 sn)
{
    sendFrame(VokFrame::build(cmd, sn, QByteArray()));
}

void FrameWriter::sendRaw(const QByteArray &bytes)
{
    if (write(bytes))
        emit rawSent(bytes);
}

void FrameWriter::sendFrame(const QByteArray &frame)
{
    // Everything behind the header is escaped, the length bytes too.
    write(VokFrame::escaped(frame, VokFrame::LenPos));
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
