// The local datapoint service over real HTTP on 127.0.0.1, and VokJson
// fetching definitions from it.

#include "datapoint/vokjson.h"

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

struct HttpAnswer
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    bool closedByServer = false;
};

// Reads one answer until the service closes the connection.
HttpAnswer readAnswer(QTcpSocket &socket)
{
    QByteArray data;
    QElapsedTimer elapsed;
    elapsed.start();
    while (socket.state() == QAbstractSocket::ConnectedState && elapsed.elapsed() < 20000) {
        socket.waitForReadyRead(500);
        data += socket.readAll();
    }
    data += socket.readAll();
    HttpAnswer answer;
    answer.closedByServer = socket.state() == QAbstractSocket::UnconnectedState;
    const int headEnd = data.indexOf("\r\n\r\n");
    answer.head = data.left(headEnd);
    answer.body = headEnd < 0 ? QByteArray() : data.mid(headEnd + 4);
    const QList<QByteArray> statusLine = answer.head.left(answer.head.indexOf("\r\n")).split(' ');
    if (statusLine.size() >= 2 && statusLine[0] == "HTTP/1.1")
        answer.status = statusLine[1].toInt();
    return answer;
}

QByteArray get(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

QByteArray definitionTarget(const QByteArray &encodedKey)
{
    return "/v2/datapoint?product_key=" + encodedKey + "&format=json";
}

bool isErrorsObject(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isObject() && document.object().contains("errors");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

QString cacheFile(const QString &key)
{
    return QCoreApplication::applicationDirPath() + "/json/" + key + ".json";
}

// True once every fetch of json has ended (each keeps a network manager until then).
bool fetchesEnded(const VokJson &json)
{
    return json.findChildren<QNetworkAccessManager *>().isEmpty();
}

} // namespace

class TestDatapointService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void servesDefinitionByteForByte();
    void unknownKeyAnswersErrorsObject();
    void neverServesFilesOutsideItsFolder_data();
    void neverServesFilesOutsideItsFolder();
    void refusesOtherRequests_data();
    void refusesOtherRequests();
    void servesSeveralClientsAtOnce();
    void logsOneLinePerRequest();
    void rejectsBadOptions_data();
    void rejectsBadOptions();

    void fetchStoresExactBodyAndParses();
    void errorsObjectKeepsTheCacheFile();
    void nonObjectBodiesAreIgnored_data();
    void nonObjectBodiesAreIgnored();
    void refetchTruncatesTheCacheFile();
    void overlappingFetchesKeepTheirOwnKeys();
    void keyIsOneQueryValue();
    void keyCannotLeaveTheCacheFolder();
    void deadPortGivesNoSignal();
    void silentServiceTimesOut();

private:
    HttpAnswer exchange(const QByteArray &request);
    QString servedFile(const QString &key) const { return served.filePath(key + ".json"); }
    QString serviceHost() const { return QString("127.0.0.1:%1").arg(port); }

    QTemporaryDir root;
    QDir served;
    QProcess service;
    QByteArray serviceLog;
    quint16 port = 0;
};

void TestDatapointService::initTestCase()
{
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkdir("served"));
    served.setPath(root.filePath("served"));
    QVERIFY(writeFile(root.filePath("secret.json"), "{\"secret\": true}"));
    QVERIFY(QFile::link(root.filePath("secret.json"), servedFile("link")));

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

void TestDatapointService::cleanup()
{
    const QDir cache(QCoreApplication::applicationDirPath() + "/json");
    for (const QString &name : cache.entryList({"tst-dps-*"}, QDir::Files))
        QFile::remove(cache.filePath(name));
    QFile::remove(QCoreApplication::applicationDirPath() + "/tst-dps-escape.json");
}

HttpAnswer TestDatapointService::exchange(const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    return readAnswer(socket);
}

void TestDatapointService::servesDefinitionByteForByte()
{
    const QByteArray body = "{ \"entities\" : [] ,\n \"名称\": \"加湿器\" }  \n";
    QVERIFY(writeFile(servedFile("tst-dps-ok"), body));
    const HttpAnswer answer = exchange(get(definitionTarget("tst-dps-ok")));
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.body, body);
    QVERIFY(answer.head.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
    QVERIFY(answer.closedByServer);
}

void TestDatapointService::unknownKeyAnswersErrorsObject()
{
    const HttpAnswer answer = exchange(get(definitionTarget("tst-dps-nothing")));
    QCOMPARE(answer.status, 404);
    QVERIFY(isErrorsObject(answer.body));
    QVERIFY(answer.closedByServer);
}

void TestDatapointService::neverServesFilesOutsideItsFolder_data()
{
    const QByteArray secret = root.filePath("secret").toUtf8();
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("parent") << QByteArray("../secret");
    QTest::newRow("parent, encoded") << QByteArray("..%2Fsecret");
    QTest::newRow("absolute") << secret;
    QTest::newRow("absolute, encoded") << QUrl::toPercentEncoding(QString::fromUtf8(secret));
    QTest::newRow("backslash") << QByteArray("..%5Csecret");
    QTest::newRow("link out of the folder") << QByteArray("link");
}

void TestDatapointService::neverServesFilesOutsideItsFolder()
{
    QFETCH(QByteArray, key);
    const HttpAnswer answer = exchange(get(definitionTarget(key)));
    QCOMPARE(answer.status, 404);
    QVERIFY(isErrorsObject(answer.body));
    QVERIFY(!answer.body.contains("secret"));
}

void TestDatapointService::refusesOtherRequests_data()
{
    QVERIFY(writeFile(servedFile("tst-dps-ok"), "{}"));
    const QByteArray ok = definitionTarget("tst-dps-ok");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
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

void TestDatapointService::refusesOtherRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const HttpAnswer answer = exchange(request);
    QCOMPARE(answer.status, status);
    QVERIFY(isErrorsObject(answer.body));
    QVERIFY(answer.closedByServer);
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

    const int clients = 4;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < clients; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(sockets.back()->waitForConnected(10000));
    }
    const auto request = [](int i) { return get(definitionTarget(i % 2 ? "tst-dps-b" : "tst-dps-a")); };
    for (int i = 0; i < clients; ++i) {
        sockets[i]->write(request(i).left(20));
        QVERIFY(sockets[i]->waitForBytesWritten(10000));
    }
    for (int i = clients - 1; i >= 0; --i) {
        sockets[i]->write(request(i).mid(20));
        QVERIFY(sockets[i]->waitForBytesWritten(10000));
    }
    for (int i = clients - 1; i >= 0; --i) {
        const HttpAnswer answer = readAnswer(*sockets[i]);
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.body, i % 2 ? QByteArray("{\"b\": 2}") : QByteArray("{\"a\": 1}"));
    }
    QCOMPARE(idle.state(), QAbstractSocket::ConnectedState);
}

void TestDatapointService::logsOneLinePerRequest()
{
    exchange(get(definitionTarget("tst-dps-log")));
    exchange("BREW /pot HTTP/1.1\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(serviceLog.contains("tst-dps-log") && serviceLog.contains("BREW"), 10000);
    QByteArrayList keyLines, brewLines;
    for (const QByteArray &line : serviceLog.split('\n')) {
        if (line.contains("tst-dps-log"))
            keyLines.append(line);
        if (line.contains("BREW"))
            brewLines.append(line);
    }
    QCOMPARE(keyLines.size(), 1);
    QVERIFY(keyLines[0].contains("\"GET /v2/datapoint?product_key=tst-dps-log&format=json HTTP/1.1\" 404 "));
    QCOMPARE(brewLines.size(), 1);
    QVERIFY(brewLines[0].contains("\"BREW /pot HTTP/1.1\" 405 "));
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

void TestDatapointService::fetchStoresExactBodyAndParses()
{
    const QString sample = QCoreApplication::applicationDirPath()
                           + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json";
    QVERIFY(QFile::copy(sample, servedFile("tst-dps-sample")));

    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-sample");
    QVERIFY(stat.wait(20000));
    QCOMPARE(stat.count(), 1);
    QCOMPARE(stat[0][0].toBool(), true);
    QCOMPARE(readFile(cacheFile("tst-dps-sample")), readFile(sample));

    json.parseJson("tst-dps-sample");
    QCOMPARE(json.dataPoints().size(), 19);
    QCOMPARE(json.statusTemplate().size(), 28);
    QTRY_VERIFY(fetchesEnded(json));
}

void TestDatapointService::errorsObjectKeepsTheCacheFile()
{
    QVERIFY(writeFile(cacheFile("tst-dps-gone"), "{\"old\": true}"));
    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-gone");
    QVERIFY(stat.wait(20000));
    QCOMPARE(stat[0][0].toBool(), false);
    QCOMPARE(readFile(cacheFile("tst-dps-gone")), QByteArray("{\"old\": true}"));
}

void TestDatapointService::nonObjectBodiesAreIgnored_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("array") << QByteArray("[]");
    QTest::newRow("truncated") << QByteArray("{\"entities\": [");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("html") << QByteArray("<html><body>busy</body></html>");
}

void TestDatapointService::nonObjectBodiesAreIgnored()
{
    QFETCH(QByteArray, body);
    QVERIFY(writeFile(servedFile("tst-dps-odd"), body));
    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-odd");
    QTRY_VERIFY_WITH_TIMEOUT(fetchesEnded(json), 20000);
    QCOMPARE(stat.count(), 0);
    QVERIFY(!QFile::exists(cacheFile("tst-dps-odd")));
}

void TestDatapointService::refetchTruncatesTheCacheFile()
{
    const QByteArray longBody = "{\"entities\": [], \"padding\": \"" + QByteArray(500, 'x') + "\"}";
    QVERIFY(writeFile(servedFile("tst-dps-twice"), longBody));
    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-twice");
    QVERIFY(stat.wait(20000));
    QCOMPARE(readFile(cacheFile("tst-dps-twice")), longBody);

    QVERIFY(writeFile(servedFile("tst-dps-twice"), "{}"));
    json.requestJson("tst-dps-twice");
    QVERIFY(stat.wait(20000));
    QCOMPARE(stat.count(), 2);
    QCOMPARE(stat[1][0].toBool(), true);
    QCOMPARE(readFile(cacheFile("tst-dps-twice")), QByteArray("{}"));
}

void TestDatapointService::overlappingFetchesKeepTheirOwnKeys()
{
    QVERIFY(writeFile(servedFile("tst-dps-first"), "{\"first\": 1}"));
    QVERIFY(writeFile(servedFile("tst-dps-second"), "{\"second\": 2}"));
    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-first");
    json.requestJson("tst-dps-second");
    QTRY_COMPARE_WITH_TIMEOUT(stat.count(), 2, 20000);
    QCOMPARE(readFile(cacheFile("tst-dps-first")), QByteArray("{\"first\": 1}"));
    QCOMPARE(readFile(cacheFile("tst-dps-second")), QByteArray("{\"second\": 2}"));
}

void TestDatapointService::keyIsOneQueryValue()
{
    // A key holding query delimiters stays one value and names its own file.
    const QString key = "tst-dps-k&format=xml#x +";
    QVERIFY(writeFile(servedFile(key), "{\"odd key\": true}"));
    VokJson json;
    json.setServiceHost(serviceHost());
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson(key);
    QVERIFY(stat.wait(20000));
    QCOMPARE(stat[0][0].toBool(), true);
    QCOMPARE(readFile(cacheFile(key)), QByteArray("{\"odd key\": true}"));
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
    VokJson json;
    json.setServiceHost(QString("127.0.0.1:%1").arg(anyKey.serverPort()));
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("../tst-dps-escape");
    QTRY_VERIFY_WITH_TIMEOUT(fetchesEnded(json), 20000);
    QCOMPARE(stat.count(), 0);
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/tst-dps-escape.json"));

    // The same service does serve a plain key.
    json.requestJson("tst-dps-plain");
    QVERIFY(stat.wait(20000));
    QCOMPARE(readFile(cacheFile("tst-dps-plain")), QByteArray("{}"));
}

void TestDatapointService::deadPortGivesNoSignal()
{
    quint16 deadPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        deadPort = probe.serverPort();
    }
    VokJson json;
    json.setServiceHost(QString("127.0.0.1:%1").arg(deadPort));
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-dead");
    QTRY_VERIFY_WITH_TIMEOUT(fetchesEnded(json), 20000);
    QCOMPARE(stat.count(), 0);
    QVERIFY(!QFile::exists(cacheFile("tst-dps-dead")));
}

void TestDatapointService::silentServiceTimesOut()
{
    // Accepts the connection and never answers: the fetch must still end.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    VokJson json;
    json.setServiceHost(QString("127.0.0.1:%1").arg(silent.serverPort()));
    QSignalSpy stat(&json, &VokJson::json_stat);
    json.requestJson("tst-dps-silent");
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(fetchesEnded(json), 60000);
    QCOMPARE(stat.count(), 0);
    QVERIFY(!QFile::exists(cacheFile("tst-dps-silent")));
}

QTEST_GUILESS_MAIN(TestDatapointService)
#include "tst_datapointservice.moc"
