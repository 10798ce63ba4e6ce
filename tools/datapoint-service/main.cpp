// vok-datapoint-service: serves the datapoint definition documents of a
// folder over HTTP, standing in for the cloud service on this machine.

#include "datapointservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>

// datapoints/ beside the program (a build or portable folder), else the one
// shipped under share/vok-serial-tool/ of the installation it is in.
static QString defaultFolder()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath(QStringLiteral("datapoints"));
    const QString installed =
        programDir.filePath(QStringLiteral("../share/vok-serial-tool/datapoints"));
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed)
               ? beside
               : QDir(installed).canonicalPath();
}

int main(int argc, char *argv[])
{
    // A log reader that goes away must not take the service with it.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vok-datapoint-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Answers GET /v2/datapoint?product_key=K&format=json with the file K.json of a folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port to listen on; 0 picks a free one (default 8125)."),
        QStringLiteral("port"), QStringLiteral("8125"));
    const QCommandLineOption bindOption(
        QStringLiteral("bind"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("Folder of <product key>.json files (default: datapoints/ beside this "
                       "program, else share/vok-serial-tool/datapoints of its installation)."),
        QStringLiteral("folder"), defaultFolder());
    const QCommandLineOption maxConnectionsOption(
        QStringLiteral("max-connections"),
        QStringLiteral("Clients served at a time; more are answered 503 (default 500). "
                       "Keep it below the limit of open files (ulimit -n)."),
        QStringLiteral("count"), QStringLiteral("500"));
    parser.addOptions({portOption, bindOption, dirOption, maxConnectionsOption});
    parser.process(app);

    QTextStream err(stderr);
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        err << "vok-datapoint-service: invalid port: " << parser.value(portOption) << Qt::endl;
        return 2;
    }
    QHostAddress address;
    if (!address.setAddress(parser.value(bindOption))) {
        err << "vok-datapoint-service: invalid address: " << parser.value(bindOption) << Qt::endl;
        return 2;
    }
    bool countOk = false;
    const int maxConnections = parser.value(maxConnectionsOption).toInt(&countOk);
    if (!countOk || maxConnections < 1) {
        err << "vok-datapoint-service: invalid connection count: "
            << parser.value(maxConnectionsOption) << Qt::endl;
        return 2;
    }
    const QFileInfo folder(parser.value(dirOption));
    if (!folder.isDir()) {
        err << "vok-datapoint-service: no such folder: " << parser.value(dirOption) << Qt::endl;
        return 2;
    }

    DatapointService service(folder.absoluteFilePath(), maxConnections);
    if (!service.listen(address, quint16(port))) {
        err << "vok-datapoint-service: cannot listen on " << address.toString() << ':' << port
            << ": " << service.errorString() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "vok-datapoint-service listening on " << address.toString() << ':'
                        << service.port() << ", serving " << folder.absoluteFilePath() << Qt::endl;
    return app.exec();
}
