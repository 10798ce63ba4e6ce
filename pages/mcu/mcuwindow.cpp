#include "pages/mcu/mcuwindow.h"

#include "app/shippeddata.h"
#include "datapoint/vokjson.h"
#include "pages/common/pagebackground.h"
#include "pages/mcu/datapointtable.h"
#include "pages/mcu/framelog.h"
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

const QString openText = QStringLiteral("打开串口");
const QString closeText = QStringLiteral("关闭串口");
const QString autoUploadOnText = QStringLiteral("定时上报开");
const QString autoUploadOffText = QStringLiteral("定时上报关");

QByteArray hexTextToBytes(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

McuWindow::McuWindow(QWidget *parent) : QWidget(parent), ui(new Ui::McuWindow)
{
    ui->setupUi(this);
    PageBackground::apply(ui->label_background2);

    serialPort = new VokSerialPort;
    connect(serialPort, &VokSerialPort::ComListChange, this, &McuWindow::UpdateUi);

    // The page logs (and applies) a frame before the analyser answers it,
    // so fromFramer must be connected before the analyser connects itself.
    framer = new VokFramer(serialPort);
    connect(framer, &VokFramer::LineDataReady, this, &McuWindow::fromFramer);
    analyzer = new VokAnalyze(framer, nullptr, ShippedData::folder() + "/auto_analyze.ini");
    connect(analyzer, &VokAnalyze::RespondReady, this, &McuWindow::fromRespond);

    tool = new VokTool;
    frameLog = new FrameLog(ui->listWidget, tool, this);
    json = new VokJson;
    connect(json, &VokJson::json_stat, this, &McuWindow::jsonState);
    connect(json, &VokJson::ListOk, this, &McuWindow::updateDataPointWindow);
    table = new DataPointTable(ui->datapoint_table, json, tool, this);
    // A definition cached in an earlier run fills the table before the page shows.
    json->parseJson(storedProductKey());

    uploadTimer = new QTimer;
    connect(uploadTimer, &QTimer::timeout, this, &McuWindow::autoUpLoad);
    autoUpload = false;
}

McuWindow::~McuWindow()
{
    delete uploadTimer;
    delete json;
    delete analyzer;
    delete framer;
    delete serialPort;
    delete tool;
    delete ui;
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
        serialPort->closeCom();
        uploadTimer->stop();
        ui->pushButton_autoupload->setText(autoUploadOnText);
        autoUpload = false;
        ui->pushButton_open3->setText(openText);
        return;
    }
    if (serialPort->openCom(ui->com_3->currentText().trimmed(), ui->rate_3->currentText(),
                            ui->data_3->currentIndex(), ui->stop_3->currentIndex(),
                            ui->check_3->currentIndex())) {
        ui->pushButton_open3->setText(closeText);
    } else {
        QMessageBox::about(this, QStringLiteral("错误"), QStringLiteral("打开失败！"));
    }
}

void McuWindow::closePort()
{
    // Timed upload stays on: its ticks wait for the port to be opened again.
    if (serialPort->isOpen())
        serialPort->closeCom();
    ui->pushButton_open3->setText(openText);
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
    // The action is the first payload byte: a frame of 9 bytes or fewer has
    // none (its byte 8, if any, is the checksum) and is only logged.
    const bool isRequest03 = Data.size() >= 10 && quint8(Data.at(4)) == 0x03;
    const quint8 action = isRequest03 ? quint8(Data.at(8)) : 0;
    statusReadPending = isRequest03 && action == 0x02;
    statusReadSn = statusReadPending ? quint8(Data.at(5)) : 0;
    if (isRequest03 && action == 0x01)
        table->applyControlFrame(Data);
    frameLog->add(wifiPrefix, Data);
}

void McuWindow::fromRespond(QByteArray Data)
{
    // The answer to a status read is the table's status, not the template.
    if (statusReadPending) {
        statusReadPending = false;
        Data = table->buildStatusFrame(0x04, statusReadSn, 0x03);
    }
    serialPort->write(Data);
    frameLog->add(mcuPrefix, Data);
}

void McuWindow::on_listWidget_itemClicked(QListWidgetItem *item)
{
    const QString text = item->text();
    if (text.startsWith(wifiPrefix) || text.startsWith(mcuPrefix) || text.startsWith(sendPrefix))
        return;
    const AnalyzeResult result = analyzer->analyze(hexTextToBytes(text));
    ui->label_analyze->setText(result.description);
    ui->label_length->setText(result.length);
    ui->label_cmd->setText(result.cmd);
    ui->label_sn->setText(result.sn);
    ui->label_checksum_2->setText(result.checksum);
    ui->label_setmode->setText(result.setMode);
    ui->label_connect->setText(result.connect);
    ui->label_wifistate->setText(result.wifiState);
    ui->label_productkey->setText(result.productKey);
}

// --- datapoint definition ---------------------------------------------------

void McuWindow::updateDataPointWindow(QList<json_struct> jsonList)
{
    table->rebuild(jsonList);
}

void McuWindow::checkProductKey()
{
    if (storedProductKey() == placeholderProductKey)
        QMessageBox::about(this, QStringLiteral("提示"),
                           QStringLiteral("第一次使用请输入product_key！"));
}

void McuWindow::on_pushButton_productkey_clicked()
{
    if (!analyzer->setProductKey(ui->lineEdit_productkey->text())) {
        QMessageBox::about(this, QStringLiteral("错误"), QStringLiteral("输入格式错误"));
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
        QMessageBox::about(this, QStringLiteral("失败"),
                           QStringLiteral("获取数据点列表失败，请检查product_key是否正确！"));
        return;
    }
    QMessageBox::about(this, QStringLiteral("成功"), QStringLiteral("获取数据点列表成功！"));
    json->parseJson(storedProductKey());
}

// --- what the user sends ----------------------------------------------------

void McuWindow::sendHexText(const QString &text)
{
    serialPort->write(hexTextToBytes(text));
}

void McuWindow::on_pushButton_send3_clicked()
{
    if (!serialPort->isOpen())
        return;
    const QString text = ui->textEdit_send3->toPlainText();
    sendHexText(text);
    frameLog->add(sendPrefix, hexTextToBytes(text));
}

void McuWindow::sendStoredFrame(const QString &key)
{
    if (!serialPort->isOpen())
        return;
    const QString text = analyzer->getValue(key);
    sendHexText(text);
    frameLog->add(sendPrefix, hexTextToBytes(text));
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
    const QByteArray frame = table->buildStatusFrame(0x05, 0x00, 0x04);
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
        ui->pushButton_autoupload->setText(autoUploadOnText);
        autoUpload = false;
        return;
    }
    if (!serialPort->isOpen())
        return;
    // The accepted value (3 to 99 s), not the text being typed, which may
    // be empty or below the minimum for a moment.
    uploadTimer->start(ui->spinBox->value() * 1000);
    ui->pushButton_autoupload->setText(autoUploadOffText);
    autoUpload = true;
}
