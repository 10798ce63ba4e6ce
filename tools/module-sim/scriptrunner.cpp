#include "scriptrunner.h"

#include "exchangechecker.h"
#include "framewriter.h"
#include "moduleprotocol.h"

namespace {
constexpr int kMaxRemembered = 256; // received codes kept for a later expect
constexpr int kBatch = 64;          // commands run in one turn of the event loop
}

ScriptRunner::ScriptRunner(FrameWriter *writer, ExchangeChecker *checker, QObject *parent)
    : QObject(parent), writer(writer), checker(checker)
{
    waitTimer.setSingleShot(true);
    connect(&waitTimer, &QTimer::timeout, this, &ScriptRunner::waitOver);
    resumeTimer.setSingleShot(true);
    resumeTimer.setInterval(0);
    connect(&resumeTimer, &QTimer::timeout, this, &ScriptRunner::run);
}

void ScriptRunner::append(const QList<SimCommand> &commands)
{
    queue += commands;
    run();
}

void ScriptRunner::inputFinished()
{
    inputDone = true;
    run();
}

void ScriptRunner::frameReceived(quint8 cmd)
{
    received.append(cmd);
    if (received.size() > kMaxRemembered)
        received.removeFirst();
    if (expecting.kind == SimCommand::Expect && takeReceived(expecting.cmd)) {
        waitTimer.stop();
        checker->expectation(true, QString());
        expecting = SimCommand();
        run();
    }
}

void ScriptRunner::stop()
{
    stopped = true;
    queue.clear();
    waitTimer.stop();
    resumeTimer.stop();
}

void ScriptRunner::run()
{
    // Commands appended from inside the loop (needMore) run in the same loop.
    if (running || resumeTimer.isActive())
        return;
    running = true;
    int budget = kBatch;
    while (!stopped && !waitTimer.isActive()) {
        if (budget-- == 0) {
            resumeTimer.start();
            break;
        }
        if (queue.isEmpty()) {
            if (inputDone) {
                stopped = true;
                emit finished();
                break;
            }
            emit needMore();
            if (queue.isEmpty() && !inputDone)
                break;
            continue;
        }
        execute(queue.takeFirst());
    }
    running = false;
}

void ScriptRunner::execute(const SimCommand &command)
{
    switch (command.kind) {
    case SimCommand::Nothing:
        break;
    case SimCommand::Send:
        writer->sendRequest(command.cmd, command.bytes);
        break;
    case SimCommand::Raw:
        writer->sendRaw(command.bytes);
        break;
    case SimCommand::Wait:
        waitTimer.start(command.ms);
        break;
    case SimCommand::Expect:
        if (takeReceived(command.cmd)) {
            checker->expectation(true, QString());
        } else {
            expecting = command;
            waitTimer.start(command.ms);
        }
        break;
    case SimCommand::Quit:
        stopped = true;
        queue.clear();
        emit finished();
        break;
    }
}

bool ScriptRunner::takeReceived(quint8 cmd)
{
    const int index = received.indexOf(cmd);
    if (index < 0)
        return false;
    received.erase(received.begin(), received.begin() + index + 1);
    return true;
}

void ScriptRunner::waitOver()
{
    if (expecting.kind == SimCommand::Expect) {
        checker->expectation(false, QString("%1: expect %2: no sound frame %2 within %3 ms")
                                        .arg(expecting.where, ModuleProtocol::hex(expecting.cmd))
                                        .arg(expecting.ms));
        expecting = SimCommand();
    }
    run();
}
