// vok-datapoint-service: serves the datapoint definition documents of a
// folder over HTTP, standing in for the cloud service on this machine.

#include "datapointservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char *argv[])
{
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
        QStringLiteral("Folder of <product key>.json files (default: datapoints/ beside this program)."),
        QStringLiteral("folder"), QCoreApplication::applicationDirPath() + "/datapoints");
    parser.addOptions({portOption, bindOption, dirOption});
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
    const QFileInfo folder(parser.value(dirOption));
    if (!folder.isDir()) {
        err << "vok-datapoint-service: no such folder: " << parser.value(dirOption) << Qt::endl;
        return 2;
    }

    DatapointService service(folder.absoluteFilePath());
    if (!service.listen(address, quint16(port))) {
        err << "vok-datapoint-service: cannot listen on " << address.toString() << ':' << port
            << ": " << service.errorString() << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << "vok-datapoint-service listening on " << address.toString() << ':'
                        << service.port() << ", serving " << folder.absoluteFilePath() << Qt::endl;
    return app.exec();
}
