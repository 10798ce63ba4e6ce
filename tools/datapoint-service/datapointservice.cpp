#include "datapointservice.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

// A request head (request line and headers) larger than this is refused.
constexpr int maxHeadBytes = 8192;
// A client that has not sent a whole request by then is answered 408 and dropped.
constexpr int idleTimeoutMs = 10000;
const QByteArray headEnd("\r\n\r\n");

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    default: return "Error";
    }
}

// The request line as it may appear in the log: bounded, printable ASCII only.
QByteArray printable(QByteArray line)
{
    line.truncate(200);
    for (char &c : line) {
        if (uchar(c) < 0x20 || uchar(c) >= 0x7F)
            c = '?';
    }
    return line;
}

QByteArray firstLine(const QByteArray &data)
{
    const int end = data.indexOf("\r\n");
    return end < 0 ? data : data.left(end);
}

bool isPathSafeKey(const QString &key)
{
    return !key.contains(QLatin1Char('/')) && !key.contains(QLatin1Char('\\'))
           && !key.contains(QChar(0));
}

} // namespace

DatapointService::DatapointService(const QString &folder, QObject *parent)
    : QObject(parent), folder(folder), log(stdout)
{
    connect(&server, &QTcpServer::newConnection, this, &DatapointService::acceptConnections);
}

bool DatapointService::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void DatapointService::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [this, socket, idle] {
            if (socket->state() != QAbstractSocket::ConnectedState) {
                socket->abort(); // answered, but the client does not take the answer
                return;
            }
            send(socket, {408, errorBody(408, "no complete request in time")}, "-");
            idle->start();
        });
        idle->start(idleTimeoutMs);
    }
}

void DatapointService::readRequest(QTcpSocket *socket)
{
    const QByteArray buffered = socket->peek(maxHeadBytes + headEnd.size());
    const int end = buffered.indexOf(headEnd);
    if (end >= 0) {
        const QByteArray head = buffered.left(end);
        send(socket, answerTo(head), firstLine(head));
    } else if (buffered.size() > maxHeadBytes) {
        send(socket, {431, errorBody(431, "request head too large")}, firstLine(buffered));
    }
}

DatapointService::Answer DatapointService::answerTo(const QByteArray &head) const
{
    QByteArray text = head;
    text.replace("\r\n", "\n");
    if (text.contains('\r'))
        return {400, errorBody(400, "malformed request")};
    const QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> parts = lines.first().split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || !parts[1].startsWith('/')
        || (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0"))
        return {400, errorBody(400, "malformed request line")};
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].indexOf(':') <= 0)
            return {400, errorBody(400, "malformed header line")};
    }
    if (parts[0] != "GET")
        return {405, errorBody(405, "only GET is served")};

    const QByteArray &target = parts[1];
    const int question = target.indexOf('?');
    if ((question < 0 ? target : target.left(question)) != "/v2/datapoint")
        return {404, errorBody(404, "unknown path")};
    const QByteArray query = question < 0 ? QByteArray() : target.mid(question + 1);
    for (char c : query) {
        if (uchar(c) <= 0x20 || uchar(c) >= 0x7F)
            return {400, errorBody(400, "malformed query")};
    }
    const QUrlQuery items(QString::fromLatin1(query));
    if (!items.hasQueryItem(QStringLiteral("product_key"))
        || items.queryItemValue(QStringLiteral("format")) != QLatin1String("json"))
        return {400, errorBody(400, "product_key and format=json are required")};
    return definitionOf(items.queryItemValue(QStringLiteral("product_key"), QUrl::FullyDecoded));
}

DatapointService::Answer DatapointService::definitionOf(const QString &productKey) const
{
    const Answer unknown{404, errorBody(404, "no datapoint definition for this product_key")};
    // Only files of the folder itself are served: no separators in the key,
    // and no symbolic link that leads elsewhere.
    if (!isPathSafeKey(productKey))
        return unknown;
    const QFileInfo info(folder.filePath(productKey + ".json"));
    if (!info.isFile() || info.canonicalPath() != folder.canonicalPath())
        return unknown;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return unknown;
    return {200, file.readAll()};
}

QByteArray DatapointService::errorBody(int status, const QString &message)
{
    const QJsonObject error{{"status", status}, {"message", message}};
    return QJsonDocument(QJsonObject{{"errors", error}}).toJson(QJsonDocument::Compact);
}

void DatapointService::send(QTcpSocket *socket, const Answer &answer,
                            const QByteArray &requestLine)
{
    // One answer per connection: whatever else the client sends is read and dropped.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    socket->readAll();
    const QString peer = socket->peerAddress().toString();
    QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) + ' '
                          + reasonPhrase(answer.status) + "\r\n"
                          + "Content-Type: application/json\r\n"
                          + "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (answer.status == 405)
        response += "Allow: GET\r\n";
    response += "Connection: close\r\n\r\n" + answer.body;
    socket->write(response);
    socket->disconnectFromHost();
    log << peer << " \"" << printable(requestLine) << "\" "
        << answer.status << ' ' << answer.body.size() << Qt::endl;
}
