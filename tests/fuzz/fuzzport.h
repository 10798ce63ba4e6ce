#ifndef FUZZPORT_H
#define FUZZPORT_H

#include <QByteArray>
#include <QObject>

// Stands in for a serial port: a splitter only needs DataReady.
class FuzzPort : public QObject
{
    Q_OBJECT
signals:
    void DataReady(QByteArray);
};

#endif // FUZZPORT_H
