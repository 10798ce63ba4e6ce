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

#include <memory>

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
        if (::pipe2(log, O_CLOEXEC) != 0)
            return;
        process.setStandardOutputFile(QString("/proc/self/fd/%1").arg(log[1]));
        process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service",
                      QStringList{"--port", "0", "--dir", folder} + options);
        ::close(log[1]); // the child has its own
        port = quint16(QRegularExpression("127\\.0\\.0\\.1:(\\d+)").match(readLog(1)).captured(1).toUInt());
    }
    ~Service()
    {
        process.kill();
        process.waitForFinished();
        ::close(log[0]);
    }
    // The log until it has that many lines, or nothing more comes in timeoutMs.
    QByteArray readLog(int lines, int timeoutMs = 20000)
    {
        QByteArray data;
        pollfd ready{log[0], POLLIN, 0};
        char chunk[4096];
        ssize_t n = 0;
        while (data.count('\n') < lines && ::poll(&ready, 1, timeoutMs) == 1
               && (n = ::read(log[0], chunk, sizeof chunk)) > 0)
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

    QString served(const QString &key = {}) const { return root.filePath("served/" + key + ".json"); }
    QString folder() const { return root.filePath("served"); }

    QTemporaryDir root;
    TestRoot files; // the fetch cache
    std::unique_ptr<Service> service;
    QTcpServer silent; // accepts connections, never answers

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(root.path()).mkdir("served") && files.isValid());
        // Query delimiters in a key stay part of one query value and of the file name.
        for (const auto &[key, content] : {std::pair<QString, QByteArray>{"tst-ok", definition}, {"tst-b", "{\"b\": 2}"},
                                           {"tst-array", "[]"}, {"tst-k&format=xml#x +", definition}})
            QVERIFY(writeFile(served(key), content));
        QVERIFY(writeFile(root.filePath("secret.json"), "{}") && QFile::link(root.filePath("secret.json"), served("link")));
        service = std::make_unique<Service>(folder());
        QVERIFY(service->port != 0 && silent.listen(QHostAddress::LocalHost));
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("definition") << get("tst-ok") << 200;
        QTest::newRow("LF only") << okLine + "\nHost: 127.0.0.1\n\n" << 200;
        QTest::newRow("LF, then CRLF") << okLine + "\nHost: 127.0.0.1\n\r\n" << 200;
        QTest::newRow("CR alone ends no line") << okLine + "\r\nHost: 127.0.0.1\rX: y\r\n\r\n" << 400;
        QTest::newRow("key out of the folder") << get("../secret") << 404;
        QTest::newRow("link out of the folder") << get("link") << 404;
        QTest::newRow("other version") << QByteArray(okLine).replace("1.1", "2.0") + "\n\n" << 400;
        QTest::newRow("header without colon") << okLine + "\r\nHost\r\n\r\n" << 400;
        QTest::newRow("no key") << QByteArray(okLine).replace("product_", "") + "\n\n" << 400;
        QTest::newRow("other format") << QByteArray(okLine).replace("=json", "=xml") + "\n\n" << 400;
        QTest::newRow("POST") << QByteArray(okLine).replace("GET", "POST") + "\n\n" << 405;
        QTest::newRow("other path") << QByteArray(okLine).replace("datapoint", "datapoints") + "\n\n" << 404;
        QTest::newRow("oversized") << QByteArray(20000, 'G') << 431;
    }
    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        const QByteArray answer = service->exchange(request);
        QCOMPARE(::status(answer), status);
        QVERIFY(answer.contains("\r\nContent-Length: " + QByteArray::number(body(answer).size()) + "\r\n"));
        if (status == 200)
            QCOMPARE(body(answer), definition);
        else
            QCOMPARE(QJsonDocument::fromJson(body(answer))["errors"]["status"].toInt(), status);
    }

    void logsEachRequestLine()
    {
        service->readLog(1000, 0);
        const int sizes[] = {body(service->exchange(get("tst-ok"))).size(),
                             body(service->exchange("\x01\x7f\r\n\r\n")).size()};
        QCOMPARE(service->readLog(2), "127.0.0.1 \"" + okLine + "\" 200 " + QByteArray::number(sizes[0])
                                          + "\n127.0.0.1 \"??\" 400 " + QByteArray::number(sizes[1]) + '\n');
    }

    void servesClientsAtOnceUpToTheLimit()
    {
        // Two clients send their requests in two parts, interleaved; meanwhile
        // a third, beyond the limit, is answered at once, unasked.
        Service limited(folder(), {"--max-connections", "2"});
        QTcpSocket sockets[2], extra;
        for (int i : {0, 1, 1, 0}) {
            const bool first = !sockets[i].isOpen();
            if (first)
                sockets[i].connectToHost(QHostAddress::LocalHost, limited.port);
            sockets[i].write(get(i ? "tst-b" : "tst-ok").mid(first ? 0 : 20, first ? 20 : -1));
            QVERIFY(sockets[i].waitForBytesWritten(10000));
            if (i == 1 && first) { // connections are accepted in order
                extra.connectToHost(QHostAddress::LocalHost, limited.port);
                QCOMPARE(status(readUntilClosed(extra)), 503);
            }
        }
        QCOMPARE(body(readUntilClosed(sockets[1])), QByteArray("{\"b\": 2}"));
        QCOMPARE(body(readUntilClosed(sockets[0])), definition);
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
        for (const QStringList &options : {QStringList{"--port", "eighty"}, {"--port", "70000"},
                                           {"--bind", "localhost:1"}, {"--max-connections", "0"},
                                           {"--dir", root.filePath("none")}}) {
            QProcess process;
            process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service", options);
            QVERIFY(process.waitForFinished(20000));
            QVERIFY2(process.exitCode() == 2 && process.readAllStandardError().startsWith("vok-datapoint-service: "),
                     qPrintable(options.join(' ')));
        }
    }

    void overlappingFetchesKeepTheirKeys()
    {
        VokJson json;
        json.setServiceHost(QString("127.0.0.1:%1").arg(service->port));
        json.requestJson("tst-ok");
        json.requestJson("tst-b");
        QTRY_COMPARE_WITH_TIMEOUT(readFile(VokFiles::definitionCache("tst-b")), QByteArray("{\"b\": 2}"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(VokFiles::definitionCache("tst-ok")), definition, 20000);
    }

    void fetchOutcomes_data()
    {
        QTest::addColumn<quint16>("port");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("stat"); // the json_stat signal's value, -1: none
        QTest::addColumn<QByteArray>("cached"); // after the fetch; before it, older
        const quint16 real = service->port;
        QTest::newRow("definition") << real << "tst-ok" << 1 << definition;
        QTest::newRow("errors object") << real << "tst-gone" << 0 << older;
        QTest::newRow("array") << real << "tst-array" << -1 << older;
        QTest::newRow("key with & and #") << real << "tst-k&format=xml#x +" << 1 << definition;
        QTest::newRow("no answer") << silent.serverPort() << "tst-silent" << -1 << older;
    }
    void fetchOutcomes()
    {
        QFETCH(quint16, port);
        QFETCH(QString, key);
        QFETCH(int, stat);
        QFETCH(QByteArray, cached);
        QVERIFY(writeFile(VokFiles::definitionCache(key), older));
        VokJson json;
        QSignalSpy stats(&json, &VokJson::json_stat);
        json.setServiceHost(QString("127.0.0.1:%1").arg(port));
        json.setFetchTimeout(port == silent.serverPort() ? 100 : 20000); // only the silent one is waited out
        json.requestJson(key);
        // Each fetch keeps a network manager until it has ended.
        QTRY_VERIFY_WITH_TIMEOUT(json.findChildren<QNetworkAccessManager *>().isEmpty(), 20000);
        QCOMPARE(stats.count(), int(stat >= 0));
        QCOMPARE(stats.value(0).value(0, -1).toInt(), stat);
        QCOMPARE(readFile(VokFiles::definitionCache(key)), cached);
    }
};

QTEST_GUILESS_MAIN(TestDatapointService)
#include "tst_datapointservice.moc"
