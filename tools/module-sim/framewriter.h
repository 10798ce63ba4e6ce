#ifndef FRAMEWRITER_H
#define FRAMEWRITER_H

#include <QByteArray>
#include <QObject>

class QIODevice;
class VokFramer;

// Writes to the line as the module does: whole frames with len, a running
// sn, flags 00 00 and the checksum, every 0xFF after the header escaped by
// a following 0x55. Everything written is cut back into frames, so frames
// inside raw bytes are seen like any other.
class FrameWriter : public QObject
{
    Q_OBJECT
public:
    explicit FrameWriter(QIODevice *line, QObject *parent = nullptr);

    // A frame of the module's own with the next sn.
    void sendRequest(quint8 cmd, const QByteArray &payload);
    // An acknowledgement (no payload) carrying the sn of the frame it answers.
    void sendReply(quint8 cmd, quint8 sn);
    void sendRaw(const QByteArray &bytes);

signals:
    // Every chunk as written to the line; the framer of sent frames listens.
    void DataReady(QByteArray);
    // Each whole frame written, unescaped.
    void frameSent(QByteArray frame);
    void rawSent(QByteArray bytes);
    void writeFailed(QString reason);

private:
    void sendFrame(const QByteArray &frame);
    bool write(const QByteArray &bytes);

    QIODevice *line;
    VokFramer *sentFramer = nullptr;
    quint8 nextSn = 1;
};

#endif // FRAMEWRITER_H
