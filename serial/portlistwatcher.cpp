#include "serial/portlistwatcher.h"

#include <QFileSystemWatcher>
#include <QSerialPortInfo>
#include <QTimer>

std::shared_ptr<PortListWatcher> PortListWatcher::shared()
{
    static std::weak_ptr<PortListWatcher> instance;
    std::shared_ptr<PortListWatcher> watcher = instance.lock();
    if (!watcher) {
        watcher.reset(new PortListWatcher);
        instance = watcher;
    }
    return watcher;
}

PortListWatcher::PortListWatcher()
{
    qRegisterMetaType<QList<QString>>("QList<QString>"); // crosses to the listeners' thread
    auto *timer = new QTimer;
    timer->setInterval(1000);
    timer->moveToThread(&thread);
    // The lambdas have the timer as context, so they run on the thread.
    // Enumerating costs a good part of a percent of a core each time; ports
    // come and go with their device files, so /dev changing is the cue.
    auto devChanged = std::make_shared<bool>(true);
    connect(&thread, &QThread::started, timer, [timer, devChanged] {
        auto *dev = new QFileSystemWatcher({QStringLiteral("/dev")}, timer);
        connect(dev, &QFileSystemWatcher::directoryChanged, timer, [devChanged] { *devChanged = true; });
        timer->start();
    });
    connect(timer, &QTimer::timeout, timer, [this, devChanged, names = QList<QString>()]() mutable {
        if (*devChanged) {
            *devChanged = false;
            names.clear();
            const auto ports = QSerialPortInfo::availablePorts();
            for (const QSerialPortInfo &info : ports)
                names.append(info.portName());
        }
        emit listed(names);
    });
    connect(&thread, &QThread::finished, timer, &QObject::deleteLater);
    thread.start();
}

PortListWatcher::~PortListWatcher()
{
    thread.quit();
    thread.wait();
}
