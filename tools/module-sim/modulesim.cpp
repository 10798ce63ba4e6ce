#include "modulesim.h"

#include "exchangechecker.h"
#include "framereceiver.h"
#include "framewriter.h"
#include "moduleprotocol.h"
#include "ptyline.h"
#include "scriptrunner.h"
#include "stdinreader.h"

#include "protocol/frame.h"
#include "serial/vokserialport.h"

#include <QFile>
#include <QFileInfo>

using P = ModuleProtocol;

namespace {
enum ExitCode { kFine = 0, kCheckFailed = 1, kBadInput = 2, kNoLine = 3 };
constexpr int kScriptBatch = 64; // script lines read at a time
}

ModuleSim::ModuleSim(const SimOptions &options, QObject *parent)
    : QObject(parent),
      options(options),
      loadedDefinition(options.definitionPath.isEmpty() ? nullptr : &definition),
      parser(loadedDefinition, options.timeoutMs),
      describer(loadedDefinition),
      demo(loadedDefinition)
{
}

int ModuleSim::start()
{
    if (loadedDefinition && !loadDefinition())
        return kBadInput;
    if (!options.scriptPath.isEmpty() && !loadScript())
        return kBadInput;
    if (!openLine())
        return kNoLine;
    wire();
    if (serial)
        begin();
    return -1;
}

bool ModuleSim::loadDefinition()
{
    const QString &path = options.definitionPath;
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
        SimLog::error(QString("cannot read the definition %1").arg(path));
        return false;
    }
    if (!definition.parseFile(path)) {
        SimLog::error(QString("the definition %1 is not valid JSON").arg(path));
        return false;
    }
    if (definition.dataPoints().isEmpty()) {
        SimLog::error(QString("the definition %1 defines no datapoints").arg(path));
        return false;
    }
    return true;
}

bool ModuleSim::loadScript()
{
    script.setFileName(options.scriptPath);
    if (!script.open(QIODevice::ReadOnly | QIODevice::Text)) {
        SimLog::error(QString("cannot read the script %1: %2").arg(options.scriptPath, script.errorString()));
        return false;
    }
    // Every line is checked before anything is sent, then read again as the
    // run goes: a long script is never held in memory.
    SimCommand command;
    while (!script.atEnd()) {
        if (!readScriptLine(&command))
            return false;
    }
    scriptLine = 0;
    return script.seek(0);
}

bool ModuleSim::readScriptLine(SimCommand *command)
{
    QByteArray text = script.readLine();
    if (text.endsWith('\n'))
        text.chop(1);
    QString error;
    command->where = QString("%1:%2").arg(options.scriptPath).arg(++scriptLine);
    if (parser.parse(QString::fromUtf8(text), command, &error))
        return true;
    SimLog::error(command->where + ": " + error);
    return false;
}

void ModuleSim::feedScript()
{
    QList<SimCommand> batch;
    while (batch.size() < kScriptBatch && !script.atEnd()) {
        SimCommand command;
        if (!readScriptLine(&command)) {
            end(kBadInput); // the file changed since it was checked
            return;
        }
        batch.append(command); // blank lines too: they count against the batch
    }
    runner->append(batch);
    if (script.atEnd())
        runner->inputFinished();
}

bool ModuleSim::openLine()
{
    if (options.pty) {
        pty = new PtyLine(this);
        if (!pty->create()) {
            SimLog::error("cannot create a pseudo-terminal: " + pty->errorString());
            return false;
        }
        log.plain(pty->slavePath()); // first line: the path for the tool to open
        log.note(QString("waiting for a program to open %1").arg(pty->slavePath()));
        line = pty;
        return true;
    }
    serial = new VokSerialPort;
    serial->setParent(this);
    if (!serial->openCom(options.port, options.baud, options.dataBitsIndex, options.stopBitsIndex,
                         options.parityIndex)) {
        SimLog::error(QString("cannot open the port %1: %2").arg(options.port, serial->errorString()));
        return false;
    }
    // A line that hangs up or fails to read is gone for good: the run ends.
    serial->setReopenOnReturn(false);
    connect(serial, &VokSerialPort::Lost, this, [this](const QString &reason) {
        SimLog::error(QString("lost the port %1: %2").arg(options.port, reason));
        end(kNoLine);
    });
    log.note(QString("%1 open").arg(options.port));
    line = serial;
    return true;
}

void ModuleSim::wire()
{
    writer = new FrameWriter(line, this);
    receiver = new FrameReceiver(line, options.timeoutMs, this);
    checker = new ExchangeChecker(loadedDefinition, options.timeoutMs, options.check, &log, this);
    runner = new ScriptRunner(writer, checker, this);

    connect(writer, &FrameWriter::frameSent, this, &ModuleSim::takeSentFrame);
    connect(writer, &FrameWriter::rawSent, this, [this](const QByteArray &bytes) {
        log.frame("WIFI", bytes, "raw bytes");
    });
    connect(writer, &FrameWriter::writeFailed, this, [this](const QString &reason) {
        checker->lineProblem("not sent: " + reason);
    });
    connect(receiver, &FrameReceiver::frameReceived, this, &ModuleSim::takeReceivedFrame);
    connect(receiver, &FrameReceiver::lineProblem, checker, &ExchangeChecker::lineProblem);
    connect(runner, &ScriptRunner::finished, this, &ModuleSim::finish);
    if (pty) {
        connect(pty, &PtyLine::peerOpened, this, [this] {
            log.note(QString("%1 opened").arg(pty->slavePath()));
            begin();
        });
        connect(pty, &PtyLine::peerClosed, this, [this] {
            log.note(QString("%1 closed; waiting for it to be opened again").arg(pty->slavePath()));
        });
    }
}

void ModuleSim::begin()
{
    if (begun)
        return;
    begun = true;
    if (options.demo) {
        connect(runner, &ScriptRunner::needMore, this, [this] {
            for (const QString &text : demo.nextRound()) {
                SimCommand command;
                QString error;
                command.where = "demo";
                if (parser.parse(text, &command, &error))
                    runner->append({command});
            }
        });
        runner->append({});
    } else if (!options.scriptPath.isEmpty()) {
        connect(runner, &ScriptRunner::needMore, this, &ModuleSim::feedScript);
        feedScript();
    } else {
        auto *input = new StdinReader(this);
        connect(input, &StdinReader::lineRead, this, &ModuleSim::takeStdinLine);
        connect(input, &StdinReader::finished, runner, &ScriptRunner::inputFinished);
    }
}

void ModuleSim::takeStdinLine(const QString &text)
{
    if (ended)
        return; // nothing after a line that stopped the run
    SimCommand command;
    QString error;
    command.where = QString("stdin:%1").arg(++stdinLines);
    if (parser.parse(text, &command, &error)) {
        runner->append({command});
        return;
    }
    SimLog::error(command.where + ": " + error);
    if (!StdinReader::isInteractive())
        end(kBadInput); // a piped script stops at its first bad line
}

void ModuleSim::takeReceivedFrame(const QByteArray &frame)
{
    log.frame("MCU", frame, describer.describe(frame));
    const ExchangeChecker::Verdict verdict = checker->frameReceived(frame);
    if (verdict == ExchangeChecker::Broken)
        return; // like the module, drop what cannot be trusted
    const quint8 cmd = *VokFrame::cmd(frame);
    if (P::isMcuRequest(cmd))
        writer->sendReply(VokFrame::replyCode(cmd), *VokFrame::sn(frame));
    if (verdict == ExchangeChecker::Sound)
        runner->frameReceived(cmd);
}

void ModuleSim::takeSentFrame(const QByteArray &frame)
{
    log.frame("WIFI", frame, describer.describe(frame));
    checker->frameSent(frame);
}

void ModuleSim::interrupt()
{
    log.note("interrupted");
    runner->stop();
    // The first interrupt ends like quit, open requests get their time; a
    // second one ends at once, what is still open counted as unanswered.
    if (interrupted)
        checker->abandonOpenRequests();
    interrupted = true;
    finish();
}

void ModuleSim::finish()
{
    if (finishing)
        return;
    finishing = true;
    // Requests still open get their time to be answered.
    if (checker->hasOpenRequests())
        connect(checker, &ExchangeChecker::settled, this, &ModuleSim::complete);
    else
        complete();
}

void ModuleSim::complete()
{
    if (ended)
        return;
    if (serial) {
        while (serial->bytesToWrite() > 0 && serial->waitForBytesWritten(1000)) {
        }
    }
    if (options.check)
        log.plain(QString("%1 passed, %2 failed").arg(checker->passed()).arg(checker->failed()));
    const bool failed =
        checker->expectsFailed() > 0 || (options.check && checker->failed() > 0);
    end(failed ? kCheckFailed : kFine);
}

void ModuleSim::end(int exitCode)
{
    if (ended)
        return;
    ended = true;
    if (runner)
        runner->stop(); // nothing more goes out while the program exits
    emit done(exitCode);
}
