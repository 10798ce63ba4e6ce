#include "pages/mcu/framelog.h"

#include "protocol/voktool.h"

#include <QDateTime>
#include <QListWidget>

namespace {
// Layout time allowed per unit of time between two flushes.
const int layoutShare = 10;
}

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
    pending.append(new QListWidgetItem(prefix + timeOfDay()));
    tool->toHexString(bytes);
    auto *data = new QListWidgetItem(QString::fromLatin1(bytes));
    data->setToolTip(data->text()); // a long frame is cut off at the list's edge
    pending.append(data);
    if (!flushTimer.isActive())
        flushTimer.start();
}

void FrameLog::flush()
{
    QElapsedTimer layoutTime;
    layoutTime.start();
    for (QListWidgetItem *item : qAsConst(pending))
        list->addItem(item);
    pending.clear();
    list->scrollToBottom(); // lays the rows out now
    flushTimer.setInterval(int(layoutTime.elapsed()) * layoutShare);
}

void FrameLog::clear()
{
    qDeleteAll(pending);
    pending.clear();
    list->clear();
}
