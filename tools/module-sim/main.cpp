#include "modulesim.h"
#include "quitsignal.h"
#include "simlog.h"
#include "simoptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vok-module-sim");
    QCoreApplication::setApplicationVersion(VOK_VERSION);

    SimOptions options;
    QString message;
    switch (options.parse(app.arguments(), &message)) {
    case SimOptions::ShowHelp:
        std::fputs(message.toUtf8().constData(), stdout);
        return 0;
    case SimOptions::Invalid:
        SimLog::error(message + " (--help lists the options)");
        return 2;
    case SimOptions::Run:
        break;
    }

    ModuleSim sim(options);
    const int early = sim.start();
    if (early >= 0)
        return early;
    // Queued: the run may end before the event loop has started.
    QObject::connect(&sim, &ModuleSim::done, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    QuitSignal quitSignal;
    QObject::connect(&quitSignal, &QuitSignal::received, &sim, &ModuleSim::interrupt);
    return app.exec();
}
