#ifndef VOKFRAMER_H
#define VOKFRAMER_H

#include <QByteArray>
#include <QObject>

class VokTool;

// Cuts the byte stream of a port (any object with the signal
// DataReady(QByteArray)) into whole, unescaped protocol frames.
class VokFramer : public QObject
{
    Q_OBJECT
public:
    explicit VokFramer(QObject *port, QObject *parent = nullptr);
    ~VokFramer() override;

signals:
    void LineDataReady(QByteArray);
    // Bytes dropped because they lie outside any frame (before a header, or
    // a frame that can never complete), at most one signal per chunk or
    // before each frame. Escape bytes are not reported.
    void BytesSkipped(QByteArray);

private slots:
    void dataToV4(QByteArray Data);

private:
    void takeByte(char byte);
    void afterAppend();
    void emitFrame();
    void dropStuckFrame();
    void reportSkipped();

    QObject *port = nullptr;
    VokTool *tool = nullptr;
    QByteArray buffer;          // unescaped bytes of the frame being assembled
    int expectedSize = 0;       // len + 4 once the length field is in, else 0
    bool escapePending = false; // buffer ends in an FF whose 0x55 may follow
    QByteArray skipped;         // dropped bytes not yet reported
    bool frameEndedInFF = false; // a 0x55 right after it is that FF's escape
};

#endif // VOKFRAMER_H
