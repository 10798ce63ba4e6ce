#include "pages/dual/doublewindow.h"

#include "pages/common/baudratebox.h"
#include "pages/common/pagebackground.h"
#include "pages/common/recordcontrol.h"
#include "pages/common/rememberedfields.h"
#include "pages/dual/textinput.h"
#include "protocol/frame.h"
#include "protocol/hexinput.h"
#include "serial/vokserialport.h"
#include "ui_doublewindow.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QMessageBox>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTime>

namespace {

const int flushIntervalMs = 500;
// Laying out inserted text in a full area costs the same for every insertion
// on top of its length, so received text goes into the areas at most this
// often (five times a second reads as live); text arriving after a quiet
// spell goes in at once.
const int showIntervalMs = 200;
// A pane shows at most this much new text at a time (inserting it takes a
// few ms): when more arrives in between, the oldest of it is left out and
// one line says how many bytes that was. Nobody reads faster, and the
// capture keeps every byte.
const int maxUnshownChars = 48 * 1024;
// Each area keeps its newest lines only: memory and the time F5 takes stay
// bounded however long the session runs.
const int maxViewLines = 2000;

const char exampleProductKey[] = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";

// Received text arrives fast and in bulk: the areas keep no undo history (it
// would double their memory), and skip text shaping and the search for the
// writing direction. A fixed-width font keeps the byte columns in line.
void prepareReceiveArea(QTextEdit *area)
{
    area->setReadOnly(true);
    area->setUndoRedoEnabled(false);
    area->document()->setMaximumBlockCount(maxViewLines);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) { // a platform without a desktop theme
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    font.setPointSizeF(area->font().pointSizeF());
    font.setStyleStrategy(QFont::PreferNoShaping);
    area->setFont(font);
    QTextOption option = area->document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    area->document()->setDefaultTextOption(option);
}

// The colour of bytes the user sent, apart from the received ones.
QTextCharFormat sentFormat()
{
    QTextCharFormat format;
    format.setForeground(QColor(0x1E, 0x78, 0xD2));
    return format;
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
    ui->label_background->lower();
    setPresets(version3Presets());

    recorder = new RecordControl(ui->toolButton_record, QStringLiteral("dual"), this);
    fields = new RememberedFields(QStringLiteral("dual"), this);
    setUpPane(0);
    setUpPane(1);
    QLineEdit *const presets[] = {ui->lineEdit_default1, ui->lineEdit_default2,
                                  ui->lineEdit_default3, ui->lineEdit_default4};
    for (int row = 0; row < 4; ++row) {
        fields->bind(presets[row], QStringLiteral("preset%1").arg(row + 1));
        presets[row]->setCursorPosition(0);
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

void DoubleWindow::setUpPane(int index)
{
    Pane &pane = panes[index];
    const QString n = QString::number(index + 1);
    pane.area = findChild<QTextEdit *>(QStringLiteral("textEdit_rec") + n);
    pane.sendEdit = findChild<QTextEdit *>(QStringLiteral("textEdit_send") + n);
    pane.name = findChild<QComboBox *>(QStringLiteral("com_") + n);
    pane.rate = findChild<QComboBox *>(QStringLiteral("rate_") + n);
    pane.data = findChild<QComboBox *>(QStringLiteral("data_") + n);
    pane.stop = findChild<QComboBox *>(QStringLiteral("stop_") + n);
    pane.parity = findChild<QComboBox *>(QStringLiteral("check_") + n);
    pane.openButton = findChild<QPushButton *>(QStringLiteral("pushButton_open") + n);
    pane.view = findChild<QComboBox *>(QStringLiteral("comboBox_view") + n);
    pane.sendMode = findChild<QComboBox *>(QStringLiteral("comboBox_sendMode") + n);
    pane.lineEnd = findChild<QComboBox *>(QStringLiteral("comboBox_lineEnd") + n);
    pane.echo = findChild<QCheckBox *>(QStringLiteral("checkBox_echo") + n);
    pane.repeat = findChild<QCheckBox *>(QStringLiteral("checkBox_repeat") + n);
    pane.repeatInterval = findChild<QSpinBox *>(QStringLiteral("spinBox_repeat") + n);
    pane.reopen = findChild<QCheckBox *>(QStringLiteral("checkBox_reopen") + n);

    prepareReceiveArea(pane.area);
    BaudRateBox::acceptTypedRates(pane.rate);
    // The settings boxes are narrow: never narrower than their longest entry
    // at the current font, whatever the window's size.
    for (QComboBox *box : {pane.rate, pane.data, pane.stop, pane.parity}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setSizePolicy(QSizePolicy::MinimumExpanding, box->sizePolicy().verticalPolicy());
    }
    pane.port = std::make_unique<VokSerialPort>();
    recorder->watch(pane.port.get());
    pane.flushTimer.setInterval(flushIntervalMs);
    pane.flushTimer.start();
    pane.repeatTimer.setTimerType(Qt::PreciseTimer);
    remember(index);

    Pane *side = &pane;
    pane.formatter.setView(ReceiveFormatter::View(pane.view->currentIndex()));
    connect(pane.view, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, side](int view) {
        // The view's line being written ends; the next bytes start a new one.
        addText(*side, side->formatter.endLine(), 0);
        side->formatter.setView(ReceiveFormatter::View(view));
    });
    pane.port->setReopenOnReturn(pane.reopen->isChecked());
    connect(pane.reopen, &QCheckBox::toggled, pane.port.get(), &VokSerialPort::setReopenOnReturn);
    connect(pane.repeat, &QCheckBox::toggled, this, [this, side](bool on) { setRepeat(*side, on); });
    connect(pane.repeatInterval, QOverload<int>::of(&QSpinBox::valueChanged), &pane.repeatTimer,
            QOverload<int>::of(&QTimer::setInterval));
    connect(&pane.repeatTimer, &QTimer::timeout, this, [this, side] {
        if (!side->port->isOpen())
            side->repeat->setChecked(false);
        else
            sendBox(*side);
    });
    connect(pane.port.get(), &VokSerialPort::Lost, this, [this, side](const QString &reason) {
        portGone(*side);
        addNotice(*side, tr("串口已断开：%1").arg(reason));
    });
    connect(pane.port.get(), &VokSerialPort::Reopened, this, [this, side] {
        side->openButton->setText(tr("关闭串口"));
        addNotice(*side, tr("串口已重新打开"));
    });
}

// The user's settings of a pane come back from the last run.
void DoubleWindow::remember(int index)
{
    Pane &pane = panes[index];
    const QString n = QString::number(index + 1);
    fields->bind(pane.name, QStringLiteral("port") + n);
    fields->bind(pane.rate, QStringLiteral("baud") + n);
    fields->bind(pane.data, QStringLiteral("dataBits") + n);
    fields->bind(pane.stop, QStringLiteral("stopBits") + n);
    fields->bind(pane.parity, QStringLiteral("parity") + n);
    fields->bind(pane.sendEdit, QStringLiteral("send") + n);
    fields->bind(pane.sendMode, QStringLiteral("sendMode") + n);
    fields->bind(pane.lineEnd, QStringLiteral("lineEnd") + n);
    fields->bind(pane.view, QStringLiteral("view") + n);
    fields->bind(pane.echo, QStringLiteral("echo") + n);
    fields->bind(pane.repeatInterval, QStringLiteral("repeatMs") + n);
    fields->bind(pane.reopen, QStringLiteral("reopen") + n);
    pane.repeatTimer.setInterval(pane.repeatInterval->value());
}

DoubleWindow::~DoubleWindow()
{
    delete ui;
}

void DoubleWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The picture fills the page whatever size the layout gives it.
    ui->label_background->setGeometry(rect());
    ui->label_background->lower();
}

void DoubleWindow::closePorts()
{
    for (Pane &pane : panes) {
        if (pane.port->isOpen()) {
            recorder->portClosed(pane.port.get());
            pane.port->closeCom();
        }
        portGone(pane);
    }
}

// The port is closed now, by the user or because its device went away.
void DoubleWindow::portGone(Pane &pane)
{
    pane.openButton->setText(tr("打开串口"));
    pane.repeat->setChecked(false);
}

void DoubleWindow::clearReceive()
{
    for (Pane &pane : panes) {
        pane.unshown.clear();
        pane.unshownChars = 0;
        pane.skippedBytes = 0;
        pane.formatter.reset();
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
    if (portName == QLatin1String("COM1"))
        sendBytes(panes[0], parsed.bytes);
    else if (portName == QLatin1String("COM2"))
        sendBytes(panes[1], parsed.bytes);
}

void DoubleWindow::sendBox(int index)
{
    sendBox(panes[index]);
}

// Sends the bytes of a pane's send box; false (after saying why) when its
// text cannot be sent. A refused text also ends repeated sending.
bool DoubleWindow::sendBox(Pane &pane)
{
    const QString text = pane.sendEdit->toPlainText();
    const bool asText = pane.sendMode->currentIndex() == 1;
    const HexInput::Result parsed = asText ? TextInput::parse(text) : HexInput::parse(text);
    if (!parsed.ok()) {
        pane.repeat->setChecked(false);
        QMessageBox::about(this, tr("错误"), parsed.message);
        return false;
    }
    const QByteArray ending = asText ? TextInput::lineEnding(pane.lineEnd->currentIndex()) : QByteArray();
    sendBytes(pane, parsed.bytes + ending);
    return true;
}

// Writes bytes the user sent, and shows them in the pane when asked to.
bool DoubleWindow::sendBytes(Pane &pane, const QByteArray &bytes)
{
    if (!pane.port->isOpen())
        return false;
    pane.port->write(bytes);
    if (pane.echo->isChecked() && !bytes.isEmpty())
        addLine(pane, pane.formatter.sentLine(bytes), true);
    return true;
}

void DoubleWindow::setRepeat(Pane &pane, bool on)
{
    if (!on) {
        pane.repeatTimer.stop();
        return;
    }
    if (!pane.port->isOpen()) {
        pane.repeat->setChecked(false);
        addNotice(pane, tr("串口未打开，不能重复发送"));
        return;
    }
    // The first frame goes now, the next ones every interval.
    if (sendBox(pane))
        pane.repeatTimer.start(pane.repeatInterval->value());
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
        portGone(pane);
        return;
    }
    const int rate = BaudRateBox::rate(pane.rate);
    if (rate > 0
        && port->openCom(pane.name->currentText().trimmed(), QString::number(rate),
                         pane.data->currentIndex(), pane.stop->currentIndex(),
                         pane.parity->currentIndex())) {
        pane.openButton->setText(tr("关闭串口"));
        recorder->portOpened(port);
    } else {
        const QString reason = rate > 0 ? port->openError() : tr("波特率无效");
        QMessageBox::about(this, tr("错误"), tr("打开失败！") + QLatin1Char('\n') + reason);
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

    pane.held += data;
    int taken = 0;
    const QString text = pane.formatter.take(pane.held, false, &taken);
    if (taken > 0)
        addText(pane, text, taken);
}

void DoubleWindow::addText(Pane &pane, const QString &text, int bytes, bool sent)
{
    if (text.isEmpty() && bytes == 0)
        return;
    pane.unshown.append({text, bytes, sent});
    pane.unshownChars += text.size();
    while (pane.unshownChars - pane.unshown.first().text.size() >= maxUnshownChars) {
        const Piece dropped = pane.unshown.takeFirst();
        pane.unshownChars -= dropped.text.size();
        pane.skippedBytes += dropped.bytes;
    }
    scheduleShow();
}

// A notice with the time, on a line of its own.
void DoubleWindow::addNotice(Pane &pane, const QString &text)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    addLine(pane, time + QLatin1Char(' ') + text);
}

// A line of its own; the received bytes go on in a new line.
void DoubleWindow::addLine(Pane &pane, const QString &line, bool sent)
{
    addText(pane, pane.formatter.endLine(), 0);
    const QString lineBreak = pane.formatter.wroteAnything() ? QStringLiteral("\n") : QString();
    pane.formatter.lineWritten();
    addText(pane, lineBreak + line, 0, sent);
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
        // One insertion per run of received text: per-byte cursor work
        // cannot keep up with a fast link.
        QTextCursor end(pane.area->document());
        end.movePosition(QTextCursor::End);
        bool sent = false;
        for (const Piece &piece : qAsConst(pane.unshown)) {
            if (piece.sent != sent && !text.isEmpty()) {
                end.insertText(text, sent ? sentFormat() : QTextCharFormat());
                text.clear();
            }
            sent = piece.sent;
            text += piece.text;
        }
        end.insertText(text, sent ? sentFormat() : QTextCharFormat());
        // Moving the area's cursor to the end keeps the newest line in view.
        pane.area->moveCursor(QTextCursor::End);
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
    int taken = 0;
    const QString text = pane.formatter.take(pane.held, true, &taken);
    if (text.isEmpty() && taken == 0)
        return;
    addText(pane, text, taken);
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
    ui->pushButton_double->setText(doubleMode ? tr("关闭双串口") : tr("打开双串口"));
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
    sendBox(0);
}

void DoubleWindow::on_pushButton_send2_clicked()
{
    sendBox(1);
}
