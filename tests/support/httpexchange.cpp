#include "support/httpexchange.h"

#include <QHostAddress>
#include <QTcpSocket>

QByteArray HttpExchange::readUntilClosed(QTcpSocket &socket)
{
    QByteArray data;
    while (socket.waitForReadyRead(20000)) // false once the server has closed
        data += socket.readAll();
    data += socket.readAll();
    return socket.state() == QAbstractSocket::UnconnectedState ? data : QByteArray();
}

QByteArray HttpExchange::send(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    return readUntilClosed(socket);
}

int HttpExchange::status(const QByteArray &answer)
{
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

QByteArray HttpExchange::body(const QByteArray &answer)
{
    const int headEnd = answer.indexOf("\r\n\r\n");
    return headEnd < 0 ? QByteArray() : answer.mid(headEnd + 4);
}
