#ifndef RECORDCONTROL_H
#define RECORDCONTROL_H

#include "serial/capturewriter.h"

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QToolButton;
class QWidget;
class VokSerialPort;

// A page's recording: the form's record button (click: start or stop; its
// menu: start whenever a port opens, choose the folder, open the folder)
// and the capture it writes for the ports it watches. The folder and the
// automatic start are remembered per user.
class RecordControl : public QObject
{
    Q_OBJECT
public:
    // settingsGroup keeps the automatic start of each page apart.
    RecordControl(QToolButton *button, const QString &settingsGroup, QWidget *page);

    // Records every chunk the port receives or writes, and its loss and return.
    // Call it before anything else connects to the port, so that a received
    // chunk is recorded before what is written in answer to it.
    void watch(VokSerialPort *port);
    // The page opened or closed a watched port.
    void portOpened(VokSerialPort *port);
    void portClosed(VokSerialPort *port);
    void note(const QString &port, const QString &text);

    CaptureWriter &capture() { return writer; }

signals:
    // A line for the page to show: where recording goes, or why it stopped.
    void notice(const QString &text);

private:
    void setRecording(bool on);
    void chooseFolder();
    QString openPortNames() const;

    QToolButton *button;
    QWidget *page;
    QAction *autoStart;
    QString group;
    CaptureWriter writer;
    QList<VokSerialPort *> ports;
};

#endif // RECORDCONTROL_H
