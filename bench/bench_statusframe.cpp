// Building a status frame from the MCU page's datapoint table for a generated
// definition of 20,000 uint8 datapoints: the table's own build (each row's
// datapoint by position) side by side with a build that finds each row's
// datapoint by display name, as the table once did. Both are run alternately
// in one process and must give the same frame.

#include "datapoint/vokjson.h"
#include "pages/mcu/datapointtable.h"
#include "protocol/frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const int pointCount = 20000;
const int rounds = 3;

QByteArray generatedDefinition()
{
    QJsonArray attrs;
    for (int i = 0; i < pointCount; ++i) {
        attrs.append(QJsonObject{
            {"id", i + 1},
            {"name", QString("p%1").arg(i)},
            {"display_name", QString("数据点%1").arg(i)},
            {"data_type", "uint8"},
            {"type", "status_writable"},
            {"position", QJsonObject{{"unit", "byte"}, {"len", 1}, {"byte_offset", i}, {"bit_offset", 0}}},
            {"uint_spec", QJsonObject{{"min", 0}, {"max", 255}}}});
    }
    const QJsonObject entity{{"id", 0}, {"attrs", attrs}};
    return QJsonDocument(QJsonObject{{"entities", QJsonArray{entity}}}).toJson(QJsonDocument::Compact);
}

// Every row's datapoint looked up by its display name, the frame passed by value.
QByteArray buildByName(const QTableWidget &table, const VokJson &json)
{
    QByteArray frame = json.statusTemplate();
    for (int row = 0; row < table.rowCount(); ++row) {
        const QString name = table.item(row, 0)->text();
        if (auto *spin = qobject_cast<QSpinBox *>(table.cellWidget(row, 1)))
            frame = json.setIntValue(frame, name, spin->value());
    }
    frame[VokFrame::CmdPos] = char(VokFrame::Cmd::ControlReply);
    frame[VokFrame::SnPos] = 1;
    frame[VokFrame::ActionPos] = char(VokFrame::Action::StatusReply);
    VokFrame::stampChecksum(frame);
    return VokFrame::escaped(frame, VokFrame::LenPos + 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile file(dir.filePath("big.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(generatedDefinition()) < 0)
        return 1;
    file.close();

    VokJson json;
    if (!json.parseFile(file.fileName()) || json.dataPoints().size() != pointCount)
        return 1;
    QWidget page;
    QTableWidget widget(&page);
    DataPointTable table(&widget, &json, &page);
    table.rebuild(json.dataPoints());
    for (int row = 0; row < pointCount; ++row)
        qobject_cast<QSpinBox *>(widget.cellWidget(row, 1))->setValue(row % 251);

    std::printf("status frame of %d datapoints (%d data bytes), %d rounds each, alternating\n",
                pointCount, json.statusDataSize(), rounds);
    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const QByteArray byIndex = table.buildStatusFrame(VokFrame::Cmd::ControlReply, 1,
                                                          VokFrame::Action::StatusReply);
        const double indexMs = clock.nsecsElapsed() / 1e6;
        clock.restart();
        const QByteArray byName = buildByName(widget, json);
        const double nameMs = clock.nsecsElapsed() / 1e6;
        std::printf("round %d: by position %.2f ms, by name %.1f ms (%.0fx)%s\n", round, indexMs,
                    nameMs, nameMs / indexMs, byIndex == byName ? "" : "  FRAMES DIFFER");
    }
    return 0;
}
