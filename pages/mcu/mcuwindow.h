#ifndef MCUWINDOW_H
#define MCUWINDOW_H

#include "datapoint/json_struct.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>

class DataPointTable;
class FrameLog;
class QListWidgetItem;
class RecordControl;
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

    // Writes the bytes of hexadecimal text as they are and logs them under
    // "SEND:"; refused text is neither sent nor logged, and the user is told
    // why. The caller checks that the port is open.
    void sendHexText(const QString &text);

    // The page's datapoint model, so that a test can point its fetches at a
    // local service.
    VokJson *datapointModel() const { return json.get(); }
    // The timed-upload interval counts in these (seconds by default), so
    // that a test need not wait whole seconds.
    void setUploadUnit(int milliseconds) { uploadUnitMs = milliseconds; }

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
    void watchPort();
    void sendStoredFrame(const QString &key);
    void sendStatusReport();
    void showChecksums(const QByteArray &frame, const QString &computed);
    void reportTemplate(const QString &key, const QString &reason);
    QString storedProductKey() const;

    Ui::McuWindow *ui;
    // Built without a Qt parent, owned here; the analyser and the framer
    // are destroyed before the port they listen to.
    std::unique_ptr<VokSerialPort> serialPort;
    std::unique_ptr<VokFramer> framer;
    std::unique_ptr<VokAnalyze> analyzer;
    std::unique_ptr<VokTool> tool;
    std::unique_ptr<VokJson> json;
    std::unique_ptr<QTimer> uploadTimer;
    bool autoUpload = false;
    int uploadUnitMs = 1000;
    DataPointTable *table;
    FrameLog *frameLog;
    RecordControl *recorder;

    // Set by the frame just received: a status read is answered with a
    // status frame, whatever the reply template happens to hold.
    bool statusReadPending = false;
    quint8 statusReadSn = 0;
    // Reply templates already reported as broken.
    QSet<QString> reportedTemplates;
};

#endif // MCUWINDOW_H
