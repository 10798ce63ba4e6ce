#ifndef QUITSIGNAL_H
#define QUITSIGNAL_H

#include <QObject>
#include <QSocketNotifier>

// Turns SIGINT and SIGTERM into a Qt signal, so that Ctrl-C or a kill ends
// the run like quit does: open requests settle and the tally is printed.
class QuitSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignal(QObject *parent = nullptr);
    ~QuitSignal() override;

signals:
    void received();

private:
    static void handle(int signalNumber);
    void drain();

    static int pipeFds[2];
    QSocketNotifier *notifier = nullptr;
};

#endif // QUITSIGNAL_H
