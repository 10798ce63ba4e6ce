#include "pages/dual/doublewindow.h"

#include "pages/common/pagebackground.h"
#include "protocol/voktool.h"
#include "serial/vokserialport.h"
#include "ui_doublewindow.h"

#include <QMessageBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTime>

namespace {

// The receive handler never shows the last bytes it holds, so that a header
// cut between two chunks (up to 00 00 00 of 00 00 00 03) is still found.
const int heldBackBytes = 3;
const int flushIntervalMs = 500;
// Laying out inserted text costs the same for every insertion on top of its
// length, so received text goes into the areas at most this often; text
// arriving after a quiet spell goes in at once.
const int showIntervalMs = 40;
// ... or once this much text waits: inserting it takes about 10 ms, so no
// single event keeps the window busy for long.
const int maxUnshownChars = 96 * 1024;

// Bytes that never bring a header (a wrong baud rate, a boot log in plain
// text) would grow one line without end, and every chunk lays out its whole
// line again until the window freezes; such a run goes on in a new line
// after 1024 bytes.
const int maxLineChars = 3 * 1024;

const char exampleProductKey[] = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";

// Needs at least four bytes from pos.
bool startsFrameHeader(const QByteArray &bytes, int pos)
{
    const char *p = bytes.constData() + pos;
    const bool version4 = quint8(p[0]) == 0xFF && quint8(p[1]) == 0xFF;
    const bool version3 = p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 3;
    return version4 || version3;
}

// "%02X " of one byte.
void appendHexByte(QString &text, char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    const auto value = quint8(byte);
    text += QLatin1Char(digits[value >> 4]);
    text += QLatin1Char(digits[value & 0x0F]);
    text += QLatin1Char(' ');
}

// Received hexadecimal text arrives fast and in bulk: the areas keep no undo
// history (it would double their memory), and skip text shaping and the
// search for the writing direction, which plain hexadecimal text never needs.
void prepareReceiveArea(QTextEdit *area)
{
    area->setReadOnly(true);
    area->setUndoRedoEnabled(false);
    QFont font = area->font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    area->setFont(font);
    QTextOption option = area->document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    area->document()->setDefaultTextOption(option);
}

// One insertion per chunk: per-byte cursor work cannot keep up with a fast
// link. Moving the area's cursor to the end keeps the newest line in view.
void appendToArea(QTextEdit *area, const QString &text)
{
    QTextCursor end(area->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    area->moveCursor(QTextCursor::End);
}

// Length of the area's last line once the text not yet shown is in.
int lastLineLength(const QTextEdit *area, const QString &unshown)
{
    const int newline = unshown.lastIndexOf(QLatin1Char('\n'));
    if (newline >= 0)
        return unshown.size() - newline - 1;
    return area->document()->lastBlock().length() - 1 + unshown.size();
}

QString hexLine(QByteArray bytes)
{
    return QString::fromLatin1(VokTool().toHexString(bytes).trimmed());
}

QStringList version3Presets()
{
    const QByteArray productKeyFrame = QByteArray::fromHex("00000003 0028 0307 0020")
                                       + exampleProductKey + QByteArray::fromHex("00020001");
    return {QStringLiteral("00 00 00 03 00 02 03 0b"), QStringLiteral("00 00 00 03 00 02 03 08"),
            QStringLiteral("00 00 00 03 00 02 03 06"), hexLine(productKeyFrame)};
}

QStringList version4Presets()
{
    // Product-information reply: four 8-character version fields, the key,
    // two zero bytes and the checksum.
    QByteArray productInfo = QByteArray::fromHex("FFFF 0047 02 01 0000")
                             + "00000004" "00000004" "00000001" "00000001" + exampleProductKey
                             + QByteArray(3, '\0');
    productInfo[productInfo.size() - 1] = char(VokTool().checksum(productInfo, 2, 1));
    return {QStringLiteral("FF FF 00 05 0B 00 00 00 10"),
            QStringLiteral("FF FF 00 06 09 00 00 00 02 11"),
            QStringLiteral("FF FF 00 05 01 00 00 00 06"), hexLine(productInfo)};
}

// The port list arrives every second while no port is present and whenever
// it changes. Keep the user's choice: a listed name that is still listed
// stays selected, and a typed name or path stays as typed.
void refillPortNames(QComboBox *box, const QList<QString> &names)
{
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown == names)
        return;
    const QString chosen = box->currentText();
    const bool typed = !chosen.isEmpty() && !shown.contains(chosen);
    box->clear();
    box->addItems(names);
    const int index = box->findText(chosen);
    if (index >= 0)
        box->setCurrentIndex(index);
    else if (typed)
        box->setEditText(chosen);
}

} // namespace

DoubleWindow::DoubleWindow(QWidget *parent) : QWidget(parent), ui(new Ui::DoubleWindow)
{
    ui->setupUi(this);
    PageBackground::apply(ui->label_background);
    prepareReceiveArea(ui->textEdit_rec1);
    prepareReceiveArea(ui->textEdit_rec2);
    setPresets(version3Presets());

    com1 = new VokSerialPort;
    com2 = new VokSerialPort;
    // Both combo boxes list the same ports, so one poll is enough.
    connect(com1, &VokSerialPort::ComListChange, this, &DoubleWindow::UpdateUi);

    flushTimer1.setInterval(flushIntervalMs);
    flushTimer2.setInterval(flushIntervalMs);
    connect(&flushTimer1, &QTimer::timeout, this, &DoubleWindow::readbuf1);
    connect(&flushTimer2, &QTimer::timeout, this, &DoubleWindow::readbuf2);
    flushTimer1.start();
    flushTimer2.start();

    showTimer.setSingleShot(true);
    connect(&showTimer, &QTimer::timeout, this, &DoubleWindow::showText);

    connect(com1, &VokSerialPort::DataReady, this, &DoubleWindow::com1OnDataReady);
    connect(com2, &VokSerialPort::DataReady, this, &DoubleWindow::com2OnDataReady);
}

DoubleWindow::~DoubleWindow()
{
    delete com1;
    delete com2;
    delete ui;
}

void DoubleWindow::closePorts()
{
    if (com1->isOpen())
        com1->closeCom();
    if (com2->isOpen())
        com2->closeCom();
    ui->pushButton_open1->setText(QStringLiteral("打开串口"));
    ui->pushButton_open2->setText(QStringLiteral("打开串口"));
}

void DoubleWindow::clearReceive()
{
    unshown1.clear();
    unshown2.clear();
    ui->textEdit_rec1->clear();
    ui->textEdit_rec2->clear();
}

void DoubleWindow::sendHex(const QString &portName, const QString &hexText)
{
    const QByteArray bytes = QByteArray::fromHex(hexText.toLatin1());
    if (portName == QLatin1String("COM1") && com1->isOpen())
        com1->write(bytes);
    else if (portName == QLatin1String("COM2") && com2->isOpen())
        com2->write(bytes);
}

QString DoubleWindow::portName(int pane) const
{
    const VokSerialPort *port = pane == 0 ? com1 : com2;
    return port->isOpen() ? port->QSerialPort::portName() : QString();
}

void DoubleWindow::UpdateUi(QList<QString> ComList)
{
    refillPortNames(ui->com_1, ComList);
    refillPortNames(ui->com_2, ComList);
}

void DoubleWindow::toggleOpen(VokSerialPort *port, QComboBox *name, QComboBox *rate,
                              QComboBox *data, QComboBox *stop, QComboBox *parity,
                              QPushButton *button)
{
    if (port->isOpen()) {
        port->closeCom();
        button->setText(QStringLiteral("打开串口"));
        return;
    }
    if (port->openCom(name->currentText().trimmed(), rate->currentText(), data->currentIndex(),
                      stop->currentIndex(), parity->currentIndex()))
        button->setText(QStringLiteral("关闭串口"));
    else
        QMessageBox::about(this, QStringLiteral("错误"), QStringLiteral("打开失败！"));
}

void DoubleWindow::on_pushButton_open1_clicked()
{
    toggleOpen(com1, ui->com_1, ui->rate_1, ui->data_1, ui->stop_1, ui->check_1,
               ui->pushButton_open1);
}

void DoubleWindow::on_pushButton_open2_clicked()
{
    toggleOpen(com2, ui->com_2, ui->rate_2, ui->data_2, ui->stop_2, ui->check_2,
               ui->pushButton_open2);
}

void DoubleWindow::receive(const QByteArray &data, QByteArray &held, QString &unshown,
                           QTextEdit *area, VokSerialPort *relayTo)
{
    if (doubleMode && relayTo->isOpen())
        relayTo->write(data);

    held += data;
    const int showCount = held.size() - heldBackBytes;
    if (showCount <= 0)
        return;

    QString text;
    text.reserve(showCount * 3 + 64);
    QString stamp; // one reading of the clock serves the whole chunk
    const bool areaEmpty = area->document()->isEmpty() && unshown.isEmpty();
    int lineChars = lastLineLength(area, unshown);
    for (int i = 0; i < showCount; ++i) {
        const bool header = startsFrameHeader(held, i);
        if (header || lineChars >= maxLineChars) {
            if (!areaEmpty || !text.isEmpty())
                text += QLatin1Char('\n');
            lineChars = 0;
        }
        if (header) {
            if (stamp.isEmpty())
                stamp = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + ':';
            text += stamp;
            lineChars += stamp.size();
        }
        appendHexByte(text, held.at(i));
        lineChars += 3;
    }
    held.remove(0, showCount);
    unshown += text;
    scheduleShow();
}

void DoubleWindow::scheduleShow()
{
    // Checked at every chunk, not only by the timer: a busy port can keep
    // the event loop from firing timers for a long time.
    const qint64 since = sinceShown.isValid() ? sinceShown.elapsed() : showIntervalMs;
    if (since >= showIntervalMs || unshown1.size() + unshown2.size() >= maxUnshownChars)
        showText();
    else if (!showTimer.isActive())
        showTimer.start(int(showIntervalMs - since));
}

void DoubleWindow::showText()
{
    showTimer.stop();
    if (!unshown1.isEmpty())
        appendToArea(ui->textEdit_rec1, unshown1);
    if (!unshown2.isEmpty())
        appendToArea(ui->textEdit_rec2, unshown2);
    unshown1.clear();
    unshown2.clear();
    sinceShown.start();
}

void DoubleWindow::com1OnDataReady(QByteArray Data)
{
    receive(Data, held1, unshown1, ui->textEdit_rec1, com2);
    emit bytesReceived(0, Data);
}

void DoubleWindow::com2OnDataReady(QByteArray Data)
{
    receive(Data, held2, unshown2, ui->textEdit_rec2, com1);
    emit bytesReceived(1, Data);
}

void DoubleWindow::flush(QByteArray &held, QString &unshown)
{
    if (held.isEmpty())
        return;
    for (char byte : qAsConst(held))
        appendHexByte(unshown, byte);
    held.clear();
    showText();
}

void DoubleWindow::readbuf1()
{
    flush(held1, unshown1);
}

void DoubleWindow::readbuf2()
{
    flush(held2, unshown2);
}

void DoubleWindow::on_pushButton_double_clicked()
{
    doubleMode = !doubleMode;
    ui->pushButton_double->setText(doubleMode ? QStringLiteral("关闭双串口")
                                              : QStringLiteral("打开双串口"));
}

void DoubleWindow::setPresets(const QStringList &lines)
{
    QLineEdit *const edits[] = {ui->lineEdit_default1, ui->lineEdit_default2,
                                ui->lineEdit_default3, ui->lineEdit_default4};
    for (int row = 0; row < 4; ++row) {
        edits[row]->setText(lines.value(row));
        edits[row]->setCursorPosition(0); // show where the frame begins
    }
}

void DoubleWindow::on_pushButton_v3_clicked()
{
    setPresets(version3Presets());
}

void DoubleWindow::on_pushButton_v4_clicked()
{
    setPresets(version4Presets());
}

void DoubleWindow::on_pushButton_left1_clicked()
{
    sendHex(QStringLiteral("COM1"), ui->lineEdit_default1->text());
}

void DoubleWindow::on_pushButton_left2_clicked()
{
    sendHex(QStringLiteral("COM1"), ui->lineEdit_default2->text());
}

void DoubleWindow::on_pushButton_left3_clicked()
{
    sendHex(QStringLiteral("COM1"), ui->lineEdit_default3->text());
}

void DoubleWindow::on_pushButton_left4_clicked()
{
    sendHex(QStringLiteral("COM1"), ui->lineEdit_default4->text());
}

void DoubleWindow::on_pushButton_right1_clicked()
{
    sendHex(QStringLiteral("COM2"), ui->lineEdit_default1->text());
}

void DoubleWindow::on_pushButton_right2_clicked()
{
    sendHex(QStringLiteral("COM2"), ui->lineEdit_default2->text());
}

void DoubleWindow::on_pushButton_right3_clicked()
{
    sendHex(QStringLiteral("COM2"), ui->lineEdit_default3->text());
}

void DoubleWindow::on_pushButton_right4_clicked()
{
    sendHex(QStringLiteral("COM2"), ui->lineEdit_default4->text());
}

void DoubleWindow::on_pushButton_send1_clicked()
{
    sendHex(QStringLiteral("COM1"), ui->textEdit_send1->toPlainText());
}

void DoubleWindow::on_pushButton_send2_clicked()
{
    sendHex(QStringLiteral("COM2"), ui->textEdit_send2->toPlainText());
}
