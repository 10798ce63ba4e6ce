#include "serial/vokserialport.h"

#include <iterator>

VokSerialPort::VokSerialPort() : QSerialPort(nullptr)
{
    pollTimer.setInterval(1000);
    connect(&pollTimer, &QTimer::timeout, this, &VokSerialPort::getComList);
    pollTimer.start();
}

void VokSerialPort::getComList()
{
    QList<QString> names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    if (comList.isEmpty() || comList != names) {
        comList = names;
        emit ComListChange(comList);
    }
}

bool VokSerialPort::openCom(const QString &portName, const QString &baudRate,
                            int dataBitsIndex, int stopBitsIndex, int parityIndex)
{
    if (portName.isEmpty())
        return false;
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
    if (!open(QIODevice::ReadWrite))
        return false;
    nameOpened = portName;
    applySettings(baudRate, dataBitsIndex, stopBitsIndex, parityIndex);
    connect(this, &QSerialPort::readyRead, this, &VokSerialPort::readComData);
    return true;
}

void VokSerialPort::applySettings(const QString &baudRate, int dataBitsIndex,
                                  int stopBitsIndex, int parityIndex)
{
    // The driver may refuse a value; the port stays open with what it has.
    setBaudRate(baudRate.toInt());

    static const DataBits dataBits[] = {Data5, Data6, Data7, Data8};
    static const StopBits stopBits[] = {OneStop, OneAndHalfStop, TwoStop};
    static const Parity parities[] = {NoParity, OddParity, EvenParity, SpaceParity};
    if (dataBitsIndex >= 0 && dataBitsIndex < int(std::size(dataBits)))
        setDataBits(dataBits[dataBitsIndex]);
    if (stopBitsIndex >= 0 && stopBitsIndex < int(std::size(stopBits)))
        setStopBits(stopBits[stopBitsIndex]);
    if (parityIndex >= 0 && parityIndex < int(std::size(parities)))
        setParity(parities[parityIndex]);
}

void VokSerialPort::readComData()
{
    emit DataReady(readAll());
}

void VokSerialPort::closeCom()
{
    disconnect(this, &QSerialPort::readyRead, this, &VokSerialPort::readComData);
    close();
}
