#ifndef CHUNKSOURCE_H
#define CHUNKSOURCE_H

#include <QObject>

// Stands in for a serial port: a framer only needs DataReady.
class ChunkSource : public QObject
{
    Q_OBJECT
signals:
    void DataReady(QByteArray);
};

#endif // CHUNKSOURCE_H
