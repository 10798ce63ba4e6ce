#include "app/mainwindow.h"
#include "pages/mcu/mcuwindow.h"
#include "protocol/vokfiles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QScopedPointer>
#include <QTextStream>
#include <QTranslator>

namespace {

const QStringList pageNames{QStringLiteral("dual"), QStringLiteral("mcu"), QStringLiteral("tool")};

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vok-serial-tool-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The texts are Chinese unless the system's language has a translation
// beside the program; Qt's own texts (standard buttons, file dialogs) follow
// the language the interface then speaks.
void installTranslations(QCoreApplication *app)
{
    auto *own = new QTranslator(app);
    const bool translated = own->load(QLocale(), QStringLiteral("vok-serial-tool"),
                                      QStringLiteral("_"),
                                      VokFiles::shippedRoot() + QStringLiteral("/translations"));
    if (translated)
        app->installTranslator(own);
    auto *qt = new QTranslator(app);
    if (qt->load(translated ? QLocale() : QLocale(QLocale::Chinese, QLocale::China),
                 QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app->installTranslator(qt);
}

// --help and --version only print, so they need no display.
QCoreApplication *createApplication(int &argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (qstrcmp(argv[i], option) == 0)
                return new QCoreApplication(argc, argv);
        }
    }
    return new QApplication(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    // Both only take effect when set before the application object exists.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QScopedPointer<QCoreApplication> app(createApplication(argc, argv));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOK_VERSION));
    installTranslations(app.data());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serial port debugging tool for the Wi-Fi module protocol (version 4)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption pageOption(QStringLiteral("page"),
                                        QStringLiteral("Page shown first: dual, mcu or tool."),
                                        QStringLiteral("page"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Port name or device path for the MCU page."),
        QStringLiteral("name"));
    const QCommandLineOption openOption(QStringLiteral("open"),
                                        QStringLiteral("Open the MCU page's port at start."));
    const QCommandLineOption keyOption(
        QStringLiteral("product-key"),
        QStringLiteral("Store the product key and fetch its datapoint definition, as the "
                       "MCU page's save button does."),
        QStringLiteral("key"));
    parser.addOptions({pageOption, portOption, openOption, keyOption});
    parser.process(*app); // ends the program after --help or --version

    const int page = pageNames.indexOf(parser.value(pageOption));
    if (parser.isSet(pageOption) && page < 0) {
        QTextStream(stderr) << "vok-serial-tool: unknown page '" << parser.value(pageOption)
                            << "' (dual, mcu or tool)" << Qt::endl;
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "vok-serial-tool: unexpected argument '"
                            << parser.positionalArguments().first() << "'" << Qt::endl;
        return 2;
    }

    QApplication::setWindowIcon(programIcon());
    MainWindow window;
    window.show();
    McuWindow *mcu = window.mcuWindow();
    // The key first, so that entering the MCU page finds it stored; the
    // page before the port, since leaving the MCU page closes its port.
    if (parser.isSet(keyOption))
        mcu->saveProductKey(parser.value(keyOption));
    if (page >= 0)
        window.showPage(page);
    if (parser.isSet(portOption))
        mcu->setPortName(parser.value(portOption));
    if (parser.isSet(openOption))
        mcu->openPort();
    return app->exec();
}
