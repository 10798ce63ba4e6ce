#ifndef DATAPOINTTABLE_H
#define DATAPOINTTABLE_H

#include "datapoint/json_struct.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class QTableWidget;
class QWidget;
class VokJson;

// The simulated MCU's state: one row per datapoint, its display name and an
// editor holding its value. Builds status frames from the rows and shows the
// values of the module's control frames in them.
class DataPointTable : public QObject
{
    Q_OBJECT
public:
    // page: owns this object and parents the editors until the table takes them.
    DataPointTable(QTableWidget *table, VokJson *json, QWidget *page);

    void rebuild(const QList<json_struct> &jsonList);
    // The current values as a status frame with these three bytes in place,
    // checksum stamped and 0xFF bytes escaped: ready for the wire.
    QByteArray buildStatusFrame(quint8 cmd, quint8 sn, quint8 action) const;
    // Highlights and sets the rows that a control frame (03, action 01) carries.
    void applyControlFrame(const QByteArray &frame);

private:
    QWidget *createEditor(const json_struct &point) const;

    QTableWidget *table;
    VokJson *json;
    QWidget *page;
};

#endif // DATAPOINTTABLE_H
