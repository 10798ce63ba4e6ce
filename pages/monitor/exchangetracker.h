#ifndef EXCHANGETRACKER_H
#define EXCHANGETRACKER_H

#include "pages/monitor/monitorrow.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <deque>

class VokFramer;

// Hands chunks to a VokFramer, which listens for DataReady.
class ChunkFeed : public QObject
{
    Q_OBJECT
signals:
    void DataReady(QByteArray);
};

// Follows the conversation between the two ports of a relay: splits each
// direction into frames, judges each frame's checksum, pairs every reply
// with its request (same sn, code + 1, from the other port) and notes
// requests left unanswered and bytes outside any frame. The rows it makes
// are collected until takeRows(); no text is made here, so following a busy
// line stays cheap.
class ExchangeTracker : public QObject
{
    Q_OBJECT
public:
    // A request unanswered this long gets a row of its own.
    static constexpr int defaultReplyTimeoutMs = 1000;

    explicit ExchangeTracker(QObject *parent = nullptr);
    ~ExchangeTracker() override;

    // A chunk received on side 0 or 1 at time (milliseconds since the epoch).
    void setReplyTimeout(int ms) { replyTimeoutMs = ms; }
    void take(int side, const QByteArray &chunk, qint64 time);
    // Requests older than the timeout become NoReply rows; bytes outside a
    // frame waiting that long become a row.
    void expire(qint64 now);
    // End of the input: every open request is unanswered, waiting bytes a row.
    void finish();
    QVector<MonitorRow> takeRows();
    void reset();

private:
    struct OpenRequest
    {
        qint64 id;
        qint64 time;
        QByteArray frame;
        quint8 side;
        quint8 cmd;
        quint8 sn;
    };

    void makeFramer(int side);
    void onFrame(int side, const QByteArray &frame);
    void onSkipped(int side, const QByteArray &bytes);
    void pairReply(MonitorRow &row, quint8 cmd, quint8 sn);
    bool pairLateReply(MonitorRow &row, quint8 cmd, quint8 sn);
    void flushStray(int side);
    void addUnanswered(const OpenRequest &request);
    MonitorRow &addRow(int side, MonitorRow::Kind kind, qint64 time);

    ChunkFeed feeds[2];
    VokFramer *framers[2] = {};
    int replyTimeoutMs = defaultReplyTimeoutMs;
    qint64 now = 0;
    qint64 nextId = 1;
    QVector<MonitorRow> rows;
    std::deque<OpenRequest> open;    // oldest first
    std::deque<OpenRequest> expired; // the latest unanswered, for late replies
    QByteArray stray[2];
    qint64 strayTime[2] = {};
};

#endif // EXCHANGETRACKER_H
