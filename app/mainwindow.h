#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class DoubleWindow;
class McuWindow;
class MonitorWindow;
class ToolWindow;
class QKeyEvent;

namespace Ui {
class MainWindow;
}

// The one top-level window: a tab widget holding the dual-port page, the MCU
// simulator page, the checksum page and the protocol monitor of the dual
// page's relay. It starts each tab at that tab's size, releases the serial
// ports of the page being left and handles the two global keys (Escape
// quits, F5 clears the logs).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // For start-up options: which tab shows, and the MCU page.
    void showPage(int index);
    McuWindow *mcuWindow() const { return mcuPage; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_tabWidget_currentChanged(int index);

private:
    void fitTab(int index);

    Ui::MainWindow *ui;
    DoubleWindow *doublePage = nullptr;
    McuWindow *mcuPage = nullptr;
    ToolWindow *toolPage = nullptr;
    MonitorWindow *monitorPage = nullptr;
};

#endif // MAINWINDOW_H
