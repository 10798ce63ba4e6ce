#ifndef MONITORFILTER_H
#define MONITORFILTER_H

#include <QSortFilterProxyModel>

class MonitorModel;

// The rows of a MonitorModel that the user wants to see: one command code
// or all, one direction or both, faults only or everything.
class MonitorFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    static constexpr int anyCommand = -1;
    // Direction filters: the module's frames or the MCU's.
    enum Direction { Both, FromModule, FromMcu };

    explicit MonitorFilter(MonitorModel *source, QObject *parent = nullptr);

    void setSource(MonitorModel *source);
    MonitorModel *source() const;
    void setCommand(int cmd);
    void setDirection(Direction direction);
    void setFaultsOnly(bool only);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int command = anyCommand;
    Direction direction = Both;
    bool faultsOnly = false;
};

#endif // MONITORFILTER_H
