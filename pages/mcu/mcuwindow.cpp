#include "pages/mcu/mcuwindow.h"

McuWindow::McuWindow(QWidget *parent) : QWidget(parent) {}
void McuWindow::closePort() {}
void McuWindow::checkProductKey() {}
void McuWindow::clearLog() {}
