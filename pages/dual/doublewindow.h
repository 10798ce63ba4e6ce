#ifndef DOUBLEWINDOW_H
#define DOUBLEWINDOW_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class VokSerialPort;
class QComboBox;
class QPushButton;
class QTextEdit;

namespace Ui {
class DoubleWindow;
}

// Two serial ports side by side (COM1 left, COM2 right): received bytes are
// shown as hexadecimal with a time-stamped line at every frame header, typed
// hexadecimal text and preset frames are sent, and in double mode every
// received chunk is passed on to the other port.
class DoubleWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DoubleWindow(QWidget *parent = nullptr);
    ~DoubleWindow() override;

    // Closes whichever port is open and resets both open buttons.
    void closePorts();
    // Empties both receive areas; bytes still held back appear at the next flush.
    void clearReceive();
    // Writes the bytes of hexText to "COM1" or "COM2" if that port is open.
    void sendHex(const QString &portName, const QString &hexText);
    // Name of the open port of pane 0 (COM1) or 1 (COM2); empty when closed.
    QString portName(int pane) const;

signals:
    // Every chunk received on pane 0 (COM1) or 1 (COM2), after it is relayed.
    void bytesReceived(int pane, const QByteArray &bytes);

private slots:
    void UpdateUi(QList<QString> ComList);
    void on_pushButton_open1_clicked();
    void on_pushButton_open2_clicked();
    void com1OnDataReady(QByteArray Data);
    void com2OnDataReady(QByteArray Data);
    void readbuf1();
    void readbuf2();
    void on_pushButton_double_clicked();
    void on_pushButton_left1_clicked();
    void on_pushButton_left2_clicked();
    void on_pushButton_left3_clicked();
    void on_pushButton_left4_clicked();
    void on_pushButton_right1_clicked();
    void on_pushButton_right2_clicked();
    void on_pushButton_right3_clicked();
    void on_pushButton_right4_clicked();
    void on_pushButton_v3_clicked();
    void on_pushButton_v4_clicked();
    void on_pushButton_send1_clicked();
    void on_pushButton_send2_clicked();

private:
    void toggleOpen(VokSerialPort *port, QComboBox *name, QComboBox *rate, QComboBox *data,
                    QComboBox *stop, QComboBox *parity, QPushButton *button);
    void receive(const QByteArray &data, QByteArray &held, QString &unshown, QTextEdit *area,
                 VokSerialPort *relayTo);
    void flush(QByteArray &held, QString &unshown);
    void scheduleShow();
    void showText();
    void setPresets(const QStringList &lines);

    Ui::DoubleWindow *ui;
    VokSerialPort *com1;
    VokSerialPort *com2;
    QByteArray held1;
    QByteArray held2;
    QTimer flushTimer1;
    QTimer flushTimer2;
    // Text made from received bytes that the areas do not hold yet: on a
    // busy line it goes in together, a few times a second (see scheduleShow).
    QString unshown1;
    QString unshown2;
    QTimer showTimer;
    QElapsedTimer sinceShown;
    bool doubleMode = true;
};

#endif // DOUBLEWINDOW_H
