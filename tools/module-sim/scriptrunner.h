#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include "commandparser.h"

#include <QList>
#include <QObject>
#include <QTimer>

class ExchangeChecker;
class FrameWriter;

// Runs commands one after the other; wait and expect hold the rest back.
// expect is met by a sound frame from the MCU with the awaited code that
// arrived since the previous expect was met.
class ScriptRunner : public QObject
{
    Q_OBJECT
public:
    ScriptRunner(FrameWriter *writer, ExchangeChecker *checker, QObject *parent = nullptr);

    void append(const QList<SimCommand> &commands);
    // No command will be appended any more: finish once the queue is done.
    void inputFinished();
    // A sound frame from the MCU.
    void frameReceived(quint8 cmd);

signals:
    // The queue ran dry while more input may come.
    void needMore();
    // quit, or the end of the input.
    void finished();

private:
    void run();
    void execute(const SimCommand &command);
    bool takeReceived(quint8 cmd);
    void waitOver();

    FrameWriter *writer;
    ExchangeChecker *checker;
    QList<SimCommand> queue;
    QList<quint8> received;  // codes of sound MCU frames not yet matched
    SimCommand expecting;    // the expect being waited for, kind Nothing if none
    QTimer waitTimer;
    bool inputDone = false;
    bool running = false;
    bool stopped = false;
};

#endif // SCRIPTRUNNER_H
