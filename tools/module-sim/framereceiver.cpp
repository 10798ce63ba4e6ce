#include "framereceiver.h"

#include "protocol/vokframer.h"
#include "protocol/frame.h"

namespace {
using VokFrame::HeaderByte;
// More than the largest frame can take on the wire, every byte escaped.
constexpr int kMaxUnframed = 2 * (0xFFFF + VokFrame::LenEnd);

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(VokFrame::toHexString(bytes.left(32)).trimmed()) + (bytes.size() > 32 ? " ..." : "");
}
} // namespace

FrameReceiver::FrameReceiver(QObject *line, int silenceMs, QObject *parent) : QObject(parent)
{
    connect(line, SIGNAL(DataReady(QByteArray)), this, SLOT(takeChunk(QByteArray)));
    silence.setSingleShot(true);
    silence.setInterval(silenceMs);
    connect(&silence, &QTimer::timeout, this, &FrameReceiver::lineSilent);
    startFramer();
}

void FrameReceiver::startFramer()
{
    delete framer;
    framer = new VokFramer(this, this);
    connect(framer, &VokFramer::LineDataReady, this, &FrameReceiver::takeFrame);
}

void FrameReceiver::takeChunk(QByteArray chunk)
{
    for (const char byte : chunk) {
        if (escapeMayFollow && byte == VokFrame::EscapeByte) {
            escapeMayFollow = false; // the escape of the checksum FF: not stray
            continue;
        }
        escapeMayFollow = false;
        unframed.append(byte);
        emit DataReady(QByteArray(1, byte));
    }
    if (unframed.size() > kMaxUnframed) {
        // A stream that never completes a frame nor falls silent.
        emit lineProblem(QString("%1 bytes without a complete frame dropped: %2")
                             .arg(unframed.size())
                             .arg(hexText(unframed)));
        unframed.clear();
        startFramer();
    }
    if (unframed.isEmpty())
        silence.stop();
    else
        silence.start();
}

void FrameReceiver::takeFrame(QByteArray frame)
{
    const int start = unframed.indexOf(HeaderByte);
    if (start > 0)
        emit lineProblem(QString("%1 bytes outside any frame ignored: %2")
                             .arg(start)
                             .arg(hexText(unframed.left(start))));
    unframed.clear();
    escapeMayFollow = frame.endsWith(HeaderByte);
    emit frameReceived(frame);
}

void FrameReceiver::lineSilent()
{
    const int start = unframed.indexOf(HeaderByte);
    if (start < 0) {
        emit lineProblem(QString("%1 bytes outside any frame ignored: %2")
                             .arg(unframed.size())
                             .arg(hexText(unframed)));
    } else {
        const QByteArray partial = unframed.mid(start);
        const std::optional<uint> len = VokFrame::len(partial);
        const QString announced = len ? QString("len %1 announces %2 bytes")
                                            .arg(*len)
                                            .arg(*len + VokFrame::LenEnd)
                                      : QString("the length is missing");
        emit lineProblem(QString("incomplete frame dropped after %1 ms of silence: %2, %3 arrived: %4")
                             .arg(silence.interval())
                             .arg(announced)
                             .arg(partial.size())
                             .arg(hexText(partial)));
    }
    unframed.clear();
    startFramer();
}
