#include "pages/tool/toolwindow.h"

#include "pages/common/pagebackground.h"
#include "protocol/frame.h"
#include "ui_toolwindow.h"

ToolWindow::ToolWindow(QWidget *parent) : QWidget(parent), ui(new Ui::ToolWindow)
{
    ui->setupUi(this);
    PageBackground::apply(ui->label_background);
}

ToolWindow::~ToolWindow()
{
    delete ui;
}

// Every typed byte is summed, header and all: the page does not know where a
// frame's checksummed range begins.
void ToolWindow::on_pushButton_run_clicked()
{
    const QByteArray bytes = QByteArray::fromHex(ui->textEdit_checksum->toPlainText().toLatin1());
    const quint8 sum = VokFrame::checksum(bytes, 0, 0);
    ui->label_result->setText(QString::asprintf("%02X", sum));
}
