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
const int mcuTab = 1;
const int monitorTab = 3;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    // The form selects tab 0 before it connects the tab slot, so building
    // it does not run the slot while the pages do not exist yet.
    ui->setupUi(this);
    setWindowTitle(tr("Vok串口调试工具V1.4.3"));

    doublePage = new DoubleWindow(ui->doubleWindow);
    mcuPage = new McuWindow(ui->mcuWindow);
    toolPage = new ToolWindow(ui->toolWindow);
    monitorPage = new MonitorWindow(ui->monitorWindow);
    ui->doubleWindow->layout()->addWidget(doublePage);
    ui->mcuWindow->layout()->addWidget(mcuPage);
    ui->toolWindow->layout()->addWidget(toolPage);
    ui->monitorWindow->layout()->addWidget(monitorPage);
    fitTab(ui->tabWidget->currentIndex());
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
    fitTab(index);
    if (index == mcuTab) {
        doublePage->closePorts();
        mcuPage->checkProductKey();
        return;
    }
    mcuPage->closePort();
    if (index == monitorTab)
        monitorPage->setPortNames(doublePage->portName(0), doublePage->portName(1));
}

// The MCU and monitor tabs start wide, the others narrow; the window may
// grow from there, and never shrinks below what the pages' texts need.
void MainWindow::fitTab(int index)
{
    // Only the shown tab's page counts towards the least size.
    for (int tab = 0; tab < ui->tabWidget->count(); ++tab) {
        const auto policy = tab == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        ui->tabWidget->widget(tab)->setSizePolicy(policy, policy);
    }
    const QSize start = index == mcuTab || index == monitorTab ? wideSize : narrowSize;
    // Asked of the tab widget itself: the layouts above it cache their sizes
    // until the next event loop pass.
    const QSize needed = start.expandedTo(ui->tabWidget->minimumSizeHint());
    setMinimumSize(needed);
    resize(needed);
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
