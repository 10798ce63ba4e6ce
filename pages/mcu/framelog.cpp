#include "pages/mcu/framelog.h"

#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QListWidget>
#include <QScrollBar>

#include <algorithm>

namespace {
// Layout time allowed per unit of time between two flushes.
const int layoutShare = 10;
const int noticeRole = Qt::UserRole;
const int bytesRole = Qt::UserRole + 1;
const QColor mismatchColour(220, 0, 0);
} // namespace

FrameLog::FrameLog(QListWidget *list, VokTool *tool, QObject *parent)
    : QObject(parent), list(list), tool(tool)
{
    // Every row is one line of text: the view need not measure each one.
    list->setUniformItemSizes(true);
    // Byte columns line up from one frame to the next.
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *copy = new QAction(tr("复制"), list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &FrameLog::copySelection);
    list->addAction(copy);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
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
    return stampText + QString::asprintf(".%03d", int(now % 1000));
}

void FrameLog::add(const QString &prefix, QByteArray bytes)
{
    const int size = bytes.size();
    const QString mismatch = checksumMismatch(bytes);
    auto *header = new QListWidgetItem(prefix + timeOfDay());
    tool->toHexString(bytes);
    auto *data = new QListWidgetItem(QString::fromLatin1(bytes));
    data->setToolTip(data->text()); // a long frame is cut off at the list's edge
    data->setData(bytesRole, size);
    if (!mismatch.isEmpty()) {
        header->setForeground(mismatchColour);
        header->setToolTip(mismatch);
        data->setForeground(mismatchColour);
        data->setToolTip(data->text() + QLatin1Char('\n') + mismatch);
    }
    append(header);
    append(data);
}

// Frames are logged as received (unescaped) and as written (escaped): the
// checksum is compared on the frame itself either way.
QString FrameLog::checksumMismatch(const QByteArray &bytes)
{
    const std::optional<QByteArray> frame = VokFrame::wholeFrame(bytes);
    if (!frame)
        return {};
    const quint8 own = quint8(frame->back());
    const quint8 computed = VokFrame::checksum(*frame);
    if (own == computed)
        return {};
    return tr("校验和不符：帧内 %1，计算值 %2")
        .arg(own, 2, 16, QLatin1Char('0'))
        .arg(computed, 2, 16, QLatin1Char('0'));
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
    // A user reading older lines keeps them in view; at the end the list follows.
    const QScrollBar *bar = list->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    const QPersistentModelIndex top(following ? QModelIndex() : list->indexAt(QPoint(0, 0)));
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
    if (!following) {
        if (top.isValid())
            list->scrollTo(top, QAbstractItemView::PositionAtTop);
        else
            list->scrollToTop(); // the lines read were the oldest and are gone
    }
    flushTimer.setInterval(int(layoutTime.elapsed()) * layoutShare);
}

void FrameLog::copySelection()
{
    QModelIndexList selected = list->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &index : qAsConst(selected))
        lines.append(index.data().toString());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void FrameLog::clear()
{
    qDeleteAll(pending);
    pending.clear();
    skippedBytes = 0;
    list->clear();
}
