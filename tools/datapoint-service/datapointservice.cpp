#include "datapointservice.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <unistd.h>

namespace {

// A request head (request line and headers) larger than this is refused.
constexpr int maxHeadBytes = 8192;
// A client that has not sent a whole request by then is answered 408 and dropped.
constexpr int idleTimeoutMs = 10000;
// After a failed accept (out of descriptors, most likely) the service stops
// accepting for this long instead of retrying at once.
constexpr int acceptPauseMs = 200;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
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

// Lines end in LF with or without a CR before it. The request head ends at
// the first empty line: its size without that line's ending, or -1 while
// the empty line has not come.
int headSize(const QByteArray &data)
{
    for (int lf = data.indexOf('\n'); lf >= 0; lf = data.indexOf('\n', lf + 1)) {
        const int next = lf + 1;
        if (next < data.size() && data.at(next) == '\n')
            return lf;
        if (next + 1 < data.size() && data.at(next) == '\r' && data.at(next + 1) == '\n')
            return lf;
    }
    return -1;
}

QByteArray withoutCr(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QByteArray firstLine(const QByteArray &data)
{
    const int lf = data.indexOf('\n');
    return withoutCr(lf < 0 ? data : data.left(lf));
}

bool isPathSafeKey(const QString &key)
{
    return !key.contains(QLatin1Char('/')) && !key.contains(QLatin1Char('\\'))
           && !key.contains(QChar(0));
}

} // namespace

DatapointService::DatapointService(const QString &folder, int maxConnections, QObject *parent)
    : QObject(parent), maxConnections(maxConnections), folder(folder), log(STDOUT_FILENO)
{
    connect(&server, &QTcpServer::newConnection, this, &DatapointService::acceptConnections);
    connect(&server, &QTcpServer::acceptError, this, &DatapointService::pauseAccepting);
    acceptPause.setSingleShot(true);
    acceptPause.setInterval(acceptPauseMs);
    connect(&acceptPause, &QTimer::timeout, &server, &QTcpServer::resumeAccepting);
}

bool DatapointService::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void DatapointService::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (openConnections >= maxConnections) {
            send(socket, {503, errorBody(503, "too many connections")}, "-");
            continue;
        }
        ++openConnections;
        connect(socket, &QObject::destroyed, this, [this] { --openConnections; });
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

void DatapointService::pauseAccepting(QAbstractSocket::SocketError error)
{
    // Retrying a failed accept at once would only fail again, at full speed.
    server.pauseAccepting();
    acceptPause.start();
    log.write(QByteArray("accept failed (")
              + QMetaEnum::fromType<QAbstractSocket::SocketError>().valueToKey(error)
              + "), pausing " + QByteArray::number(acceptPauseMs) + " ms");
}

void DatapointService::readRequest(QTcpSocket *socket)
{
    const QByteArray buffered = socket->peek(maxHeadBytes + 3); // + "\r\n\r" of the end
    const int end = headSize(buffered);
    if (end >= 0) {
        const QByteArray head = withoutCr(buffered.left(end));
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
    log.write(peer.toLatin1() + " \"" + printable(requestLine) + "\" "
              + QByteArray::number(answer.status) + ' ' + QByteArray::number(answer.body.size()));
}
