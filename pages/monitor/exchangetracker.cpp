#include "pages/monitor/exchangetracker.h"

#include "protocol/frame.h"
#include "protocol/vokframer.h"

namespace {
// Unanswered requests that a late reply can still be paired with.
constexpr size_t kExpiredKept = 64;

// Requests are the odd codes 01 to 11 (from either side); the other side
// answers with the next code up.
bool isRequest(quint8 cmd)
{
    return cmd >= 0x01 && cmd <= 0x11 && (cmd & 1);
}

bool isReply(quint8 cmd)
{
    return cmd >= 0x02 && cmd <= 0x12 && !(cmd & 1);
}
} // namespace

ExchangeTracker::ExchangeTracker(QObject *parent) : QObject(parent)
{
    makeFramer(0);
    makeFramer(1);
}

void ExchangeTracker::makeFramer(int side)
{
    framers[side] = new VokFramer(&feeds[side], this);
    connect(framers[side], &VokFramer::LineDataReady, this,
            [this, side](const QByteArray &frame) { onFrame(side, frame); });
    connect(framers[side], &VokFramer::BytesSkipped, this,
            [this, side](const QByteArray &bytes) { onSkipped(side, bytes); });
}

ExchangeTracker::~ExchangeTracker() = default;

void ExchangeTracker::take(int side, const QByteArray &chunk, qint64 time)
{
    if (side < 0 || side > 1)
        return;
    expire(time); // rows stay in time order whenever expire() is called
    now = time;
    emit feeds[side].DataReady(chunk);
}

MonitorRow &ExchangeTracker::addRow(int side, MonitorRow::Kind kind, qint64 time)
{
    rows.append(MonitorRow());
    MonitorRow &row = rows.last();
    row.id = nextId++;
    row.time = time;
    row.side = quint8(side);
    row.kind = kind;
    return row;
}

void ExchangeTracker::onSkipped(int side, const QByteArray &bytes)
{
    if (stray[side].isEmpty())
        strayTime[side] = now;
    stray[side] += bytes;
}

void ExchangeTracker::flushStray(int side)
{
    if (stray[side].isEmpty())
        return;
    MonitorRow &row = addRow(side, MonitorRow::Stray, strayTime[side]);
    row.bytes = stray[side];
    row.faults = MonitorRow::OutsideFrame;
    stray[side].clear();
}

void ExchangeTracker::onFrame(int side, const QByteArray &frame)
{
    flushStray(side);
    MonitorRow &row = addRow(side, MonitorRow::Frame, now);
    row.bytes = frame;
    if (frame.size() < VokFrame::MinSize) {
        row.faults |= MonitorRow::TooShort;
        return;
    }
    if (quint8(frame.back()) != VokFrame::checksum(frame))
        row.faults |= MonitorRow::BadChecksum;
    const quint8 cmd = *VokFrame::cmd(frame);
    const quint8 sn = *VokFrame::sn(frame);
    if (isRequest(cmd))
        open.push_back({row.id, now, frame, quint8(side), cmd, sn});
    else if (isReply(cmd))
        pairReply(row, cmd, sn);
}

void ExchangeTracker::pairReply(MonitorRow &row, quint8 cmd, quint8 sn)
{
    auto candidate = open.end();
    for (auto it = open.begin(); it != open.end(); ++it) {
        if (it->side == row.side || VokFrame::replyCode(it->cmd) != cmd)
            continue;
        if (it->sn == sn) {
            row.requestId = it->id;
            row.replyMs = qint32(qMin<qint64>(row.time - it->time, INT32_MAX));
            open.erase(it);
            return;
        }
        if (candidate == open.end())
            candidate = it;
    }
    if (pairLateReply(row, cmd, sn))
        return;
    if (candidate != open.end()) {
        row.faults |= MonitorRow::WrongSn;
        row.requestId = candidate->id; // the request it most likely meant
    } else {
        row.faults |= MonitorRow::NoRequest;
    }
}

bool ExchangeTracker::pairLateReply(MonitorRow &row, quint8 cmd, quint8 sn)
{
    for (auto it = expired.rbegin(); it != expired.rend(); ++it) {
        if (it->side != row.side && VokFrame::replyCode(it->cmd) == cmd && it->sn == sn) {
            row.requestId = it->id;
            row.replyMs = qint32(qMin<qint64>(row.time - it->time, INT32_MAX));
            row.faults |= MonitorRow::Late;
            expired.erase(std::next(it).base());
            return true;
        }
    }
    return false;
}

void ExchangeTracker::addUnanswered(const OpenRequest &request)
{
    expired.push_back(request);
    if (expired.size() > kExpiredKept)
        expired.pop_front();
    MonitorRow &row = addRow(request.side, MonitorRow::NoReply, request.time + replyTimeoutMs);
    row.bytes = request.frame;
    row.requestId = request.id;
    row.replyMs = replyTimeoutMs; // how long it waited
    row.faults = MonitorRow::Unanswered;
}

void ExchangeTracker::expire(qint64 time)
{
    for (int side = 0; side < 2; ++side) {
        if (!stray[side].isEmpty() && time - strayTime[side] >= replyTimeoutMs)
            flushStray(side);
    }
    while (!open.empty() && time - open.front().time >= replyTimeoutMs) {
        addUnanswered(open.front());
        open.pop_front();
    }
}

void ExchangeTracker::finish()
{
    flushStray(0);
    flushStray(1);
    for (const OpenRequest &request : open)
        addUnanswered(request);
    open.clear();
}

QVector<MonitorRow> ExchangeTracker::takeRows()
{
    QVector<MonitorRow> taken;
    taken.swap(rows);
    return taken;
}

void ExchangeTracker::reset()
{
    for (int side = 0; side < 2; ++side) {
        // A fresh framer forgets a half-assembled frame.
        delete framers[side];
        makeFramer(side);
        stray[side].clear();
    }
    rows.clear();
    open.clear();
    expired.clear();
    nextId = 1;
}
