#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include "commandparser.h"

#include <QList>
#include <QObject>
#include <QTimer>

class ExchangeChecker;
class FrameWriter;

// Runs commands one after the other; wait and expect hold the rest back.
// A few commands run per turn of the event loop, so that the MCU's bytes,
// reply timeouts and signals are taken between them however long the
// input is. expect is met by a sound frame from the MCU with the awaited code that
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
    // Runs nothing more and finishes nothing: the run is being ended.
    void stop();

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
    QTimer resumeTimer; // the next batch, after the events that came meanwhile
    bool inputDone = false;
    bool running = false;
    bool stopped = false;
};

#endif // SCRIPTRUNNER_H
