#include "serial/vokserialport.h"

#include "serial/portlistwatcher.h"

#include <QFileInfo>

#include <iterator>

VokSerialPort::VokSerialPort() : QSerialPort(nullptr), watcher(PortListWatcher::shared())
{
    connect(watcher.get(), &PortListWatcher::listed, this, &VokSerialPort::getComList);
    connect(this, &QSerialPort::errorOccurred, this, &VokSerialPort::onError);
}

VokSerialPort::~VokSerialPort() = default;

void VokSerialPort::getComList(const QList<QString> &names)
{
    if (comList.isEmpty() || comList != names) {
        comList = names;
        emit ComListChange(comList);
    }
    tryReopen(names);
}

bool VokSerialPort::openCom(const QString &portName, const QString &baudRate,
                            int dataBitsIndex, int stopBitsIndex, int parityIndex)
{
    if (portName.isEmpty()) {
        lastOpenError = tr("没有串口名");
        return false;
    }
    QSerialPortInfo found;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (info.portName() == portName) {
            found = info;
            break;
        }
    }
    // A port the enumeration does not list (a pseudo-terminal, a link, a
    // device it missed) is opened by its name or path.
    if (found.isNull())
        setPortName(portName);
    else
        setPort(found);
    if (!open(QIODevice::ReadWrite)) {
        lastOpenError = errorString();
        return false;
    }
    settings = {portName, baudRate, dataBitsIndex, stopBitsIndex, parityIndex};
    waitingForReturn = false;
    lostPending = false;
    applySettings();
    connect(this, &QSerialPort::readyRead, this, &VokSerialPort::readComData);
    return true;
}

void VokSerialPort::applySettings()
{
    // The driver may refuse a value; the port stays open with what it has.
    setBaudRate(settings.baudRate.toInt());

    static const DataBits dataBits[] = {Data5, Data6, Data7, Data8};
    static const StopBits stopBits[] = {OneStop, OneAndHalfStop, TwoStop};
    static const Parity parities[] = {NoParity, OddParity, EvenParity, SpaceParity};
    const int data = settings.dataBitsIndex;
    const int stop = settings.stopBitsIndex;
    const int parity = settings.parityIndex;
    if (data >= 0 && data < int(std::size(dataBits)))
        setDataBits(dataBits[data]);
    if (stop >= 0 && stop < int(std::size(stopBits)))
        setStopBits(stopBits[stop]);
    if (parity >= 0 && parity < int(std::size(parities)))
        setParity(parities[parity]);
}

QString VokSerialPort::settingsText() const
{
    static const char parityLetters[] = "NNEOSM"; // by QSerialPort::Parity value
    const int parityValue = parity();
    const char letter = parityValue >= 0 && parityValue < 6 ? parityLetters[parityValue] : '?';
    const QString stop = stopBits() == OneAndHalfStop ? QStringLiteral("1.5")
                                                      : QString::number(int(stopBits()));
    return QStringLiteral("%1 %2%3%4")
        .arg(baudRate())
        .arg(int(dataBits()))
        .arg(QLatin1Char(letter))
        .arg(stop);
}

void VokSerialPort::readComData()
{
    emit DataReady(readAll());
}

qint64 VokSerialPort::writeData(const char *data, qint64 maxSize)
{
    const qint64 written = QSerialPort::writeData(data, maxSize);
    if (written > 0)
        emit DataSent(QByteArray(data, int(written)));
    return written;
}

void VokSerialPort::closeCom()
{
    waitingForReturn = false;
    disconnect(this, &QSerialPort::readyRead, this, &VokSerialPort::readComData);
    close();
}

void VokSerialPort::onError(QSerialPort::SerialPortError error)
{
    // A device that went away (or a line that hung up) reports its error
    // again at every poll of the event loop, thousands of times a second,
    // until the port is closed; the first report is enough. Closing waits
    // for the event loop: the port is still inside its read when it reports.
    const bool forGood = error == ResourceError || error == ReadError || error == WriteError;
    if (!forGood || !isOpen() || lostPending)
        return;
    lostPending = true;
    const QString reason = errorString();
    QMetaObject::invokeMethod(this, [this, reason] { dropLostPort(reason); }, Qt::QueuedConnection);
}

void VokSerialPort::dropLostPort(const QString &reason)
{
    if (!isOpen())
        return;
    closeCom();
    clearError();
    waitingForReturn = reopenOnReturn;
    emit Lost(reason);
}

void VokSerialPort::tryReopen(const QList<QString> &names)
{
    if (!waitingForReturn)
        return;
    const QString &name = settings.name;
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    if (!names.contains(name) && !QFileInfo::exists(path))
        return;
    const Settings wanted = settings;
    if (openCom(wanted.name, wanted.baudRate, wanted.dataBitsIndex, wanted.stopBitsIndex,
                wanted.parityIndex))
        emit Reopened();
    else
        waitingForReturn = true; // not ready yet: try again at the next tick
}
