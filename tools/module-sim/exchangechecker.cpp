#include "exchangechecker.h"

#include "moduleprotocol.h"
#include "simlog.h"

#include "datapoint/vokjson.h"
#include "protocol/frame.h"

using P = ModuleProtocol;
using namespace VokFrame;

ExchangeChecker::ExchangeChecker(const VokJson *definition, int timeoutMs, bool strict,
                                 SimLog *log, QObject *parent)
    : QObject(parent), definition(definition), timeoutMs(timeoutMs), strict(strict), log(log)
{
    ticker.setInterval(qBound(10, timeoutMs / 10, 100));
    connect(&ticker, &QTimer::timeout, this, &ExchangeChecker::expireRequests);
}

void ExchangeChecker::frameSent(const QByteArray &frame)
{
    if (frame.size() < MinSize || !expectsReply(*cmd(frame)))
        return;
    Request request;
    request.cmd = *cmd(frame);
    request.action = action(frame).value_or(0);
    request.sn = *sn(frame);
    request.name = P::commandName(frame) + " sn " + P::hex(request.sn);
    request.age.start();
    open.append(request);
    ticker.start();
}

ExchangeChecker::Verdict ExchangeChecker::frameReceived(const QByteArray &frame)
{
    QStringList problems = frameProblems(frame);
    if (frame.size() < MinSize) {
        record(problems, "frame from the MCU");
        return Broken;
    }
    const bool intact = problems.isEmpty();
    const quint8 code = *cmd(frame);
    const quint8 number = *sn(frame);
    const QString name = P::commandName(frame) + " sn " + P::hex(number);

    if (P::isMcuRequest(code)) {
        if (code == Cmd::StatusReport)
            problems += statusProblems(frame, Action::StatusReport);
        else if (code == Cmd::SetMode && !action(frame))
            problems << "no mode byte";
        record(problems, name + " from the MCU");
    } else if (const int index = findOpen(number, code); index >= 0) {
        const Request request = open.takeAt(index);
        problems += replyProblems(request, frame);
        record(problems, request.name + " answered by " + name);
        if (open.isEmpty()) {
            ticker.stop();
            emit settled();
        }
    } else {
        problems << (P::isMcuCommand(code) ? "it answers no open request"
                                           : "the MCU does not send command " + P::hex(code));
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

void ExchangeChecker::abandonOpenRequests()
{
    for (const Request &request : qAsConst(open))
        record({QString("no reply within the %1 ms before the run ended").arg(request.age.elapsed())},
               request.name);
    open.clear();
    ticker.stop();
    emit settled();
}

QStringList ExchangeChecker::frameProblems(const QByteArray &frame) const
{
    QStringList problems;
    if (frame.size() < MinSize) {
        problems << QString("len %1 leaves no room for cmd, sn, flags and checksum")
                        .arg(getUint16(frame, LenPos));
        return problems;
    }
    if (frame.at(1) != HeaderByte)
        problems << "header FF " + P::hex(quint8(frame.at(1))) + ", not FF FF";
    const quint8 sum = checksum(frame);
    if (sum != quint8(frame.back()))
        problems << "checksum " + P::hex(quint8(frame.back())) + ", the bytes sum to " + P::hex(sum);
    return problems;
}

QStringList ExchangeChecker::statusProblems(const QByteArray &frame, quint8 expected) const
{
    const std::optional<quint8> got = action(frame);
    if (!got)
        return {"no status data"};
    QStringList problems;
    if (*got != expected)
        problems << "action " + P::hex(*got) + ", expected " + P::hex(expected);
    if (definition) {
        const int expectedSize = definition->statusDataSize();
        const int size = frame.size() - ActionPos - 2; // action and checksum are no data
        if (size != expectedSize)
            problems << QString("status data of %1 bytes, the definition gives %2")
                            .arg(size)
                            .arg(expectedSize);
    }
    return problems;
}

QStringList ExchangeChecker::replyProblems(const Request &request, const QByteArray &reply) const
{
    QStringList problems;
    const quint8 code = *cmd(reply);
    const quint8 number = *sn(reply);
    if (number != request.sn)
        problems << "sn " + P::hex(number) + ", the request had " + P::hex(request.sn);
    if (code != replyCode(request.cmd)) {
        problems << "command " + P::hex(code) + ", expected " + P::hex(replyCode(request.cmd));
    } else if (code == Cmd::ProductInfo && reply.size() != ProductInfoSize) {
        problems << QString("%1 bytes, product information has %2").arg(reply.size()).arg(ProductInfoSize);
    } else if (code == Cmd::ControlReply
               && (request.action == Action::StatusRead || action(reply))) {
        // A status read needs the status; a control may be answered by a
        // bare acknowledgement or by the new status.
        problems += statusProblems(reply, Action::StatusReply);
    }
    return problems;
}

int ExchangeChecker::findOpen(quint8 sn, quint8 replyCmd) const
{
    const auto answers = [replyCmd](const Request &request) {
        return replyCode(request.cmd) == replyCmd;
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
