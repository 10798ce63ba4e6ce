// The local datapoint service over real HTTP on 127.0.0.1, and VokJson
// fetching definitions from it.

#include "datapoint/vokjson.h"
#include "protocol/vokfiles.h"
#include "support/httpexchange.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray get(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

QByteArray definitionTarget(const QByteArray &encodedKey)
{
    return "/v2/datapoint?product_key=" + encodedKey + "&format=json";
}

// A VokJson fetching from one host, with its json_stat signals recorded.
struct Fetcher
{
    explicit Fetcher(quint16 port) : stat(&json, &VokJson::json_stat)
    {
        json.setServiceHost(QString("127.0.0.1:%1").arg(port));
    }
    // True once every fetch has ended (each keeps a network manager until then).
    bool ended() const { return json.findChildren<QNetworkAccessManager *>().isEmpty(); }

    VokJson json;
    QSignalSpy stat;
};

} // namespace

class TestDatapointService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void refusesBadRequests_data();
    void refusesBadRequests();
    void servesSeveralClientsAtOnce();
    void logsOneLinePerRequest();
    void rejectsBadOptions_data();
    void rejectsBadOptions();

    void fetchOutcomes_data();
    void fetchOutcomes();
    void refetchTruncatesAndOverlappingFetchesKeepTheirKeys();
    void keyCannotLeaveTheCacheFolder();
    void unreachableServiceGivesNoSignal();

private:
    QString servedFile(const QString &key) const { return served.filePath(key + ".json"); }

    QTemporaryDir root;
    TestRoot files; // the fetch cache
    QDir served;
    QProcess service;
    QByteArray serviceLog;
    quint16 port = 0;
};

void TestDatapointService::initTestCase()
{
    QVERIFY(root.isValid() && files.isValid());
    QVERIFY(QDir(root.path()).mkdir("served"));
    served.setPath(root.filePath("served"));
    QVERIFY(writeFile(root.filePath("secret.json"), "{\"secret\": true}"));
    QVERIFY(QFile::link(root.filePath("secret.json"), servedFile("link")));
    QVERIFY(writeFile(servedFile("tst-dps-ok"), "{}"));

    connect(&service, &QProcess::readyReadStandardOutput, this,
            [this] { serviceLog += service.readAllStandardOutput(); });
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service",
                  {"--port", "0", "--dir", served.path()});
    QVERIFY(service.waitForStarted(10000));
    const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
    QTRY_VERIFY_WITH_TIMEOUT(listening.match(serviceLog).hasMatch(), 20000);
    port = quint16(listening.match(serviceLog).captured(1).toUInt());
    QVERIFY(port != 0);
}

void TestDatapointService::cleanupTestCase()
{
    service.terminate();
    QVERIFY(service.waitForFinished(10000));
}

void TestDatapointService::refusesBadRequests_data()
{
    const QByteArray ok = definitionTarget("tst-dps-ok");
    const QByteArray secret = root.filePath("secret").toUtf8();
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown key") << get(definitionTarget("tst-dps-nothing")) << 404;
    // Keys naming a file outside the served folder, plain and encoded; "link" links out of it.
    for (const QByteArray &key : {QByteArray("../secret"), QByteArray("..%2Fsecret"), secret,
                                  QUrl::toPercentEncoding(QString::fromUtf8(secret)),
                                  QByteArray("..%5Csecret"), QByteArray("link")})
        QTest::newRow(key.constData()) << get(definitionTarget(key)) << 404;
    QTest::newRow("garbage") << QByteArray("\x01\x02 hello\r\n\r\n") << 400;
    QTest::newRow("no version") << QByteArray("GET " + ok + "\r\n\r\n") << 400;
    QTest::newRow("other version") << QByteArray("GET " + ok + " HTTP/2.0\r\n\r\n") << 400;
    QTest::newRow("header without colon") << QByteArray("GET " + ok + " HTTP/1.1\r\nHost\r\n\r\n") << 400;
    QTest::newRow("bare CR") << QByteArray("GET " + ok + " HTTP/1.1\rX: y\r\n\r\n") << 400;
    QTest::newRow("no key") << get("/v2/datapoint?format=json") << 400;
    QTest::newRow("other format") << get("/v2/datapoint?product_key=tst-dps-ok&format=xml") << 400;
    QTest::newRow("POST") << QByteArray("POST " + ok + " HTTP/1.1\r\nContent-Length: 0\r\n\r\n") << 405;
    QTest::newRow("HEAD") << QByteArray("HEAD " + ok + " HTTP/1.1\r\n\r\n") << 405;
    QTest::newRow("other path") << get("/v2/datapoints?product_key=tst-dps-ok&format=json") << 404;
    QTest::newRow("root") << get("/") << 404;
    QTest::newRow("oversized") << QByteArray("GET " + ok + " HTTP/1.1\r\nX: " + QByteArray(20000, 'a')
                                             + "\r\n\r\n") << 431;
    QTest::newRow("oversized, no end") << QByteArray(20000, 'G') << 431;
}

void TestDatapointService::refusesBadRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const QByteArray answer = HttpExchange::send(port, request);
    QCOMPARE(HttpExchange::status(answer), status);
    const QJsonDocument body = QJsonDocument::fromJson(HttpExchange::body(answer));
    QVERIFY(body.isObject() && body.object().contains("errors"));
    QVERIFY(!answer.contains("secret"));
    QVERIFY(answer.contains("Content-Length: " + QByteArray::number(HttpExchange::body(answer).size()) + "\r\n"));
}

void TestDatapointService::servesSeveralClientsAtOnce()
{
    QVERIFY(writeFile(servedFile("tst-dps-a"), "{\"a\": 1}"));
    QVERIFY(writeFile(servedFile("tst-dps-b"), "{\"b\": 2}"));
    // One client connects and says nothing; the others are answered anyway,
    // each after sending its request in two parts, interleaved.
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(idle.waitForConnected(10000));

    QTcpSocket sockets[4];
    const auto request = [](int i) { return get(definitionTarget(i % 2 ? "tst-dps-b" : "tst-dps-a")); };
    for (int i = 0; i < 4; ++i) {
        sockets[i].connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(sockets[i].waitForConnected(10000));
        sockets[i].write(request(i).left(20));
        QVERIFY(sockets[i].waitForBytesWritten(10000));
    }
    for (int i = 3; i >= 0; --i) {
        sockets[i].write(request(i).mid(20));
        QVERIFY(sockets[i].waitForBytesWritten(10000));
    }
    for (int i = 3; i >= 0; --i) {
        const QByteArray answer = HttpExchange::readUntilClosed(sockets[i]);
        QCOMPARE(HttpExchange::status(answer), 200);
        QCOMPARE(HttpExchange::body(answer), i % 2 ? QByteArray("{\"b\": 2}") : QByteArray("{\"a\": 1}"));
    }
    QCOMPARE(idle.state(), QAbstractSocket::ConnectedState);
}

void TestDatapointService::logsOneLinePerRequest()
{
    HttpExchange::send(port, get(definitionTarget("tst-dps-log")));
    HttpExchange::send(port, "BREW /pot HTTP/1.1\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(serviceLog.contains("BREW"), 10000);
    QCOMPARE(serviceLog.count("tst-dps-log") + serviceLog.count("BREW"), 2);
    QVERIFY(serviceLog.contains("\"GET /v2/datapoint?product_key=tst-dps-log&format=json HTTP/1.1\" 404 "));
    QVERIFY(serviceLog.contains("\"BREW /pot HTTP/1.1\" 405 "));
}

void TestDatapointService::rejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("port not a number") << QStringList{"--port", "eighty"};
    QTest::newRow("port too large") << QStringList{"--port", "70000"};
    QTest::newRow("bad address") << QStringList{"--bind", "localhost:1"};
    QTest::newRow("no folder") << QStringList{"--dir", root.filePath("none")};
}

void TestDatapointService::rejectsBadOptions()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service", arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().startsWith("vok-datapoint-service: "));
}

void TestDatapointService::fetchOutcomes_data()
{
    const QByteArray definition = "{ \"entities\" : [] ,\n \"名称\": \"加湿器\" }  \n";
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("served"); // null: the service knows no such key
    QTest::addColumn<QVariantList>("stats");
    QTest::addColumn<QByteArray>("cached"); // what the cache file holds before and after
    QTest::newRow("definition") << "tst-dps-def" << definition << QVariantList{true} << definition;
    QTest::newRow("errors object keeps the old file")
        << "tst-dps-gone" << QByteArray() << QVariantList{false} << QByteArray("{\"old\": true}");
    QTest::newRow("array") << "tst-dps-odd" << QByteArray("[]") << QVariantList() << QByteArray();
    QTest::newRow("truncated") << "tst-dps-odd" << QByteArray("{\"entities\": [") << QVariantList()
                               << QByteArray();
    // Query delimiters in a key stay part of one query value and of the file name.
    QTest::newRow("key with & and #") << "tst-dps-k&format=xml#x +" << QByteArray("{\"odd\": 1}")
                                      << QVariantList{true} << QByteArray("{\"odd\": 1}");
}

void TestDatapointService::fetchOutcomes()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, served);
    QFETCH(QVariantList, stats);
    QFETCH(QByteArray, cached);
    if (!served.isNull())
        QVERIFY(writeFile(servedFile(key), served));
    if (!cached.isNull() && served != cached) // an older definition is cached
        QVERIFY(writeFile(VokFiles::definitionCache(key), cached));

    Fetcher fetch(port);
    fetch.json.requestJson(key);
    QTRY_VERIFY_WITH_TIMEOUT(fetch.ended(), 20000);
    QVariantList emitted;
    for (const QList<QVariant> &arguments : fetch.stat)
        emitted.append(arguments.at(0));
    QCOMPARE(emitted, stats);
    QCOMPARE(readFile(VokFiles::definitionCache(key)),
             cached.isNull() ? QByteArray("<missing>") : cached);
}

void TestDatapointService::refetchTruncatesAndOverlappingFetchesKeepTheirKeys()
{
    const QByteArray longBody = "{\"entities\": [], \"padding\": \"" + QByteArray(500, 'x') + "\"}";
    QVERIFY(writeFile(servedFile("tst-dps-twice"), longBody));
    Fetcher fetch(port);
    fetch.json.requestJson("tst-dps-twice");
    QVERIFY(fetch.stat.wait(20000));
    QCOMPARE(readFile(VokFiles::definitionCache("tst-dps-twice")), longBody);

    QVERIFY(writeFile(servedFile("tst-dps-twice"), "{}"));
    QVERIFY(writeFile(servedFile("tst-dps-other"), "{\"other\": 2}"));
    fetch.json.requestJson("tst-dps-twice");
    fetch.json.requestJson("tst-dps-other");
    QTRY_COMPARE_WITH_TIMEOUT(fetch.stat.count(), 3, 20000);
    QVERIFY(fetch.stat[1][0].toBool() && fetch.stat[2][0].toBool());
    QCOMPARE(readFile(VokFiles::definitionCache("tst-dps-twice")), QByteArray("{}"));
    QCOMPARE(readFile(VokFiles::definitionCache("tst-dps-other")), QByteArray("{\"other\": 2}"));
}

void TestDatapointService::keyCannotLeaveTheCacheFolder()
{
    // A service that accepts any key still cannot make the tool write outside json/.
    QTcpServer anyKey;
    QVERIFY(anyKey.listen(QHostAddress::LocalHost));
    connect(&anyKey, &QTcpServer::newConnection, this, [&anyKey] {
        QTcpSocket *socket = anyKey.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            if (!socket->peek(4096).contains("\r\n\r\n"))
                return;
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
            socket->disconnectFromHost();
        });
    });
    Fetcher fetch(anyKey.serverPort());
    fetch.json.requestJson("../tst-dps-escape");
    QTRY_VERIFY_WITH_TIMEOUT(fetch.ended(), 20000);
    QCOMPARE(fetch.stat.count(), 0);
    QVERIFY(!QFile::exists(files.filePath("tst-dps-escape.json")));

    // The same service does serve a plain key.
    fetch.json.requestJson("tst-dps-plain");
    QVERIFY(fetch.stat.wait(20000));
    QCOMPARE(readFile(VokFiles::definitionCache("tst-dps-plain")), QByteArray("{}"));
}

void TestDatapointService::unreachableServiceGivesNoSignal()
{
    quint16 deadPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        deadPort = probe.serverPort();
    }
    // One fetch to a closed port; one to a service that accepts the
    // connection and never answers, which must still end.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    Fetcher dead(deadPort);
    Fetcher unanswered(silent.serverPort());
    unanswered.json.setFetchTimeout(500);
    dead.json.requestJson("tst-dps-dead");
    unanswered.json.requestJson("tst-dps-silent");
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(dead.ended() && unanswered.ended(), 60000);
    QCOMPARE(dead.stat.count() + unanswered.stat.count(), 0);
    QVERIFY(!QFile::exists(VokFiles::definitionCache("tst-dps-dead")));
    QVERIFY(!QFile::exists(VokFiles::definitionCache("tst-dps-silent")));
}

QTEST_GUILESS_MAIN(TestDatapointService)
#include "tst_datapointservice.moc"
