// The local datapoint service under load and misuse, over real HTTP on
// 127.0.0.1: a connection limit, a log reader that stalls or goes away,
// and requests whose lines end in LF only.

#include "support/httpexchange.h"
#include "support/testroot.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QByteArray definition = "{\"entities\": []}";
const QByteArray request =
    "GET /v2/datapoint?product_key=tst-abuse&format=json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// Reads what the pipe holds now, waiting up to timeoutMs for the first byte.
QByteArray readPipe(int fd, int timeoutMs)
{
    QByteArray data;
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, data.isEmpty() ? timeoutMs : 0) == 1) {
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        data.append(chunk, int(n));
    }
    return data;
}

// The service, its standard output on a pipe whose read end the test holds.
class Service
{
public:
    Service(const QString &folder, const QStringList &options)
    {
        if (::pipe2(logPipe, O_CLOEXEC) != 0)
            return;
        // A pipe of two pages, so that a hundred lines fill it.
        ::fcntl(logPipe[0], F_SETPIPE_SZ, 8192);
        // The child gets its own descriptor of the pipe's write end.
        process.setStandardOutputFile(QString("/proc/self/fd/%1").arg(logPipe[1]));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationDirPath() + "/vok-datapoint-service",
                      QStringList{"--port", "0", "--dir", folder} + options);
        ::close(logPipe[1]);
        logPipe[1] = -1;
        if (!process.waitForStarted(10000))
            return;
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QByteArray firstLine;
        while (!firstLine.contains('\n')) {
            const QByteArray more = readPipe(logPipe[0], 20000);
            if (more.isEmpty())
                return;
            firstLine += more;
        }
        port = quint16(listening.match(firstLine).captured(1).toUInt());
    }
    ~Service()
    {
        process.kill();
        process.waitForFinished(10000);
        closeLog();
        if (logPipe[1] >= 0)
            ::close(logPipe[1]);
    }

    int logFd() const { return logPipe[0]; }
    void closeLog()
    {
        if (logPipe[0] >= 0)
            ::close(logPipe[0]);
        logPipe[0] = -1;
    }
    bool running() const { return process.state() == QProcess::Running; }

    QByteArray exchange(const QByteArray &bytes) const { return HttpExchange::send(port, bytes); }

    quint16 port = 0;

private:
    QProcess process;
    int logPipe[2] = {-1, -1};
};

} // namespace

class TestServiceAbuse : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void clientsBeyondTheLimitGet503();
    void logReaderThatStallsOrLeavesCostsOnlyLogLines_data();
    void logReaderThatStallsOrLeavesCostsOnlyLogLines();
    void lineEndings_data();
    void lineEndings();

private:
    QTemporaryDir folder;
    std::unique_ptr<Service> shared; // for the line ending rows
};

void TestServiceAbuse::initTestCase()
{
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("tst-abuse.json"), definition));
}

void TestServiceAbuse::clientsBeyondTheLimitGet503()
{
    Service service(folder.path(), {"--max-connections", "3"});
    QVERIFY(service.port != 0);
    QTcpSocket held[3];
    for (QTcpSocket &socket : held) {
        socket.connectToHost(QHostAddress::LocalHost, service.port);
        QVERIFY(socket.waitForConnected(10000));
    }
    // Connections are accepted in order, so the fourth is the one too many,
    // answered at once without a request.
    QTcpSocket extra;
    extra.connectToHost(QHostAddress::LocalHost, service.port);
    QVERIFY(extra.waitForConnected(10000));
    QCOMPARE(HttpExchange::status(HttpExchange::readUntilClosed(extra)), 503);
    QCOMPARE(extra.state(), QAbstractSocket::UnconnectedState);

    for (QTcpSocket &socket : held) {
        socket.write(request);
        const QByteArray answer = HttpExchange::readUntilClosed(socket);
        QCOMPARE(HttpExchange::status(answer), 200);
        QVERIFY(answer.endsWith(definition));
    }
    // Their places are free again once the service has let them go.
    QTRY_COMPARE_WITH_TIMEOUT(HttpExchange::status(service.exchange(request)), 200, 20000);
}

void TestServiceAbuse::logReaderThatStallsOrLeavesCostsOnlyLogLines_data()
{
    QTest::addColumn<bool>("readerGone");
    // 200 log lines are far more than the pipe holds.
    QTest::newRow("reader stalls") << false;
    QTest::newRow("reader gone") << true;
}

void TestServiceAbuse::logReaderThatStallsOrLeavesCostsOnlyLogLines()
{
    QFETCH(bool, readerGone);
    Service service(folder.path(), {});
    QVERIFY(service.port != 0);
    if (readerGone)
        service.closeLog();
    for (int i = 0; i < 200; ++i) {
        const QByteArray answer = service.exchange(request);
        QVERIFY2(HttpExchange::status(answer) == 200, qPrintable(QString("request %1").arg(i)));
    }
    QVERIFY(service.running());
    if (readerGone)
        return;
    // Once the reader catches up, the count of lost lines comes first.
    while (!readPipe(service.logFd(), 0).isEmpty()) {
    }
    QCOMPARE(HttpExchange::status(service.exchange(request)), 200);
    QByteArray log;
    while (!log.contains("\"GET ")) {
        const QByteArray more = readPipe(service.logFd(), 20000);
        QVERIFY(!more.isEmpty());
        log += more;
    }
    const QRegularExpression dropped("^\\((\\d+) log lines dropped\\)\n127\\.0\\.0\\.1 \"GET ");
    const QRegularExpressionMatch match = dropped.match(QString::fromLatin1(log));
    QVERIFY2(match.hasMatch(), log.constData());
    QVERIFY(match.captured(1).toInt() > 0);
}

void TestServiceAbuse::lineEndings_data()
{
    const QByteArray line = "GET /v2/datapoint?product_key=tst-abuse&format=json HTTP/1.1";
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("status");
    QTest::newRow("LF only") << line + "\nHost: 127.0.0.1\n\n" << 200;
    QTest::newRow("LF only, no headers") << line + "\n\n" << 200;
    QTest::newRow("CRLF, then a bare LF") << line + "\r\nHost: 127.0.0.1\r\n\n" << 200;
    QTest::newRow("LF, then CRLF") << line + "\nHost: 127.0.0.1\n\r\n" << 200;
    QTest::newRow("CR only") << line + "\rHost: 127.0.0.1\r\r\n\r\n" << 400;
}

void TestServiceAbuse::lineEndings()
{
    QFETCH(QByteArray, head);
    QFETCH(int, status);
    if (!shared)
        shared = std::make_unique<Service>(folder.path(), QStringList());
    QVERIFY(shared->port != 0);
    QCOMPARE(HttpExchange::status(shared->exchange(head)), status);
    // The log names the request line without its line ending.
    QVERIFY(readPipe(shared->logFd(), 20000).contains(" \"GET /v2/datapoint?"));
}

QTEST_GUILESS_MAIN(TestServiceAbuse)
#include "tst_serviceabuse.moc"
