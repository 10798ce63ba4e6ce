#ifndef PTYLINE_H
#define PTYLINE_H

#include <QByteArray>
#include <QIODevice>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

// The module's end of a pseudo-terminal pair: another program opens
// slavePath() as its serial port, the simulator reads and writes here.
// Bytes are only written while that program has the port open, so nothing
// stale waits for it when it opens the port.
class PtyLine : public QIODevice
{
    Q_OBJECT
public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    // Creates the pair; false, with errorString(), when the system refuses.
    bool create();
    QString slavePath() const { return path; }
    bool isSequential() const override { return true; }

signals:
    void DataReady(QByteArray);
    void peerOpened();
    void peerClosed();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private slots:
    void readMaster();
    void lookForPeer();

private:
    void setPresent(bool nowPresent);

    int masterFd = -1;
    QString path;
    bool present = false;
    QSocketNotifier *readNotifier = nullptr;
    QTimer peerWatch; // polls for the other program while nobody has the port open
};

#endif // PTYLINE_H
