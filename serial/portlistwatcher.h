#ifndef PORTLISTWATCHER_H
#define PORTLISTWATCHER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

// Lists the serial ports once a second for the whole program, on a thread
// of its own, so that the window never waits for the enumeration and any
// number of ports costs one enumeration, done again only after /dev changed. Every port shares the one
// instance that shared() hands out; it goes away with the last port.
class PortListWatcher : public QObject
{
    Q_OBJECT
public:
    static std::shared_ptr<PortListWatcher> shared();
    ~PortListWatcher() override;

signals:
    // Every second: the names of the ports present, in enumeration order.
    void listed(const QList<QString> &names);

private:
    PortListWatcher();

    QThread thread;
};

#endif // PORTLISTWATCHER_H
