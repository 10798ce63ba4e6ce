#ifndef DOUBLEWINDOW_H
#define DOUBLEWINDOW_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "pages/dual/receiveformatter.h"

#include <memory>

class RecordControl;
class RememberedFields;
class QCheckBox;
class QSpinBox;
class VokSerialPort;
class QComboBox;
class QPushButton;
class QTextEdit;

namespace Ui {
class DoubleWindow;
}

// Two serial ports side by side (COM1 left, COM2 right): received bytes are
// shown as hexadecimal, text or both with a time-stamped line at every frame
// header, typed hexadecimal or text and preset frames are sent (once or
// repeatedly, optionally shown in the sender's pane), and in double mode
// every received chunk is passed on to the other port. What the user set is
// kept per user between runs.
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
    // Writes what a pane's send box holds, as hex or text as chosen.
    void sendBox(int pane);
    // The name pane 0 (COM1, left) or 1 (COM2, right) was opened with;
    // empty while that port is closed.
    QString portName(int pane) const;

signals:
    // Every chunk received on pane 0 (COM1) or 1 (COM2), before it is shown.
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
    // Text made from received (or, marked, sent) bytes, and how many
    // received bytes it stands for.
    struct Piece
    {
        QString text;
        int bytes = 0;
        bool sent = false;
    };

    // One side of the page: its port, the bytes it holds back, and the text
    // made from received bytes that its area does not show yet.
    struct Pane
    {
        std::unique_ptr<VokSerialPort> port;
        QByteArray held;
        QTimer flushTimer;
        QList<Piece> unshown;
        int unshownChars = 0;
        qint64 skippedBytes = 0; // dropped from unshown since the last show
        ReceiveFormatter formatter;
        QTimer repeatTimer;
        QTextEdit *area = nullptr;
        QTextEdit *sendEdit = nullptr;
        QComboBox *name = nullptr;
        QComboBox *rate = nullptr;
        QComboBox *data = nullptr;
        QComboBox *stop = nullptr;
        QComboBox *parity = nullptr;
        QPushButton *openButton = nullptr;
        QComboBox *view = nullptr;
        QComboBox *sendMode = nullptr;
        QComboBox *lineEnd = nullptr;
        QCheckBox *echo = nullptr;
        QCheckBox *repeat = nullptr;
        QSpinBox *repeatInterval = nullptr;
        QCheckBox *reopen = nullptr;
    };

    void setUpPane(int index);
    void remember(int index);
    void toggleOpen(Pane &pane);
    void portGone(Pane &pane);
    bool sendBytes(Pane &pane, const QByteArray &bytes);
    bool sendBox(Pane &pane);
    void setRepeat(Pane &pane, bool on);
    void addText(Pane &pane, const QString &text, int bytes, bool sent = false);
    void addNotice(Pane &pane, const QString &text);
    void addLine(Pane &pane, const QString &line, bool sent = false);
    void receive(int index, const QByteArray &data);
    void flush(Pane &pane);
    void scheduleShow();
    void showText();
    void setPresets(const QStringList &lines);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::DoubleWindow *ui;
    Pane panes[2];
    RecordControl *recorder;
    RememberedFields *fields;
    QTimer showTimer;
    QElapsedTimer sinceShown;
    bool doubleMode = true;
};

#endif // DOUBLEWINDOW_H
