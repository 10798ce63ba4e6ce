#include "pages/mcu/framelog.h"

#include "protocol/voktool.h"

#include <QDateTime>
#include <QListWidget>

namespace {
// Layout time allowed per unit of time between two flushes.
const int layoutShare = 10;
const int noticeRole = Qt::UserRole;
const int bytesRole = Qt::UserRole + 1;
} // namespace

FrameLog::FrameLog(QListWidget *list, VokTool *tool, QObject *parent)
    : QObject(parent), list(list), tool(tool)
{
    // Every row is one line of text: the view need not measure each one.
    list->setUniformItemSizes(true);
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &FrameLog::flush);
}

FrameLog::~FrameLog()
{
    qDeleteAll(pending);
}

bool FrameLog::isNotice(const QListWidgetItem *item)
{
    return item->data(noticeRole).toBool();
}

QString FrameLog::timeOfDay()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != stampSecond) {
        stampSecond = now / 1000;
        stampText = QDateTime::fromMSecsSinceEpoch(now).time().toString(Qt::TextDate);
    }
    return stampText;
}

void FrameLog::add(const QString &prefix, QByteArray bytes)
{
    const int size = bytes.size();
    append(new QListWidgetItem(prefix + timeOfDay()));
    tool->toHexString(bytes);
    auto *data = new QListWidgetItem(QString::fromLatin1(bytes));
    data->setToolTip(data->text()); // a long frame is cut off at the list's edge
    data->setData(bytesRole, size);
    append(data);
}

void FrameLog::addNotice(const QString &text)
{
    auto *item = new QListWidgetItem(timeOfDay() + QLatin1Char(' ') + text);
    item->setData(noticeRole, true);
    append(item);
}

void FrameLog::append(QListWidgetItem *item)
{
    pending.append(item);
    if (pending.size() > maxRows) {
        QListWidgetItem *oldest = pending.takeFirst();
        skippedBytes += oldest->data(bytesRole).toInt();
        delete oldest;
    }
    if (!flushTimer.isActive())
        flushTimer.start();
}

void FrameLog::flush()
{
    QElapsedTimer layoutTime;
    layoutTime.start();
    if (skippedBytes > 0) {
        emit skipped(skippedBytes);
        auto *item = new QListWidgetItem(
            tr("（%1 字节未显示）").arg(skippedBytes));
        item->setData(noticeRole, true);
        list->addItem(item);
        skippedBytes = 0;
    }
    for (QListWidgetItem *item : qAsConst(pending))
        list->addItem(item);
    pending.clear();
    const int excess = list->count() - maxRows;
    if (excess > 0)
        list->model()->removeRows(0, excess);
    list->scrollToBottom(); // lays the rows out now
    flushTimer.setInterval(int(layoutTime.elapsed()) * layoutShare);
}

void FrameLog::clear()
{
    qDeleteAll(pending);
    pending.clear();
    skippedBytes = 0;
    list->clear();
}
