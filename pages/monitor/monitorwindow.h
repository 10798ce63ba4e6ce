#ifndef MONITORWINDOW_H
#define MONITORWINDOW_H

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QTimer>
#include <QWidget>

class ExchangeTracker;
class FrameExplainer;
class MonitorFilter;
class MonitorModel;
class QModelIndex;

namespace Ui {
class MonitorWindow;
}

// The protocol monitor: the module <-> MCU conversation that the dual page
// relays, or that a capture file holds, as a table of judged and decoded
// frames, with filters, details of the selected row and CSV export.
class MonitorWindow : public QWidget
{
    Q_OBJECT
public:
    // Live rows kept; a capture shows its newest rows up to the same number.
    static constexpr int rowLimit = 100000;

    explicit MonitorWindow(QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // The names of the dual page's ports (empty when closed), for the
    // module-port choice.
    void setPortNames(const QString &first, const QString &second);
    // Shows a capture file instead of the live rows; false (and a message)
    // when it is not one or is damaged: the rows read until then are shown.
    bool openCapture(const QString &path);
    // Writes the rows the filters let through as CSV; false when the file
    // cannot be written.
    bool exportCsv(const QString &path);

public slots:
    // A chunk received on pane 0 (COM1) or 1 (COM2) of the dual page.
    void takeChunk(int pane, const QByteArray &bytes);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pushButton_open_clicked();
    void on_pushButton_live_clicked();
    void on_pushButton_export_clicked();
    void on_pushButton_clear_clicked();
    void on_comboBox_module_activated(int index);
    void on_spinBox_timeout_valueChanged(int ms);
    void on_comboBox_command_currentIndexChanged(int index);
    void on_comboBox_direction_currentIndexChanged(int index);
    void on_checkBox_faults_toggled(bool checked);

private:
    void addLiveRows();
    void showRows(MonitorModel *model);
    void showDetails(const QModelIndex &current);
    void setModuleNames(const QString &first, const QString &second);

    Ui::MonitorWindow *ui;
    FrameExplainer *explainer;
    ExchangeTracker *tracker;
    MonitorModel *liveRows;
    MonitorModel *captureRows;
    MonitorFilter *filter;
    // The user's own settings file (not auto_analyze.ini, which belongs to
    // the installation).
    QSettings settings;
    QTimer batchTimer;
    QString livePorts[2];
};

#endif // MONITORWINDOW_H
