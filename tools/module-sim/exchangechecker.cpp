#include "exchangechecker.h"

#include "moduleprotocol.h"
#include "simlog.h"

#include "datapoint/vokjson.h"

using P = ModuleProtocol;

ExchangeChecker::ExchangeChecker(const VokJson *definition, int timeoutMs, bool strict,
                                 SimLog *log, QObject *parent)
    : QObject(parent), definition(definition), timeoutMs(timeoutMs), strict(strict), log(log)
{
    ticker.setInterval(qBound(10, timeoutMs / 10, 100));
    connect(&ticker, &QTimer::timeout, this, &ExchangeChecker::expireRequests);
}

void ExchangeChecker::frameSent(const QByteArray &frame)
{
    if (frame.size() < P::kMinFrame || !P::expectsReply(P::byteAt(frame, P::kCmd)))
        return;
    Request request;
    request.cmd = P::byteAt(frame, P::kCmd);
    request.action = frame.size() > P::kMinFrame ? P::byteAt(frame, P::kAction) : 0;
    request.sn = P::byteAt(frame, P::kSn);
    request.name = P::commandName(frame) + " sn " + P::hex(request.sn);
    request.age.start();
    open.append(request);
    ticker.start();
}

ExchangeChecker::Verdict ExchangeChecker::frameReceived(const QByteArray &frame)
{
    QStringList problems = frameProblems(frame);
    if (frame.size() < P::kMinFrame) {
        record(problems, "frame from the MCU");
        return Broken;
    }
    const bool intact = problems.isEmpty();
    const quint8 cmd = P::byteAt(frame, P::kCmd);
    const quint8 sn = P::byteAt(frame, P::kSn);
    const QString name = P::commandName(frame) + " sn " + P::hex(sn);

    if (P::isMcuRequest(cmd)) {
        if (cmd == P::kStatusReport)
            problems += statusProblems(frame, P::kActionStatusReport);
        else if (cmd == P::kSetMode && frame.size() == P::kMinFrame)
            problems << "no mode byte";
        record(problems, name + " from the MCU");
    } else if (const int index = findOpen(sn, cmd); index >= 0) {
        const Request request = open.takeAt(index);
        problems += replyProblems(request, frame);
        record(problems, request.name + " answered by " + name);
        if (open.isEmpty()) {
            ticker.stop();
            emit settled();
        }
    } else {
        problems << (P::isMcuCommand(cmd) ? "it answers no open request"
                                          : "the MCU does not send command " + P::hex(cmd));
        record(problems, name);
    }
    return !intact ? Broken : problems.isEmpty() ? Sound : Faulty;
}

void ExchangeChecker::lineProblem(const QString &text)
{
    record({text}, "line");
}

void ExchangeChecker::expectation(bool met, const QString &text)
{
    if (met) {
        ++passCount;
        return;
    }
    ++failCount;
    ++expectFailCount;
    log->violation(true, text); // a failed expect always fails the run
}

QStringList ExchangeChecker::frameProblems(const QByteArray &frame) const
{
    QStringList problems;
    if (frame.size() < P::kMinFrame) {
        problems << QString("len %1 leaves no room for cmd, sn, flags and checksum")
                        .arg(tool.getUint16(frame, 2));
        return problems;
    }
    if (P::byteAt(frame, 1) != 0xFF)
        problems << "header FF " + P::hex(P::byteAt(frame, 1)) + ", not FF FF";
    const quint8 sum = tool.checksum(frame, 2, 1);
    if (sum != quint8(frame.back()))
        problems << "checksum " + P::hex(quint8(frame.back())) + ", the bytes sum to " + P::hex(sum);
    return problems;
}

QStringList ExchangeChecker::statusProblems(const QByteArray &frame, quint8 action) const
{
    if (frame.size() == P::kMinFrame)
        return {"no status data"};
    QStringList problems;
    if (P::byteAt(frame, P::kAction) != action)
        problems << "action " + P::hex(P::byteAt(frame, P::kAction)) + ", expected " + P::hex(action);
    if (definition) {
        const int expected = definition->statusTemplate().size() - 10;
        const int got = frame.size() - 10;
        if (got != expected)
            problems << QString("status data of %1 bytes, the definition gives %2").arg(got).arg(expected);
    }
    return problems;
}

QStringList ExchangeChecker::replyProblems(const Request &request, const QByteArray &reply) const
{
    QStringList problems;
    const quint8 cmd = P::byteAt(reply, P::kCmd);
    const quint8 sn = P::byteAt(reply, P::kSn);
    if (sn != request.sn)
        problems << "sn " + P::hex(sn) + ", the request had " + P::hex(request.sn);
    if (cmd != quint8(request.cmd + 1)) {
        problems << "command " + P::hex(cmd) + ", expected " + P::hex(quint8(request.cmd + 1));
    } else if (cmd == P::kProductInfoReply && reply.size() != P::kProductInfoSize) {
        problems << QString("%1 bytes, product information has %2").arg(reply.size()).arg(P::kProductInfoSize);
    } else if (cmd == P::kControlReply
               && (request.action == P::kActionRead || reply.size() > P::kMinFrame)) {
        // A status read needs the status; a control may be answered by a
        // bare acknowledgement or by the new status.
        problems += statusProblems(reply, P::kActionStatusReply);
    }
    return problems;
}

int ExchangeChecker::findOpen(quint8 sn, quint8 replyCmd) const
{
    const auto answers = [replyCmd](const Request &request) {
        return quint8(request.cmd + 1) == replyCmd;
    };
    for (int i = 0; i < open.size(); ++i) {
        if (open.at(i).sn == sn && answers(open.at(i)))
            return i;
    }
    // A reply with a wrong sn still answers the oldest request of its kind;
    // a wrong code still answers the request with its sn.
    for (int i = 0; i < open.size(); ++i) {
        if (answers(open.at(i)))
            return i;
    }
    for (int i = 0; i < open.size(); ++i) {
        if (open.at(i).sn == sn)
            return i;
    }
    return -1;
}

void ExchangeChecker::record(const QStringList &problems, const QString &exchange)
{
    if (problems.isEmpty()) {
        ++passCount;
        return;
    }
    ++failCount;
    log->violation(strict, exchange + ": " + problems.join("; "));
}

void ExchangeChecker::expireRequests()
{
    for (int i = 0; i < open.size();) {
        if (open.at(i).age.elapsed() < timeoutMs) {
            ++i;
            continue;
        }
        record({QString("no reply within %1 ms").arg(timeoutMs)}, open.takeAt(i).name);
    }
    if (open.isEmpty()) {
        ticker.stop();
        emit settled();
    }
}
