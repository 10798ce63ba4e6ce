#include "pages/monitor/monitorfilter.h"

#include "pages/monitor/monitormodel.h"
#include "protocol/frame.h"

MonitorFilter::MonitorFilter(MonitorModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSourceModel(source);
}

void MonitorFilter::setSource(MonitorModel *source)
{
    setSourceModel(source);
}

MonitorModel *MonitorFilter::source() const
{
    // The constructor and setSource() only ever take a MonitorModel.
    return static_cast<MonitorModel *>(sourceModel());
}

void MonitorFilter::setCommand(int cmd)
{
    command = cmd;
    invalidateFilter();
}

void MonitorFilter::setDirection(Direction wanted)
{
    direction = wanted;
    invalidateFilter();
}

void MonitorFilter::setFaultsOnly(bool only)
{
    faultsOnly = only;
    invalidateFilter();
}

bool MonitorFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const MonitorModel *rows = source();
    const MonitorRow &row = rows->at(sourceRow);
    if (faultsOnly && !row.faults)
        return false;
    if (direction != Both && (row.side == rows->moduleSide()) != (direction == FromModule))
        return false;
    if (command != anyCommand) {
        // Bytes outside a frame carry no command.
        if (row.kind == MonitorRow::Stray || VokFrame::cmd(row.bytes) != command)
            return false;
    }
    return true;
}
