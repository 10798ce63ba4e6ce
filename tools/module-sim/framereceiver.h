#ifndef FRAMERECEIVER_H
#define FRAMERECEIVER_H

#include <QByteArray>
#include <QObject>
#include <QTimer>

class VokFramer;

// Cuts what the MCU sends into frames and accounts for every byte that
// ends up in none: bytes outside frames, and a frame whose len announces
// more than arrives before the line falls silent (that frame is dropped so
// the next one is read cleanly).
class FrameReceiver : public QObject
{
    Q_OBJECT
public:
    // line: any object with the signal DataReady(QByteArray).
    FrameReceiver(QObject *line, int silenceMs, QObject *parent = nullptr);

signals:
    // One byte at a time, so that each frame's end in the stream is known.
    void DataReady(QByteArray);
    void frameReceived(QByteArray frame);
    void lineProblem(QString text);

private slots:
    void takeChunk(QByteArray chunk);
    void takeFrame(QByteArray frame);
    void lineSilent();

private:
    void startFramer();

    VokFramer *framer = nullptr;
    QByteArray unframed; // wire bytes since the last frame ended
    bool escapeMayFollow = false; // the last frame ended in FF: a 55 may follow
    QTimer silence;
};

#endif // FRAMERECEIVER_H
