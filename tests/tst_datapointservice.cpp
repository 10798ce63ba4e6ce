// The local datapoint service over real HTTP on 127.0.0.1, under misuse
// too, and VokJson fetching definitions from it.

#include "datapoint/vokjson.h"
#include "protocol/vokfiles.h"
#include "support/testroot.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QByteArray definition = "{ \"entities\" : [] ,\n \"名称\": \"加湿器\" }  \n";
// Cached before each fetch; longer than definition, so that a refetch must truncate.
const QByteArray older = "{\"old\": \"" + QByteArray(100, 'x') + "\"}";
const QByteArray okLine = "GET /v2/datapoint?product_key=tst-ok&format=json HTTP/1.1";

QByteArray get(const QByteArray &key) { return QByteArray(okLine).replace("tst-ok", key) + "\r\nHost: 127.0.0.1\r\n\r\n"; }

// Everything the server sends until it closes the connection; nothing if it keeps it open.
QByteArray readUntilClosed(QTcpSocket &socket)
{
    QByteArray data;
    while (socket.waitForReadyRead(20000)) // false once the server has closed
        data += socket.readAll();
    return socket.state() == QAbstractSocket::UnconnectedState ? data + socket.readAll() : QByteArray();
}

int status(const QByteArray &answer) { return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0; }
QByteArray body(const QByteArray &answer) { return answer.mid(answer.indexOf("\r\n\r\n") + 4); }

// The service on a free port, its standard output on a pipe the test reads.
struct Service
{
    Service(const QString &folder, const QStringList &options = {})
    {
        if (::pipe2(log, O_CLOEXEC) != 0) return;
        process.setStandardOutputFile(QString("/proc/self/fd/%1").arg(log[1]));
        process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service",
                      QStringList{"--port", "0", "--dir", folder} + options);
        ::close(log[1]); // the child has its own
        port = quint16(QRegularExpression("127\\.0\\.0\\.1:(\\d+)").match(readLog(1)).captured(1).toUInt());
    }
    ~Service() { process.kill(), process.waitForFinished(), ::close(log[0]); }
    // The log until it has that many lines, or nothing more comes in timeoutMs.
    QByteArray readLog(int lines, int timeoutMs = 20000)
    {
        QByteArray data;
        pollfd ready{log[0], POLLIN, 0};
        char chunk[4096];
        for (ssize_t n; data.count('\n') < lines && ::poll(&ready, 1, timeoutMs) == 1 && (n = ::read(log[0], chunk, sizeof chunk)) > 0;)
            data.append(chunk, int(n));
        return data;
    }
    QByteArray exchange(const QByteArray &request) const
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write(request);
        return readUntilClosed(socket);
    }

    QProcess process;
    int log[2] = {-1, -1};
    quint16 port = 0;
};

} // namespace

class TestDatapointService : public QObject
{
    Q_OBJECT

    QString folder() const { return root.filePath("served"); }

    QTemporaryDir root;
    const bool made = QDir(root.path()).mkdir("served");
    TestRoot files; // the fetch cache
    Service service{folder()};
    QTcpServer silent; // accepts connections, never answers

private slots:
    void initTestCase()
    {
        QVERIFY(made && files.isValid() && service.port != 0 && silent.listen(QHostAddress::LocalHost));
        // Query delimiters in a key stay part of one query value and of the file name.
        for (const auto &[key, content] : {std::pair<QString, QByteArray>{"tst-ok", definition}, {"tst-b", "{\"b\": 2}"},
                                           {"tst-array", "[]"}, {"tst-k&format=xml#x +", definition}})
            QVERIFY(writeFile(folder() + '/' + key + ".json", content));
        QVERIFY(writeFile(root.filePath("secret.json"), "{}") && QFile::link(root.filePath("secret.json"), folder() + "/link.json"));
    }

    void answers()
    {
        const auto line = [](const char *from, const char *to) { return QByteArray(okLine).replace(from, to) + "\n\n"; };
        const std::pair<QByteArray, int> rows[] = {
            {get("tst-ok"), 200}, {okLine + "\nHost: 127.0.0.1\n\n", 200}, {okLine + "\nHost: 127.0.0.1\n\r\n", 200},
            {okLine + "\r\nHost: 127.0.0.1\rX: y\r\n\r\n", 400}, // a CR alone ends no line
            {get("../secret"), 404}, {get("link"), 404}, // out of the folder
            {line("1.1", "2.0"), 400}, {okLine + "\r\nHost\r\n\r\n", 400}, {line("product_", ""), 400}, {line("=json", "=xml"), 400},
            {line("GET", "POST"), 405}, {line("datapoint", "datapoints"), 404}, {QByteArray(20000, 'G'), 431}};
        for (const auto &[request, status] : rows) {
            const QByteArray answer = service.exchange(request), body = ::body(answer);
            QCOMPARE(QVariantList({request, ::status(answer), answer.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"),
                                   status == 200 ? QVariant(body) : QJsonDocument::fromJson(body)["errors"]["status"].toInt()}),
                     QVariantList({request, status, true, status == 200 ? QVariant(definition) : status}));
        }
    }

    void logsEachRequestLine()
    {
        service.readLog(1000, 0);
        const int sizes[] = {body(service.exchange(get("tst-ok"))).size(),
                             body(service.exchange("\x01\x7f\r\n\r\n")).size()};
        QCOMPARE(service.readLog(2), "127.0.0.1 \"" + okLine + "\" 200 " + QByteArray::number(sizes[0])
                                          + "\n127.0.0.1 \"??\" 400 " + QByteArray::number(sizes[1]) + '\n');
    }

    void servesClientsAtOnceUpToTheLimit()
    {
        // Two clients send the first part of their requests (the same for both
        // keys); a third, beyond the limit, is answered at once, unasked; then
        // the second client completes its request before the first.
        Service limited(folder(), {"--max-connections", "2"});
        QTcpSocket sockets[3];
        for (QTcpSocket &socket : sockets) {
            socket.connectToHost(QHostAddress::LocalHost, limited.port);
            QVERIFY(&socket == &sockets[2] || (socket.write(get("tst-ok").left(20)) && socket.waitForBytesWritten(10000)));
        }
        QCOMPARE(status(readUntilClosed(sockets[2])), 503);
        sockets[0].write(get("tst-ok").mid(20)), sockets[1].write(get("tst-b").mid(20));
        QCOMPARE(body(readUntilClosed(sockets[1])) + body(readUntilClosed(sockets[0])), "{\"b\": 2}" + definition);
        // The places are free again once the service has let the clients go.
        QTRY_COMPARE_WITH_TIMEOUT(status(limited.exchange(get("tst-ok"))), 200, 20000);
    }

    void logReaderThatStallsOrLeavesCostsOnlyLogLines()
    {
        for (const bool readerGone : {false, true}) {
            Service logged(folder());
            // Two pages, of which a writer sees one free: forty lines fill it.
            ::fcntl(logged.log[0], F_SETPIPE_SZ, 8192);
            if (readerGone)
                ::close(std::exchange(logged.log[0], -1));
            for (int i = 0; i < 100; ++i) // each request after a lost line finds the service alive
                QVERIFY2(status(logged.exchange(get("tst-ok"))) == 200, qPrintable(QString::number(i)));
            if (readerGone)
                break;
            // Once the reader catches up, the count of lost lines comes first.
            logged.readLog(1000, 0);
            logged.exchange(get("tst-ok"));
            const QString log = QString::fromLatin1(logged.readLog(2));
            QVERIFY2(QRegularExpression("^\\([1-9]\\d* log lines dropped\\)\n127\\.0\\.0\\.1 \"GET ").match(log).hasMatch(),
                     qPrintable(log));
        }
    }

    void rejectsBadOptions()
    {
        for (const char *options : {"--port eighty", "--port 70000", "--bind localhost:1", "--max-connections 0", "--dir /none"}) {
            QProcess process;
            process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service", QString(options).split(' '));
            QVERIFY2(process.waitForFinished(20000) && process.exitCode() == 2
                         && process.readAllStandardError().startsWith("vok-datapoint-service: "), options);
        }
    }

    void overlappingFetchesKeepTheirKeys()
    {
        VokJson json;
        json.setServiceHost(QString("127.0.0.1:%1").arg(service.port));
        json.requestJson("tst-ok"), json.requestJson("tst-b");
        QTRY_COMPARE_WITH_TIMEOUT(readFile(VokFiles::definitionCache("tst-b")) + readFile(VokFiles::definitionCache("tst-ok")),
                                  "{\"b\": 2}" + definition, 20000);
    }

    void fetchOutcomes()
    {
        // The json_stat signal's value (-1: none) and the cache after the fetch; before it, older.
        const quint16 real = service.port;
        const struct { quint16 port; QString key; int stat; QByteArray cached; } rows[] = {
            {real, "tst-ok", 1, definition}, {real, "tst-gone", 0, older}, {real, "tst-array", -1, older},
            {real, "tst-k&format=xml#x +", 1, definition}, {silent.serverPort(), "tst-silent", -1, older}};
        for (const auto &row : rows) {
            QVERIFY(writeFile(VokFiles::definitionCache(row.key), older));
            VokJson json;
            QSignalSpy stats(&json, &VokJson::json_stat);
            json.setServiceHost(QString("127.0.0.1:%1").arg(row.port));
            json.setFetchTimeout(row.port == real ? 20000 : 100); // only the silent one is waited out
            json.requestJson(row.key);
            // Each fetch keeps a network manager until it has ended.
            QTRY_VERIFY_WITH_TIMEOUT(json.findChildren<QNetworkAccessManager *>().isEmpty(), 20000);
            QCOMPARE(QVariantList({row.key, stats.count(), stats.value(0).value(0, -1).toInt(), readFile(VokFiles::definitionCache(row.key))}),
                     QVariantList({row.key, int(row.stat >= 0), row.stat, row.cached}));
        }
    }
};

QTEST_GUILESS_MAIN(TestDatapointService)
#include "tst_datapointservice.moc"
