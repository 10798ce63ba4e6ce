#include "pages/dual/doublewindow.h"

#include "pages/common/pagebackground.h"
#include "pages/common/recordcontrol.h"
#include "protocol/frame.h"
#include "protocol/hexinput.h"
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
// A pane shows at most this much new text at a time (inserting it takes a
// few ms): when more arrives in between, the oldest of it is left out and
// one line says how many bytes that was. Nobody reads faster, and the
// capture keeps every byte.
const int maxUnshownChars = 48 * 1024;
// Each area keeps its newest lines only: memory and the time F5 takes stay
// bounded however long the session runs.
const int maxViewLines = 2000;

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
    area->document()->setMaximumBlockCount(maxViewLines);
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

QString hexLine(QByteArray bytes)
{
    return QString::fromLatin1(VokFrame::toHexString(bytes).trimmed());
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
    VokFrame::stampChecksum(productInfo);
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
    setPresets(version3Presets());

    panes[0].area = ui->textEdit_rec1;
    panes[0].name = ui->com_1;
    panes[0].rate = ui->rate_1;
    panes[0].data = ui->data_1;
    panes[0].stop = ui->stop_1;
    panes[0].parity = ui->check_1;
    panes[0].openButton = ui->pushButton_open1;
    panes[1].area = ui->textEdit_rec2;
    panes[1].name = ui->com_2;
    panes[1].rate = ui->rate_2;
    panes[1].data = ui->data_2;
    panes[1].stop = ui->stop_2;
    panes[1].parity = ui->check_2;
    panes[1].openButton = ui->pushButton_open2;
    recorder = new RecordControl(ui->toolButton_record, QStringLiteral("dual"), this);
    for (Pane &pane : panes) {
        prepareReceiveArea(pane.area);
        pane.port = std::make_unique<VokSerialPort>();
        recorder->watch(pane.port.get());
        pane.flushTimer.setInterval(flushIntervalMs);
        pane.flushTimer.start();
        Pane *side = &pane;
        connect(pane.port.get(), &VokSerialPort::Lost, this, [this, side](const QString &reason) {
            side->openButton->setText(tr("打开串口"));
            addNotice(*side, tr("串口已断开：%1").arg(reason));
        });
        connect(pane.port.get(), &VokSerialPort::Reopened, this, [this, side] {
            side->openButton->setText(tr("关闭串口"));
            addNotice(*side, tr("串口已重新打开"));
        });
    }
    connect(recorder, &RecordControl::notice, this, [this](const QString &text) {
        addNotice(panes[0], text);
    });
    // Both combo boxes list the same ports, so one poll is enough.
    connect(panes[0].port.get(), &VokSerialPort::ComListChange, this, &DoubleWindow::UpdateUi);
    connect(&panes[0].flushTimer, &QTimer::timeout, this, &DoubleWindow::readbuf1);
    connect(&panes[1].flushTimer, &QTimer::timeout, this, &DoubleWindow::readbuf2);
    connect(panes[0].port.get(), &VokSerialPort::DataReady, this, &DoubleWindow::com1OnDataReady);
    connect(panes[1].port.get(), &VokSerialPort::DataReady, this, &DoubleWindow::com2OnDataReady);

    showTimer.setSingleShot(true);
    connect(&showTimer, &QTimer::timeout, this, &DoubleWindow::showText);
}

DoubleWindow::~DoubleWindow()
{
    delete ui;
}

void DoubleWindow::closePorts()
{
    for (Pane &pane : panes) {
        if (pane.port->isOpen()) {
            recorder->portClosed(pane.port.get());
            pane.port->closeCom();
        }
        pane.openButton->setText(tr("打开串口"));
    }
}

void DoubleWindow::clearReceive()
{
    for (Pane &pane : panes) {
        pane.unshown.clear();
        pane.unshownChars = 0;
        pane.skippedBytes = 0;
        pane.lineChars = 0;
        pane.anyText = false;
        pane.area->clear();
    }
}

void DoubleWindow::sendHex(const QString &portName, const QString &hexText)
{
    // Text that cannot be read one way only is not sent at all.
    const HexInput::Result parsed = HexInput::parse(hexText);
    if (!parsed.ok()) {
        QMessageBox::about(this, tr("错误"), parsed.message);
        return;
    }
    const QByteArray &bytes = parsed.bytes;
    if (portName == QLatin1String("COM1") && panes[0].port->isOpen())
        panes[0].port->write(bytes);
    else if (portName == QLatin1String("COM2") && panes[1].port->isOpen())
        panes[1].port->write(bytes);
}

QString DoubleWindow::portName(int pane) const
{
    if (pane < 0 || pane > 1 || !panes[pane].port->isOpen())
        return QString();
    return panes[pane].port->openedName();
}

void DoubleWindow::UpdateUi(QList<QString> ComList)
{
    refillPortNames(ui->com_1, ComList);
    refillPortNames(ui->com_2, ComList);
}

void DoubleWindow::toggleOpen(Pane &pane)
{
    VokSerialPort *port = pane.port.get();
    if (port->isOpen()) {
        recorder->portClosed(port);
        port->closeCom();
        pane.openButton->setText(tr("打开串口"));
        return;
    }
    if (port->openCom(pane.name->currentText().trimmed(), pane.rate->currentText(),
                      pane.data->currentIndex(), pane.stop->currentIndex(),
                      pane.parity->currentIndex())) {
        pane.openButton->setText(tr("关闭串口"));
        recorder->portOpened(port);
    } else {
        QMessageBox::about(this, tr("错误"),
                           tr("打开失败！\n") + port->openError());
    }
}

void DoubleWindow::on_pushButton_open1_clicked()
{
    toggleOpen(panes[0]);
}

void DoubleWindow::on_pushButton_open2_clicked()
{
    toggleOpen(panes[1]);
}

void DoubleWindow::receive(int index, const QByteArray &data)
{
    emit bytesReceived(index, data);
    Pane &pane = panes[index];
    VokSerialPort *relayTo = panes[1 - index].port.get();
    if (doubleMode && relayTo->isOpen())
        relayTo->write(data);

    QByteArray &held = pane.held;
    held += data;
    const int showCount = held.size() - heldBackBytes;
    if (showCount <= 0)
        return;

    QString text;
    text.reserve(showCount * 3 + 64);
    QString stamp; // one reading of the clock serves the whole chunk
    for (int i = 0; i < showCount; ++i) {
        const bool header = startsFrameHeader(held, i);
        if (header || pane.lineChars >= maxLineChars) {
            if (pane.anyText || !text.isEmpty())
                text += QLatin1Char('\n');
            pane.lineChars = 0;
        }
        if (header) {
            if (stamp.isEmpty())
                stamp = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + ':';
            text += stamp;
            pane.lineChars += stamp.size();
        }
        appendHexByte(text, held.at(i));
        pane.lineChars += 3;
    }
    held.remove(0, showCount);
    addText(pane, text, showCount);
}

void DoubleWindow::addText(Pane &pane, const QString &text, int bytes)
{
    pane.anyText = true;
    pane.unshown.append({text, bytes});
    pane.unshownChars += text.size();
    while (pane.unshownChars - pane.unshown.first().text.size() >= maxUnshownChars) {
        const Piece dropped = pane.unshown.takeFirst();
        pane.unshownChars -= dropped.text.size();
        pane.skippedBytes += dropped.bytes;
    }
    scheduleShow();
}

// A line of its own, with the time; the received bytes go on in a new line.
void DoubleWindow::addNotice(Pane &pane, const QString &text)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    addText(pane, QString(pane.anyText ? "\n" : "") + time + QLatin1Char(' ') + text, 0);
    pane.lineChars = maxLineChars;
}

void DoubleWindow::scheduleShow()
{
    // Checked at every chunk, not only by the timer: a busy port can keep
    // the event loop from firing timers for a long time.
    const qint64 since = sinceShown.isValid() ? sinceShown.elapsed() : showIntervalMs;
    if (since >= showIntervalMs)
        showText();
    else if (!showTimer.isActive())
        showTimer.start(int(showIntervalMs - since));
}

void DoubleWindow::showText()
{
    showTimer.stop();
    for (Pane &pane : panes) {
        if (pane.unshown.isEmpty())
            continue;
        QString text;
        text.reserve(pane.unshownChars + 64);
        if (pane.skippedBytes > 0) {
            const QString port = pane.port->openedName();
            recorder->note(port, QStringLiteral("%1 bytes not shown").arg(pane.skippedBytes));
            if (!pane.area->document()->isEmpty())
                text += QLatin1Char('\n');
            text += tr("（%1 字节未显示）").arg(pane.skippedBytes);
            if (!pane.unshown.first().text.startsWith(QLatin1Char('\n')))
                text += QLatin1Char('\n');
            pane.skippedBytes = 0;
        }
        for (const Piece &piece : qAsConst(pane.unshown))
            text += piece.text;
        appendToArea(pane.area, text);
        pane.unshown.clear();
        pane.unshownChars = 0;
    }
    sinceShown.start();
}

void DoubleWindow::com1OnDataReady(QByteArray Data)
{
    receive(0, Data);
}

void DoubleWindow::com2OnDataReady(QByteArray Data)
{
    receive(1, Data);
}

void DoubleWindow::flush(Pane &pane)
{
    if (pane.held.isEmpty())
        return;
    QString text;
    for (char byte : qAsConst(pane.held))
        appendHexByte(text, byte);
    pane.lineChars += text.size();
    const int bytes = pane.held.size();
    pane.held.clear();
    addText(pane, text, bytes);
    showText();
}

void DoubleWindow::readbuf1()
{
    flush(panes[0]);
}

void DoubleWindow::readbuf2()
{
    flush(panes[1]);
}

void DoubleWindow::on_pushButton_double_clicked()
{
    doubleMode = !doubleMode;
    ui->pushButton_double->setText(doubleMode ? tr("关闭双串口")
                                              : tr("打开双串口"));
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
