#include "protocol/vokframer.h"

#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QDebug>
#include <cstring>

using VokFrame::HeaderByte;
using VokFrame::LenEnd;

VokFramer::VokFramer(QObject *port, QObject *parent) : QObject(parent)
{
    if (!port) {
        qDebug() << "error vokSerialPort";
        return;
    }
    this->port = port;
    tool = new VokTool;
    buffer.clear();
    connect(port, SIGNAL(DataReady(QByteArray)), this, SLOT(dataToV4(QByteArray)),
            Qt::DirectConnection);
}

VokFramer::~VokFramer()
{
    delete tool;
}

void VokFramer::dataToV4(QByteArray Data)
{
    const char *data = Data.constData();
    const int size = Data.size();
    int i = 0;
    while (i < size) {
        // Fast path: inside a frame of known length, a run without 0xFF needs
        // no escape handling and cannot end before the frame does, so it is
        // copied in one go. Everything else goes byte by byte.
        if (expectedSize > LenEnd && !escapePending) {
            const int wanted = qMin(expectedSize - buffer.size(), size - i);
            const void *ff = std::memchr(data + i, quint8(HeaderByte), size_t(wanted));
            const int run = ff ? int(static_cast<const char *>(ff) - (data + i)) : wanted;
            if (run > 0) {
                buffer.append(data + i, run);
                i += run;
                if (buffer.size() == expectedSize)
                    emitFrame();
                continue;
            }
        }
        takeByte(data[i++]);
    }
    reportSkipped();
}

void VokFramer::takeByte(char byte)
{
    const bool escapeOfLastFrame = frameEndedInFF && byte == VokFrame::EscapeByte;
    frameEndedInFF = false;
    if (buffer.isEmpty() && byte != HeaderByte) {
        if (!escapeOfLastFrame)
            skipped.append(byte);
        return; // resynchronise on the next header byte
    }
    if (escapePending && byte == VokFrame::EscapeByte) {
        escapePending = false; // the escape of the FF before it: not data
        return;
    }
    buffer.append(byte);
    escapePending = (byte == HeaderByte);
    afterAppend();
}

void VokFramer::afterAppend()
{
    if (buffer.size() == LenEnd) {
        expectedSize = int(tool->getUint16(buffer, VokFrame::LenPos)) + LenEnd;
        if (expectedSize == LenEnd)
            dropStuckFrame(); // len 0 can never complete
    } else if (buffer.size() == expectedSize) {
        emitFrame();
    }
}

void VokFramer::emitFrame()
{
    reportSkipped();
    const QByteArray frame = buffer;
    frameEndedInFF = frame.endsWith(HeaderByte);
    buffer.clear();
    expectedSize = 0;
    escapePending = false;
    emit LineDataReady(frame);
}

void VokFramer::dropStuckFrame()
{
    const int next = buffer.indexOf(HeaderByte, 1);
    skipped.append(buffer.left(next < 0 ? buffer.size() : next));
    if (next < 0)
        buffer.clear();
    else
        buffer.remove(0, next);
    expectedSize = 0;
    if (buffer.isEmpty())
        escapePending = false;
}

void VokFramer::reportSkipped()
{
    if (skipped.isEmpty())
        return;
    const QByteArray bytes = skipped;
    skipped.clear();
    emit BytesSkipped(bytes);
}
