#ifndef CAPTUREWRITER_H
#define CAPTUREWRITER_H

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

// Records what the ports of a page see into text files, one record per
// line ("DATE TIME PORT DIR REST", see the README): bytes received (RX),
// bytes written (TX), and notices (--). Lines are handed to the file as
// they come and flushed at least once a second; a file that reaches its
// size limit ends and the next one starts. A write that fails stops the
// recording and is announced as failed().
class CaptureWriter : public QObject
{
    Q_OBJECT
public:
    enum Direction { Received, Sent };

    explicit CaptureWriter(QObject *parent = nullptr);
    ~CaptureWriter() override;

    void setFolder(const QString &folder) { folderPath = folder; }
    QString folder() const { return folderPath; }
    void setMaxFileBytes(qint64 bytes) { maxFileBytes = bytes; }

    // Starts a file in the folder named by the date, time and nameHint
    // (the ports); false (and failed()) when it cannot be created.
    bool start(const QString &nameHint);
    void stop();
    bool isRecording() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }

    void record(const QString &port, Direction direction, const QByteArray &bytes);
    void note(const QString &port, const QString &text);

    // The PORT field: white space, '%' and other non-printable characters
    // as %XX of their UTF-8 bytes.
    static QByteArray escapedPort(const QString &port);

signals:
    void failed(const QString &reason);

private:
    bool openNextFile();
    void writeLine(const QByteArray &line);
    void flush();
    void fail();

    QString folderPath;
    QString hint;
    qint64 maxFileBytes = 64 * 1024 * 1024;
    QFile file;
    qint64 fileBytes = 0;
    QTimer flushTimer;
};

#endif // CAPTUREWRITER_H
