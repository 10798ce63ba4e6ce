#ifndef MCUWINDOW_H
#define MCUWINDOW_H

#include "datapoint/json_struct.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QWidget>

class DataPointTable;
class FrameLog;
class QListWidgetItem;
class QTimer;
class VokAnalyze;
class VokFramer;
class VokJson;
class VokSerialPort;
class VokTool;

namespace Ui {
class McuWindow;
}

// The MCU simulator page: plays the MCU against a Wi-Fi module on one serial
// port. Logs every frame in both directions, answers the module's requests,
// keeps the datapoint table in step with its control frames, reports status
// and explains a clicked log line.
class McuWindow : public QWidget
{
    Q_OBJECT
public:
    explicit McuWindow(QWidget *parent = nullptr);
    ~McuWindow() override;

    // Called by the main window: leaving the page, entering it, F5.
    void closePort();
    void checkProductKey();
    void clearLog();

    // What the port box, the open button and the product key's save button
    // do, for start-up options.
    void setPortName(const QString &name);
    void openPort();
    void saveProductKey(const QString &key);

    // Writes the bytes of hexadecimal text as they are; the caller checks
    // that the port is open.
    void sendHexText(const QString &text);

    // The page's datapoint model, so that a test can point its fetches at a
    // local service.
    VokJson *datapointModel() const { return json; }

private slots:
    void UpdateUi(QList<QString> ComList);
    void on_pushButton_open3_clicked();
    void fromFramer(QByteArray Data);
    void fromRespond(QByteArray Data);
    void on_pushButton_send3_clicked();
    void on_pushButton_productkey_clicked();
    void on_pushButton_easylink_clicked();
    void on_pushButton_init_clicked();
    void on_listWidget_itemClicked(QListWidgetItem *item);
    void jsonState(bool state);
    void updateDataPointWindow(QList<json_struct> jsonList);
    void autoUpLoad();
    void on_pushButton_updatejson_clicked();
    void on_pushButton_upload_clicked();
    void on_pushButton_autoupload_clicked();

private:
    void sendStoredFrame(const QString &key);
    void sendStatusReport();
    QString storedProductKey() const;

    Ui::McuWindow *ui;
    VokSerialPort *serialPort;
    VokAnalyze *analyzer;
    VokFramer *framer;
    VokJson *json;
    VokTool *tool;
    QTimer *uploadTimer;
    bool autoUpload = false;
    DataPointTable *table;
    FrameLog *frameLog;

    // Set by the frame just received: a status read is answered with a
    // status frame, whatever the reply template happens to hold.
    bool statusReadPending = false;
    quint8 statusReadSn = 0;
};

#endif // MCUWINDOW_H
