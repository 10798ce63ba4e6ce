#ifndef HTTPEXCHANGE_H
#define HTTPEXCHANGE_H

#include <QByteArray>

class QTcpSocket;

namespace HttpExchange {

// Everything the server sends on the socket until it closes the connection;
// nothing when it keeps the connection open after answering.
QByteArray readUntilClosed(QTcpSocket &socket);
// One request to a server on 127.0.0.1 and its answer, as readUntilClosed.
QByteArray send(quint16 port, const QByteArray &request);
// The status code of an HTTP/1.1 answer, 0 for anything else.
int status(const QByteArray &answer);
QByteArray body(const QByteArray &answer);

} // namespace HttpExchange

#endif // HTTPEXCHANGE_H
