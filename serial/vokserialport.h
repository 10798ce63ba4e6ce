#ifndef VOKSERIALPORT_H
#define VOKSERIALPORT_H

#include <QByteArray>
#include <QList>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>

#include <memory>

class PortListWatcher;

// The one serial port class of the tool: passes on the list of ports once
// a second, opens a port with the settings the pages' combo boxes give,
// hands every received chunk out as DataReady and every written one as
// DataSent. A port whose device goes away is closed and announced as Lost;
// when the same device comes back it is opened again with the same
// settings (unless switched off), announced as Reopened.
class VokSerialPort : public QSerialPort, public QSerialPortInfo
{
    Q_OBJECT
public:
    VokSerialPort();
    ~VokSerialPort() override;

    // Opens portName (an enumerated port, or else any device path or name
    // the system knows) and applies the settings. The indexes follow the
    // combo boxes: data bits 5/6/7/8, stop bits 1/1.5/2, parity
    // None/Odd/Even/Space; an index outside its table leaves that setting.
    bool openCom(const QString &portName, const QString &baudRate, int dataBitsIndex,
                 int stopBitsIndex, int parityIndex);
    void closeCom();
    // Why the last openCom failed, in the system's words.
    QString openError() const { return lastOpenError; }
    // The name or path openCom was last given, as the user typed or chose it.
    QString openedName() const { return settings.name; }
    // The settings in effect, e.g. "115200 8N1".
    QString settingsText() const;
    void setReopenOnReturn(bool on) { reopenOnReturn = on; }

signals:
    void ComListChange(QList<QString>);
    void DataReady(QByteArray);
    void DataSent(QByteArray);
    void Lost(QString reason);
    void Reopened();

protected:
    qint64 writeData(const char *data, qint64 maxSize) override;

private slots:
    void getComList(const QList<QString> &names);
    void readComData();

private:
    struct Settings
    {
        QString name;
        QString baudRate;
        int dataBitsIndex = -1;
        int stopBitsIndex = -1;
        int parityIndex = -1;
    };

    void applySettings();
    void onError(QSerialPort::SerialPortError error);
    void dropLostPort(const QString &reason);
    void tryReopen(const QList<QString> &names);

    std::shared_ptr<PortListWatcher> watcher;
    QList<QString> comList;
    Settings settings;
    QString lastOpenError;
    bool lostPending = false; // an error is being handled: ignore its repeats
    bool waitingForReturn = false;
    bool reopenOnReturn = true;
};

#endif // VOKSERIALPORT_H
