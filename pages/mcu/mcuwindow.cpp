#include "pages/mcu/mcuwindow.h"

#include "datapoint/vokjson.h"
#include "pages/common/baudratebox.h"
#include "pages/common/pagebackground.h"
#include "pages/common/recordcontrol.h"
#include "pages/common/rememberedfields.h"
#include "pages/mcu/datapointtable.h"
#include "pages/mcu/framelog.h"
#include "protocol/frame.h"
#include "protocol/hexinput.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"
#include "protocol/voktool.h"
#include "serial/vokserialport.h"
#include "ui_mcuwindow.h"

#include <QListWidgetItem>
#include <QMessageBox>
#include <QTimer>

namespace {

const QString productKeyKey = QStringLiteral("product_key/key");
// Stored until the user enters a product key of their own.
const QString placeholderProductKey = QStringLiteral("11223344556677889900112233445566");

const QString wifiPrefix = QStringLiteral("WIFI:");
const QString mcuPrefix = QStringLiteral("MCU:");
const QString sendPrefix = QStringLiteral("SEND:");

const char *const openText = QT_TRANSLATE_NOOP("McuWindow", "打开串口");
const char *const closeText = QT_TRANSLATE_NOOP("McuWindow", "关闭串口");
const char *const autoUploadOnText = QT_TRANSLATE_NOOP("McuWindow", "定时上报开");
const char *const autoUploadOffText = QT_TRANSLATE_NOOP("McuWindow", "定时上报关");

} // namespace

McuWindow::McuWindow(QWidget *parent) : QWidget(parent), ui(new Ui::McuWindow)
{
    ui->setupUi(this);
    PageBackground::apply(ui->label_background2);
    BaudRateBox::acceptTypedRates(ui->rate_3);
    // The port, its settings, the send box and the upload interval are kept
    // from one run to the next.
    auto *fields = new RememberedFields(QStringLiteral("mcu"), this);
    fields->bind(ui->com_3, QStringLiteral("port"));
    fields->bind(ui->rate_3, QStringLiteral("baud"));
    fields->bind(ui->data_3, QStringLiteral("dataBits"));
    fields->bind(ui->stop_3, QStringLiteral("stopBits"));
    fields->bind(ui->check_3, QStringLiteral("parity"));
    fields->bind(ui->textEdit_send3, QStringLiteral("send"));
    fields->bind(ui->spinBox, QStringLiteral("uploadSeconds"));

    serialPort = std::make_unique<VokSerialPort>();
    connect(serialPort.get(), &VokSerialPort::ComListChange, this, &McuWindow::UpdateUi);
    tool = std::make_unique<VokTool>();
    frameLog = new FrameLog(ui->listWidget, tool.get(), this);
    watchPort();

    // The page logs (and applies) a frame before the analyser answers it,
    // so fromFramer must be connected before the analyser connects itself.
    framer = std::make_unique<VokFramer>(serialPort.get());
    connect(framer.get(), &VokFramer::LineDataReady, this, &McuWindow::fromFramer);
    analyzer = std::make_unique<VokAnalyze>(framer.get());
    connect(analyzer.get(), &VokAnalyze::RespondReady, this, &McuWindow::fromRespond);
    // A broken settings file is said once, in the log; the page goes on.
    if (!analyzer->settingsProblem().isEmpty())
        frameLog->addNotice(analyzer->settingsProblem());
    connect(analyzer.get(), &VokAnalyze::templateRejected, this, &McuWindow::reportTemplate);

    json = std::make_unique<VokJson>();
    connect(json.get(), &VokJson::json_stat, this, &McuWindow::jsonState);
    connect(json.get(), &VokJson::ListOk, this, &McuWindow::updateDataPointWindow);
    table = new DataPointTable(ui->datapoint_table, json.get(), this);
    // A definition cached in an earlier run fills the table before the page shows.
    json->parseJson(storedProductKey());

    uploadTimer = std::make_unique<QTimer>();
    connect(uploadTimer.get(), &QTimer::timeout, this, &McuWindow::autoUpLoad);
    autoUpload = false;
}

McuWindow::~McuWindow()
{
    delete ui;
}

// Recording, and what the page says when the device goes away or comes
// back. Set up before the framer connects, so that a received chunk is
// recorded before the reply it brings.
void McuWindow::watchPort()
{
    recorder = new RecordControl(ui->toolButton_record3, QStringLiteral("mcu"), this);
    recorder->watch(serialPort.get());
    connect(recorder, &RecordControl::notice, frameLog, &FrameLog::addNotice);
    connect(frameLog, &FrameLog::skipped, this, [this](qint64 bytes) {
        recorder->note(serialPort->openedName(), QStringLiteral("%1 bytes not shown").arg(bytes));
    });
    connect(serialPort.get(), &VokSerialPort::Lost, this, [this](const QString &reason) {
        ui->pushButton_open3->setText(tr(openText));
        frameLog->addNotice(tr("串口已断开：%1").arg(reason));
    });
    connect(serialPort.get(), &VokSerialPort::Reopened, this, [this] {
        ui->pushButton_open3->setText(tr(closeText));
        frameLog->addNotice(tr("串口已重新打开"));
    });
}

// Said once per key, in the log rather than a message box: the module asks
// again every few seconds.
void McuWindow::reportTemplate(const QString &key, const QString &reason)
{
    if (reportedTemplates.contains(key))
        return;
    reportedTemplates.insert(key);
    frameLog->addNotice(tr("auto_analyze.ini 中的应答模板 %1 不是完整的十六进制字节，未发送：%2")
                            .arg(key, reason));
}

QString McuWindow::storedProductKey() const
{
    return analyzer->getValue(productKeyKey);
}

// --- port and log -----------------------------------------------------------

void McuWindow::UpdateUi(QList<QString> ComList)
{
    // A port typed by hand (a pseudo-terminal path, a link) is in no list the
    // poll sends; keep it instead of losing it at every refresh.
    const QString current = ui->com_3->currentText();
    const bool typedByHand = !current.isEmpty() && ui->com_3->findText(current) < 0;
    ui->com_3->clear();
    for (const QString &name : ComList)
        ui->com_3->addItem(name);
    if (typedByHand)
        ui->com_3->setEditText(current);
}

void McuWindow::on_pushButton_open3_clicked()
{
    if (serialPort->isOpen()) {
        recorder->portClosed(serialPort.get());
        serialPort->closeCom();
        uploadTimer->stop();
        ui->pushButton_autoupload->setText(tr(autoUploadOnText));
        autoUpload = false;
        ui->pushButton_open3->setText(tr(openText));
        return;
    }
    if (serialPort->openCom(ui->com_3->currentText().trimmed(), ui->rate_3->currentText(),
                            ui->data_3->currentIndex(), ui->stop_3->currentIndex(),
                            ui->check_3->currentIndex())) {
        ui->pushButton_open3->setText(tr(closeText));
        recorder->portOpened(serialPort.get());
    } else {
        QMessageBox::about(this, tr("错误"),
                           tr("打开失败！\n") + serialPort->openError());
    }
}

void McuWindow::closePort()
{
    // Timed upload stays on: its ticks wait for the port to be opened again.
    if (serialPort->isOpen()) {
        recorder->portClosed(serialPort.get());
        serialPort->closeCom();
    }
    ui->pushButton_open3->setText(tr(openText));
}

void McuWindow::setPortName(const QString &name)
{
    ui->com_3->setEditText(name);
}

void McuWindow::openPort()
{
    if (!serialPort->isOpen())
        on_pushButton_open3_clicked();
}

void McuWindow::saveProductKey(const QString &key)
{
    ui->lineEdit_productkey->setText(key);
    on_pushButton_productkey_clicked();
}

void McuWindow::clearLog()
{
    frameLog->clear();
}

void McuWindow::fromFramer(QByteArray Data)
{
    // A frame without payload has no action and is only logged.
    const std::optional<quint8> action = VokFrame::cmd(Data) == VokFrame::Cmd::Control
                                             ? VokFrame::action(Data)
                                             : std::nullopt;
    statusReadPending = action == VokFrame::Action::StatusRead;
    statusReadSn = statusReadPending ? *VokFrame::sn(Data) : 0;
    if (action == VokFrame::Action::Control)
        table->applyControlFrame(Data);
    frameLog->add(wifiPrefix, Data);
}

void McuWindow::fromRespond(QByteArray Data)
{
    // The answer to a status read is the table's status, not the template.
    if (statusReadPending) {
        statusReadPending = false;
        Data = table->buildStatusFrame(VokFrame::Cmd::ControlReply, statusReadSn,
                                      VokFrame::Action::StatusReply);
    }
    serialPort->write(Data);
    frameLog->add(mcuPrefix, Data);
}

void McuWindow::on_listWidget_itemClicked(QListWidgetItem *item)
{
    const QString text = item->text();
    if (FrameLog::isNotice(item))
        return;
    if (text.startsWith(wifiPrefix) || text.startsWith(mcuPrefix) || text.startsWith(sendPrefix))
        return;
    // A line written escaped is explained as the frame it carries.
    const QByteArray bytes = HexInput::parse(text).bytes;
    const QByteArray frame = VokFrame::wholeFrame(bytes).value_or(bytes);
    const AnalyzeResult result = analyzer->analyze(frame);
    ui->label_analyze->setText(result.description);
    ui->label_length->setText(result.length);
    ui->label_cmd->setText(result.cmd);
    ui->label_sn->setText(result.sn);
    showChecksums(frame, result.checksum);
    ui->label_setmode->setText(result.setMode);
    ui->label_connect->setText(result.connect);
    ui->label_wifistate->setText(result.wifiState);
    ui->label_productkey->setText(result.productKey);
}

// A whole frame carries its own checksum in its last byte: it is shown
// beside the computed one, and a difference is marked. Anything shorter than
// the smallest frame has no checksum byte to compare.
void McuWindow::showChecksums(const QByteArray &frame, const QString &computed)
{
    const bool whole = frame.size() >= VokFrame::MinSize;
    const QString own = whole ? QString::asprintf("%02x", quint8(frame.back())) : QString();
    ui->label_checksum_2->setText(whole ? tr("%1 / 帧内 %2").arg(computed, own) : computed);
    const bool mismatch = whole && quint8(frame.back()) != tool->checksum(frame, VokFrame::LenPos, 1);
    ui->label_checksum_mismatch->setText(mismatch ? tr("不符") : QString());
    ui->label_checksum_mismatch->setToolTip(
        mismatch ? tr("帧内校验和 %1 与计算值 %2 不符").arg(own, computed) : QString());
}

// --- datapoint definition ---------------------------------------------------

void McuWindow::updateDataPointWindow(QList<json_struct> jsonList)
{
    table->rebuild(jsonList);
}

void McuWindow::checkProductKey()
{
    if (storedProductKey() == placeholderProductKey)
        QMessageBox::about(this, tr("提示"),
                           tr("第一次使用请输入product_key！"));
}

void McuWindow::on_pushButton_productkey_clicked()
{
    QString storeError;
    if (!analyzer->setProductKey(ui->lineEdit_productkey->text(), &storeError)) {
        if (storeError.isEmpty())
            QMessageBox::about(this, tr("错误"), tr("输入格式错误"));
        else
            QMessageBox::about(this, tr("失败"), storeError);
        return;
    }
    json->requestJson(storedProductKey());
}

void McuWindow::on_pushButton_updatejson_clicked()
{
    json->requestJson(storedProductKey());
}

void McuWindow::jsonState(bool state)
{
    if (!state) {
        QMessageBox::about(this, tr("失败"),
                           tr("获取数据点列表失败，请检查product_key是否正确！"));
        return;
    }
    QMessageBox::about(this, tr("成功"), tr("获取数据点列表成功！"));
    json->parseJson(storedProductKey());
}

// --- what the user sends ----------------------------------------------------

// Text that cannot be read one way only is neither sent nor logged; the
// user is told what is wrong with it instead.
void McuWindow::sendHexText(const QString &text)
{
    const HexInput::Result parsed = HexInput::parse(text);
    if (!parsed.ok()) {
        QMessageBox::about(this, tr("错误"), parsed.message);
        return;
    }
    serialPort->write(parsed.bytes);
    frameLog->add(sendPrefix, parsed.bytes);
}

void McuWindow::on_pushButton_send3_clicked()
{
    if (serialPort->isOpen())
        sendHexText(ui->textEdit_send3->toPlainText());
}

void McuWindow::sendStoredFrame(const QString &key)
{
    if (serialPort->isOpen())
        sendHexText(analyzer->getValue(key));
}

void McuWindow::on_pushButton_easylink_clicked()
{
    sendStoredFrame(QStringLiteral("Defaule/49"));
}

void McuWindow::on_pushButton_init_clicked()
{
    sendStoredFrame(QStringLiteral("Defaule/4B"));
}

void McuWindow::sendStatusReport()
{
    if (!serialPort->isOpen())
        return;
    const QByteArray frame = table->buildStatusFrame(VokFrame::Cmd::StatusReport, 0,
                                                     VokFrame::Action::StatusReport);
    serialPort->write(frame);
    frameLog->add(sendPrefix, frame);
}

void McuWindow::on_pushButton_upload_clicked()
{
    sendStatusReport();
}

void McuWindow::autoUpLoad()
{
    sendStatusReport();
}

void McuWindow::on_pushButton_autoupload_clicked()
{
    if (autoUpload) {
        uploadTimer->stop();
        ui->pushButton_autoupload->setText(tr(autoUploadOnText));
        autoUpload = false;
        return;
    }
    if (!serialPort->isOpen())
        return;
    // The accepted value (3 to 99 s), not the text being typed, which may
    // be empty or below the minimum for a moment.
    uploadTimer->start(ui->spinBox->value() * uploadUnitMs);
    ui->pushButton_autoupload->setText(tr(autoUploadOffText));
    autoUpload = true;
}
