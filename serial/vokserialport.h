#ifndef VOKSERIALPORT_H
#define VOKSERIALPORT_H

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>
#include <QTimer>

// The one serial port class of the tool: polls the list of ports once a
// second, opens a port with the settings the pages' combo boxes give, and
// hands every received chunk out as DataReady.
class VokSerialPort : public QSerialPort, public QSerialPortInfo
{
    Q_OBJECT
public:
    VokSerialPort();

    // Opens portName (an enumerated port, or else any device path or name
    // the system knows) and applies the settings. The indexes follow the
    // combo boxes: data bits 5/6/7/8, stop bits 1/1.5/2, parity
    // None/Odd/Even/Space; an index outside its table leaves that setting.
    bool openCom(const QString &portName, const QString &baudRate, int dataBitsIndex,
                 int stopBitsIndex, int parityIndex);
    void closeCom();
    // The name or path openCom was last given, as the user typed or chose it.
    QString openedName() const { return nameOpened; }

signals:
    void ComListChange(QList<QString>);
    void DataReady(QByteArray);

private slots:
    void getComList();
    void readComData();

private:
    void applySettings(const QString &baudRate, int dataBitsIndex, int stopBitsIndex,
                       int parityIndex);

    QList<QString> comList;
    QString nameOpened;
    QTimer pollTimer;
};

#endif // VOKSERIALPORT_H
