#ifndef EXCHANGECHECKER_H
#define EXCHANGECHECKER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class SimLog;
class VokJson;

// Checks every exchange with the MCU: each frame it sends (header, len,
// checksum, status data length against the definition) and each request of
// the module (answered in time, with the next code up and the same sn).
// Every check that passes or fails is counted.
class ExchangeChecker : public QObject
{
    Q_OBJECT
public:
    // strict: violations are failures (FAIL lines) rather than warnings.
    ExchangeChecker(const VokJson *definition, int timeoutMs, bool strict, SimLog *log,
                    QObject *parent = nullptr);

    // Every frame the simulator sent; requests wait for their reply.
    void frameSent(const QByteArray &frame);
    // Broken: header, len or checksum wrong, the frame is not to be trusted.
    // Faulty: an intact frame that breaks the protocol otherwise.
    enum Verdict { Broken, Faulty, Sound };
    Verdict frameReceived(const QByteArray &frame);
    void lineProblem(const QString &text);
    void expectation(bool met, const QString &text);
    // The run ends now: every request still open counts as unanswered.
    void abandonOpenRequests();

    bool hasOpenRequests() const { return !open.isEmpty(); }
    int passed() const { return passCount; }
    int failed() const { return failCount; }
    int expectsFailed() const { return expectFailCount; }

signals:
    // No request is waiting for its reply any more.
    void settled();

private:
    struct Request
    {
        quint8 cmd;
        quint8 action;
        quint8 sn;
        QString name; // e.g. "status read sn 05"
        QElapsedTimer age;
    };

    QStringList frameProblems(const QByteArray &frame) const;
    QStringList statusProblems(const QByteArray &frame, quint8 expected) const;
    QStringList replyProblems(const Request &request, const QByteArray &reply) const;
    int findOpen(quint8 sn, quint8 replyCmd) const;
    void record(const QStringList &problems, const QString &exchange);
    void expireRequests();

    const VokJson *definition;
    const int timeoutMs;
    const bool strict;
    SimLog *log;
    QList<Request> open;
    QTimer ticker;
    int passCount = 0;
    int failCount = 0;
    int expectFailCount = 0;
};

#endif // EXCHANGECHECKER_H
