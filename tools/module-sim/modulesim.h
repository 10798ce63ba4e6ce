#ifndef MODULESIM_H
#define MODULESIM_H

#include "commandparser.h"
#include "demoscenario.h"
#include "framedescriber.h"
#include "simlog.h"
#include "simoptions.h"

#include "datapoint/vokjson.h"

#include <QFile>
#include <QObject>

class ExchangeChecker;
class FrameReceiver;
class FrameWriter;
class PtyLine;
class QIODevice;
class ScriptRunner;
class VokSerialPort;

// The simulated Wi-Fi module: opens the line, sends the commands of the
// script, standard input or demo, answers the MCU's own frames and checks
// every exchange.
class ModuleSim : public QObject
{
    Q_OBJECT
public:
    explicit ModuleSim(const SimOptions &options, QObject *parent = nullptr);

    // Loads the definition and the script and opens the line. Returns the
    // exit code when the run cannot start, -1 once it runs (done() ends it).
    int start();
    // Ctrl-C or a kill: end like quit; a second one ends at once. Either way
    // the closing checks run and are reported.
    void interrupt();

signals:
    void done(int exitCode);

private:
    bool loadDefinition();
    bool loadScript();
    bool readScriptLine(SimCommand *command);
    void feedScript();
    bool openLine();
    void wire();
    void begin();
    void takeStdinLine(const QString &line);
    void takeReceivedFrame(const QByteArray &frame);
    void takeSentFrame(const QByteArray &frame);
    void finish();
    void complete();
    void end(int exitCode);

    SimOptions options;
    SimLog log;
    VokJson definition;
    const VokJson *loadedDefinition = nullptr; // null without --definition
    CommandParser parser;
    FrameDescriber describer;
    DemoScenario demo;
    QFile script; // read a batch at a time as the run needs commands
    int scriptLine = 0;
    int stdinLines = 0;

    VokSerialPort *serial = nullptr;
    PtyLine *pty = nullptr;
    QIODevice *line = nullptr;
    FrameWriter *writer = nullptr;
    FrameReceiver *receiver = nullptr;
    ExchangeChecker *checker = nullptr;
    ScriptRunner *runner = nullptr;
    bool begun = false;
    bool finishing = false;
    bool interrupted = false;
    bool ended = false;
};

#endif // MODULESIM_H
