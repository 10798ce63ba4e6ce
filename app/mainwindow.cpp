#include "app/mainwindow.h"

#include "pages/dual/doublewindow.h"
#include "pages/mcu/mcuwindow.h"
#include "pages/monitor/monitorwindow.h"
#include "pages/tool/toolwindow.h"
#include "ui_mainwindow.h"

#include <QKeyEvent>

namespace {
const QSize narrowSize(600, 600);
const QSize wideSize(950, 600);
const int monitorTab = 3;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    // The form selects tab 0 before it connects the tab slot, so building
    // it does not run the slot while the pages do not exist yet.
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Vok串口调试工具V1.4.3"));
    setFixedSize(narrowSize);

    doublePage = new DoubleWindow(ui->doubleWindow);
    mcuPage = new McuWindow(ui->mcuWindow);
    toolPage = new ToolWindow(ui->toolWindow);
    monitorPage = new MonitorWindow(ui->monitorWindow);
    ui->monitorWindow->layout()->addWidget(monitorPage);
    connect(doublePage, &DoubleWindow::bytesReceived, monitorPage, &MonitorWindow::takeChunk);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::showPage(int index)
{
    ui->tabWidget->setCurrentIndex(index);
}

// A port used on one page is released before another page may need it;
// the monitor shows the dual page's traffic, so its ports stay open there.
void MainWindow::on_tabWidget_currentChanged(int index)
{
    if (index == 1) {
        setFixedSize(wideSize);
        doublePage->closePorts();
        mcuPage->checkProductKey();
        return;
    }
    setFixedSize(index == monitorTab ? wideSize : narrowSize);
    mcuPage->closePort();
    if (index == monitorTab)
        monitorPage->setPortNames(doublePage->portName(0), doublePage->portName(1));
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_F5:
        doublePage->clearReceive();
        mcuPage->clearLog();
        break;
    default:
        break;
    }
}
