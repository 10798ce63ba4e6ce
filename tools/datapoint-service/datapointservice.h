#ifndef DATAPOINTSERVICE_H
#define DATAPOINTSERVICE_H

#include <QDir>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include "requestlog.h"

class QTcpSocket;

// A small HTTP/1.1 server that answers
// GET /v2/datapoint?product_key=K&format=json with the file K.json of its
// folder, byte for byte, and every other request with a JSON "errors"
// object. One request per connection; the connection is closed after the
// answer. At most maxConnections are served at a time: a client beyond them
// is answered 503 at once. Each request gets one log line on standard
// output (see RequestLog).
class DatapointService : public QObject
{
    Q_OBJECT
public:
    DatapointService(const QString &folder, int maxConnections, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const { return server.serverPort(); }
    QString errorString() const { return server.errorString(); }

private:
    struct Answer
    {
        int status;
        QByteArray body;
    };

    void acceptConnections();
    void pauseAccepting(QAbstractSocket::SocketError error);
    void readRequest(QTcpSocket *socket);
    Answer answerTo(const QByteArray &head) const;
    Answer definitionOf(const QString &productKey) const;
    void send(QTcpSocket *socket, const Answer &answer, const QByteArray &requestLine);
    static QByteArray errorBody(int status, const QString &message);

    const int maxConnections;
    int openConnections = 0;
    QTcpServer server;
    QTimer acceptPause;
    QDir folder;
    RequestLog log;
};

#endif // DATAPOINTSERVICE_H
