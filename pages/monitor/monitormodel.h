#ifndef MONITORMODEL_H
#define MONITORMODEL_H

#include "pages/monitor/monitorrow.h"

#include <QAbstractTableModel>
#include <QVector>

#include <deque>

class FrameExplainer;

// The monitor's rows, newest last, at most `limit` of them: older rows go
// when newer ones come. Texts are made when a view asks for them, so only
// the rows on screen (and the ones exported) cost any decoding.
class MonitorModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Number, Time, Direction, Command, Sn, Length, Checksum, Reply, Problem, Decoding,
                  ColumnCount };
    static constexpr int defaultLimit = 100000;

    explicit MonitorModel(FrameExplainer *explainer, QObject *parent = nullptr);

    void setLimit(int rows);
    // The side (0 or 1) the module's port is on; the other one is the MCU's.
    void setModuleSide(int side);
    int moduleSide() const { return module; }

    // Rows come in batches; beyond the limit the oldest rows go.
    void append(const QVector<MonitorRow> &batch);
    void clear();
    const MonitorRow &at(int row) const { return rows[size_t(row)]; }
    // The direction text of a side ("模块→MCU" or "MCU→模块").
    QString directionText(int side) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString text(const MonitorRow &row, int column) const;

    FrameExplainer *explainer;
    std::deque<MonitorRow> rows;
    int limit = defaultLimit;
    int module = 0;
};

#endif // MONITORMODEL_H
