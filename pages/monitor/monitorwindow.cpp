#include "pages/monitor/monitorwindow.h"

#include "pages/common/rememberedfields.h"
#include "pages/monitor/exchangetracker.h"
#include "pages/monitor/frameexplainer.h"
#include "pages/monitor/monitorfilter.h"
#include "pages/monitor/monitormodel.h"
#include "serial/capturereader.h"
#include "ui_monitorwindow.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QSaveFile>
#include <QScrollBar>
#include <QStringList>

namespace {

// New rows reach the table together, a few times a second: one insertion
// per batch instead of one per frame.
const int batchIntervalMs = 100;
const QString moduleSideKey = QStringLiteral("monitor/moduleSide");
const QString replyTimeoutKey = QStringLiteral("monitor/replyTimeoutMs");

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

} // namespace

MonitorWindow::MonitorWindow(QWidget *parent)
    : QWidget(parent), ui(new Ui::MonitorWindow), explainer(new FrameExplainer(this)),
      tracker(new ExchangeTracker(this)), liveRows(new MonitorModel(explainer, this)),
      captureRows(new MonitorModel(explainer, this)), filter(new MonitorFilter(liveRows, this)),
      settings(RememberedFields::userSettings())
{
    ui->setupUi(this);
    liveRows->setLimit(rowLimit);
    captureRows->setLimit(rowLimit);

    ui->comboBox_command->addItem(tr("全部命令"), MonitorFilter::anyCommand);
    for (int cmd = 0x01; cmd <= 0x12; ++cmd)
        ui->comboBox_command->addItem(QString::asprintf("%02X", cmd), cmd);
    setModuleNames(QString(), QString());
    const int side = settings.value(moduleSideKey, 0).toInt() == 1 ? 1 : 0;
    ui->comboBox_module->setCurrentIndex(side);
    liveRows->setModuleSide(side);
    captureRows->setModuleSide(side);
    ui->spinBox_timeout->setValue(
        settings.value(replyTimeoutKey, ExchangeTracker::defaultReplyTimeoutMs).toInt());
    tracker->setReplyTimeout(ui->spinBox_timeout->value());

    ui->tableView->setModel(filter);
    ui->tableView->verticalHeader()->hide();
    ui->tableView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {48, 100, 74, 200, 32, 40, 60, 130, 90};
    for (int column = 0; column < int(sizeof widths / sizeof *widths); ++column)
        ui->tableView->setColumnWidth(column, qMax(widths[column], fontMetrics().horizontalAdvance(filter->headerData(column, Qt::Horizontal).toString()) + 16));
    connect(ui->tableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MonitorWindow::showDetails);

    explainer->loadDefinition();
    batchTimer.setInterval(batchIntervalMs);
    connect(&batchTimer, &QTimer::timeout, this, &MonitorWindow::addLiveRows);
    batchTimer.start();
}

MonitorWindow::~MonitorWindow()
{
    delete ui;
}

void MonitorWindow::showEvent(QShowEvent *event)
{
    // The MCU page may have fetched the product's definition meanwhile.
    explainer->loadDefinition();
    QWidget::showEvent(event);
}

void MonitorWindow::takeChunk(int pane, const QByteArray &bytes)
{
    tracker->take(pane, bytes, QDateTime::currentMSecsSinceEpoch());
}

void MonitorWindow::addLiveRows()
{
    tracker->expire(QDateTime::currentMSecsSinceEpoch());
    const QVector<MonitorRow> batch = tracker->takeRows();
    if (batch.isEmpty())
        return;
    // Follow the newest rows unless the user has scrolled up to read.
    QScrollBar *bar = ui->tableView->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    liveRows->append(batch);
    if (atBottom && filter->source() == liveRows)
        ui->tableView->scrollToBottom();
}

void MonitorWindow::setPortNames(const QString &first, const QString &second)
{
    livePorts[0] = first;
    livePorts[1] = second;
    if (filter->source() == liveRows)
        setModuleNames(first, second);
}

void MonitorWindow::setModuleNames(const QString &first, const QString &second)
{
    const QString names[2] = {first.isEmpty() ? tr("COM1（左）") : first,
                              second.isEmpty() ? tr("COM2（右）") : second};
    if (ui->comboBox_module->count() != 2) {
        ui->comboBox_module->addItem(names[0]);
        ui->comboBox_module->addItem(names[1]);
        return;
    }
    ui->comboBox_module->setItemText(0, names[0]);
    ui->comboBox_module->setItemText(1, names[1]);
}

void MonitorWindow::showRows(MonitorModel *model)
{
    filter->setSource(model);
    ui->textEdit_detail->clear();
    ui->pushButton_live->setEnabled(model != liveRows);
    ui->tableView->scrollToBottom();
}

bool MonitorWindow::openCapture(const QString &path)
{
    CaptureReader reader(path);
    ExchangeTracker fileTracker;
    fileTracker.setReplyTimeout(ui->spinBox_timeout->value());
    QStringList ports; // side 0 is the first port that received bytes
    QVector<MonitorRow> kept;
    qint64 dropped = 0;
    auto keepNewest = [&](bool final) {
        kept += fileTracker.takeRows();
        const int excess = kept.size() - rowLimit;
        if (excess > 0 && (final || excess >= rowLimit)) {
            kept.erase(kept.begin(), kept.begin() + excess);
            dropped += excess;
        }
    };
    CaptureRecord record;
    qint64 otherPortBytes = 0;
    int records = 0;
    while (reader.next(record)) {
        // Relayed bytes are in the file twice, as RX on one port and TX on
        // the other; the RX lines alone give both directions.
        if (record.direction != CaptureRecord::Received)
            continue;
        int side = ports.indexOf(record.port);
        if (side < 0 && ports.size() < 2) {
            ports << record.port;
            side = ports.size() - 1;
        }
        if (side < 0) {
            otherPortBytes += record.bytes.size();
            continue;
        }
        fileTracker.take(side, record.bytes, record.msecsSinceEpoch);
        if (++records % 4096 == 0)
            keepNewest(false);
    }
    fileTracker.finish();
    keepNewest(true);

    captureRows->clear();
    captureRows->append(kept);
    showRows(captureRows);
    setModuleNames(ports.value(0), ports.value(1));

    QString summary = tr("文件 %1：%2 行").arg(QFileInfo(path).fileName()).arg(kept.size());
    if (dropped > 0)
        summary += tr("（只显示最后 %1 行，前 %2 行未显示）").arg(rowLimit).arg(dropped);
    if (otherPortBytes > 0)
        summary += tr("；第三个端口起的 %1 字节未显示").arg(otherPortBytes);
    if (!reader.error().isEmpty())
        summary += tr("；") + reader.error();
    ui->label_source->setText(summary);
    ui->label_source->setToolTip(summary);
    if (reader.error().isEmpty())
        return true;
    QMessageBox::about(this, tr("提示"),
                       reader.error() + tr("\n已显示此前读到的 %1 行。").arg(kept.size()));
    return false;
}

void MonitorWindow::on_pushButton_open_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("打开捕获文件"));
    if (!path.isEmpty())
        openCapture(path);
}

void MonitorWindow::on_pushButton_live_clicked()
{
    showRows(liveRows);
    setModuleNames(livePorts[0], livePorts[1]);
    ui->label_source->setText(tr("实时：双串口页收到的数据"));
    ui->label_source->setToolTip(QString());
}

void MonitorWindow::on_pushButton_clear_clicked()
{
    filter->source()->clear();
    ui->textEdit_detail->clear();
}

bool MonitorWindow::exportCsv(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QStringList fields;
    for (int column = 0; column < filter->columnCount(); ++column)
        fields << csvField(filter->headerData(column, Qt::Horizontal).toString());
    file.write(fields.join(QLatin1Char(',')).toUtf8() + '\n');
    for (int row = 0; row < filter->rowCount(); ++row) {
        fields.clear();
        for (int column = 0; column < filter->columnCount(); ++column)
            fields << csvField(filter->index(row, column).data().toString());
        file.write(fields.join(QLatin1Char(',')).toUtf8() + '\n');
    }
    return file.commit();
}

void MonitorWindow::on_pushButton_export_clicked()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("导出CSV"), QString(),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        QMessageBox::about(this, tr("失败"), tr("无法写入文件！"));
}

void MonitorWindow::on_comboBox_module_activated(int index)
{
    settings.setValue(moduleSideKey, index);
    liveRows->setModuleSide(index);
    captureRows->setModuleSide(index);
    filter->invalidate();
}

void MonitorWindow::on_spinBox_timeout_valueChanged(int ms)
{
    settings.setValue(replyTimeoutKey, ms);
    tracker->setReplyTimeout(ms);
}

void MonitorWindow::on_comboBox_command_currentIndexChanged(int index)
{
    filter->setCommand(ui->comboBox_command->itemData(index).toInt());
}

void MonitorWindow::on_comboBox_direction_currentIndexChanged(int index)
{
    filter->setDirection(MonitorFilter::Direction(index));
}

void MonitorWindow::on_checkBox_faults_toggled(bool checked)
{
    filter->setFaultsOnly(checked);
}

void MonitorWindow::showDetails(const QModelIndex &current)
{
    if (!current.isValid()) {
        ui->textEdit_detail->clear();
        return;
    }
    const MonitorModel *model = filter->source();
    const int sourceRow = filter->mapToSource(current).row();
    const MonitorRow &row = model->at(sourceRow);
    QStringList lines;
    const QString problem = model->index(sourceRow, MonitorModel::Problem).data().toString();
    if (row.kind == MonitorRow::Stray) {
        lines << tr("帧外字节（%1，%2 个）：").arg(model->directionText(row.side)).arg(row.bytes.size())
              << FrameExplainer::hexText(row.bytes);
        ui->textEdit_detail->setPlainText(lines.join('\n'));
        return;
    }
    if (row.kind == MonitorRow::NoReply)
        lines << tr("请求 #%1 在 %2 ms 内无应答：").arg(row.requestId).arg(row.replyMs);
    else if (!problem.isEmpty())
        lines << tr("问题：") + problem;
    const AnalyzeResult result = explainer->analyze(row.bytes);
    lines << tr("说明：") + result.description
          << tr("长度：") + result.length
          << tr("cmd：") + result.cmd
          << tr("sn：") + result.sn
          << tr("校验和：") + result.checksum
          << tr("配置方式：") + result.setMode
          << tr("大小循环：") + result.connect
          << tr("wifi状态：") + result.wifiState
          << tr("标识码：") + result.productKey
          << tr("帧：") + FrameExplainer::hexText(row.bytes);
    const QMap<QString, QString> values = explainer->values(row.bytes);
    if (!values.isEmpty()) {
        lines << tr("数据点：");
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            lines << QStringLiteral("  %1 = %2").arg(it.key(), it.value());
    }
    ui->textEdit_detail->setPlainText(lines.join('\n'));
}
