#include "pages/monitor/monitormodel.h"

#include "pages/common/pagebackground.h"
#include "pages/monitor/frameexplainer.h"
#include "protocol/frame.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QGuiApplication>
#include <QPalette>
#include <QStringList>

namespace {
// Trimming in steps keeps a full table from removing rows at every batch.
int trimStep(int limit)
{
    return qMax(1, limit / 20);
}

QString problems(quint8 faults)
{
    QStringList texts;
    if (faults & MonitorRow::BadChecksum)
        texts << MonitorModel::tr("校验和错误");
    if (faults & MonitorRow::TooShort)
        texts << MonitorModel::tr("长度过短");
    if (faults & MonitorRow::WrongSn)
        texts << MonitorModel::tr("sn与请求不符");
    if (faults & MonitorRow::NoRequest)
        texts << MonitorModel::tr("无对应请求");
    if (faults & MonitorRow::Unanswered)
        texts << MonitorModel::tr("无应答");
    if (faults & MonitorRow::OutsideFrame)
        texts << MonitorModel::tr("帧外字节");
    if (faults & MonitorRow::Late)
        texts << MonitorModel::tr("应答超时");
    return texts.join(MonitorModel::tr("，"));
}
} // namespace

MonitorModel::MonitorModel(FrameExplainer *explainer, QObject *parent)
    : QAbstractTableModel(parent), explainer(explainer)
{
}

void MonitorModel::setLimit(int rowLimit)
{
    limit = qMax(1, rowLimit);
}

void MonitorModel::setModuleSide(int side)
{
    module = side == 1 ? 1 : 0;
    if (!rows.empty())
        emit dataChanged(index(0, Direction), index(rowCount() - 1, Direction));
}

void MonitorModel::append(const QVector<MonitorRow> &batch)
{
    if (batch.isEmpty())
        return;
    if (batch.size() >= limit) {
        beginResetModel();
        rows.assign(batch.end() - limit, batch.end());
        endResetModel();
        return;
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + batch.size() - 1);
    rows.insert(rows.end(), batch.begin(), batch.end());
    endInsertRows();
    if (rowCount() >= limit + trimStep(limit)) {
        const int excess = rowCount() - limit;
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        rows.erase(rows.begin(), rows.begin() + excess);
        endRemoveRows();
    }
}

void MonitorModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}

QString MonitorModel::directionText(int side) const
{
    return side == module ? MonitorModel::tr("模块→MCU") : MonitorModel::tr("MCU→模块");
}

int MonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int MonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const MonitorRow &row = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::ToolTipRole:
        return index.column() == Decoding || index.column() == Command ? text(row, index.column())
                                                                       : QVariant();
    case Qt::BackgroundRole:
        if (row.faults)
            return QBrush(PageBackground::rowColour(QGuiApplication::palette(), row.kind == MonitorRow::Frame ? QColor(255, 214, 214) : QColor(255, 236, 179)));
        return QVariant();
    default:
        return QVariant();
    }
}

QString MonitorModel::text(const MonitorRow &row, int column) const
{
    const QByteArray &bytes = row.bytes;
    const bool frameLike = row.kind != MonitorRow::Stray;
    switch (column) {
    case Number:
        return QString::number(row.id);
    case Time:
        return QDateTime::fromMSecsSinceEpoch(row.time).toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        return directionText(row.side);
    case Command:
        if (row.kind == MonitorRow::Stray)
            return MonitorModel::tr("帧外字节");
        return explainer->commandName(bytes);
    case Sn:
        if (const std::optional<quint8> sn = VokFrame::sn(bytes); frameLike && sn)
            return QString::asprintf("%02X", *sn);
        return QString();
    case Length:
        return QString::number(bytes.size());
    case Checksum:
        if (row.kind != MonitorRow::Frame || bytes.size() < 5)
            return QString();
        if (row.faults & MonitorRow::BadChecksum)
            return MonitorModel::tr("错误（应为%1）")
                .arg(VokFrame::checksum(bytes), 2, 16, QLatin1Char('0')).toUpper();
        return MonitorModel::tr("正确");
    case Reply:
        if (row.kind == MonitorRow::NoReply)
            return MonitorModel::tr("#%1 超过%2 ms").arg(row.requestId).arg(row.replyMs);
        if (row.replyMs >= 0)
            return MonitorModel::tr("#%1，%2 ms").arg(row.requestId).arg(row.replyMs);
        if (row.requestId >= 0)
            return MonitorModel::tr("#%1？").arg(row.requestId);
        return QString();
    case Problem:
        return problems(row.faults);
    case Decoding:
        return row.kind == MonitorRow::Stray ? FrameExplainer::hexText(bytes) : explainer->shortDecoding(bytes);
    default:
        return QString();
    }
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[ColumnCount] = {
        "#", QT_TR_NOOP("时间"), QT_TR_NOOP("方向"), QT_TR_NOOP("命令"), "sn", QT_TR_NOOP("长度"),
        QT_TR_NOOP("校验和"), QT_TR_NOOP("应答（请求，耗时）"), QT_TR_NOOP("问题"), QT_TR_NOOP("解码")};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}
