#include "pages/tool/toolwindow.h"

#include "pages/common/pagebackground.h"
#include "protocol/frame.h"
#include "protocol/hexinput.h"
#include "ui_toolwindow.h"

namespace {

// How many characters the sum skipped and where the first one is; empty
// when only digits and separators were typed.
QString ignoredNote(const QString &text)
{
    int count = 0;
    int first = -1;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // The second half of a character beyond 16 bits is not counted again.
        if (HexInput::isHexDigit(c) || HexInput::isSeparator(c) || c.isLowSurrogate())
            continue;
        if (first < 0)
            first = i;
        ++count;
    }
    if (count == 0)
        return QString();
    return ToolWindow::tr("已忽略 %1 个非十六进制字符，第一个是第 %2 个字符。").arg(count).arg(first + 1);
}

} // namespace

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
// frame's checksummed range begins. Whatever is not a hexadecimal digit is
// skipped (QByteArray::fromHex), so a stray character still gives a sum; the
// note below the button says so, since it may not be the sum that was meant.
void ToolWindow::on_pushButton_run_clicked()
{
    const QString text = ui->textEdit_checksum->toPlainText();
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    const quint8 sum = VokFrame::checksum(bytes, 0, 0);
    ui->label_result->setText(QString::asprintf("%02X", sum));
    ui->label_ignored->setText(ignoredNote(text));
}
