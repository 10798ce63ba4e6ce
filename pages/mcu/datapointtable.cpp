#include "pages/mcu/datapointtable.h"

#include "datapoint/vokjson.h"
#include "pages/common/pagebackground.h"
#include "protocol/frame.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QRegExp>
#include <QRegExpValidator>
#include <QHash>
#include <QSpinBox>
#include <QTableWidget>

#include <limits>

namespace {

const QColor readOnlyColour(221, 221, 221, 255);
const QColor controlledColour(252, 222, 156, 255);

// A status payload never exceeds what the 16-bit length field can count, so
// a binary editor longer than that could only come from a broken definition.
const int maxBinaryBytes = 0xFFFF;

int toSpinBoxRange(qint64 value)
{
    return int(qBound<qint64>(std::numeric_limits<int>::min(), value,
                              std::numeric_limits<int>::max()));
}

} // namespace

DataPointTable::DataPointTable(QTableWidget *table, VokJson *json, QWidget *page)
    : QObject(page), table(table), json(json), page(page)
{
}

void DataPointTable::rebuild(const QList<json_struct> &jsonList)
{
    table->clear();
    table->setRowCount(0); // also deletes the previous cell widgets
    table->setRowCount(jsonList.size());
    table->setColumnCount(2);
    table->setColumnWidth(0, 220);
    for (int row = 0; row < jsonList.size(); ++row) {
        const json_struct &point = jsonList.at(row);
        auto *nameItem = new QTableWidgetItem(point.display_name);
        table->setItem(row, 0, nameItem);
        if (QWidget *editor = createEditor(point)) {
            table->setItem(row, 1, new QTableWidgetItem);
            table->setCellWidget(row, 1, editor);
        }
        if (point.isReportOnly())
            nameItem->setBackground(PageBackground::rowColour(table->palette(), readOnlyColour));
    }
}

QWidget *DataPointTable::createEditor(const json_struct &point) const
{
    if (point.isBool()) {
        auto *spin = new QSpinBox(page);
        spin->setMaximum(1);
        spin->setMinimum(0);
        return spin;
    }
    if (point.isEnum()) {
        auto *combo = new QComboBox(page);
        for (int i = 0; i < point.enum_values.size(); ++i)
            combo->insertItem(i, point.enum_values.at(i));
        return combo;
    }
    if (point.uintBytes() > 0) {
        // A uint32 bound above what a spin box holds is limited to its range;
        // QSpinBox starts at 0 and clamps it into [min, max].
        auto *spin = new QSpinBox(page);
        spin->setMaximum(toSpinBoxRange(point.max));
        spin->setMinimum(toSpinBoxRange(point.min));
        return spin;
    }
    if (point.isBinary()) {
        auto *edit = new QLineEdit(page);
        edit->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[a-fA-F0-9]+$")), edit));
        edit->setMaxLength(2 * qBound(0, point.len, maxBinaryBytes));
        return edit;
    }
    return nullptr;
}

QByteArray DataPointTable::buildStatusFrame(quint8 cmd, quint8 sn, quint8 action) const
{
    QByteArray frame = json->statusTemplate();
    // Row i shows datapoint i unless its name was edited: then the first
    // datapoint of the new name, and a name the definition does not know is
    // skipped instead of being handed to the model.
    const QList<json_struct> points = json->dataPoints();
    QHash<QString, int> firstOfName;
    for (int i = points.size() - 1; i >= 0; --i)
        firstOfName.insert(points.at(i).display_name, i);

    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *nameItem = table->item(row, 0);
        if (!nameItem)
            continue;
        const QString name = nameItem->text();
        const int index = row < points.size() && points.at(row).display_name == name
                ? row
                : firstOfName.value(name, -1);
        if (index < 0)
            continue;
        QWidget *editor = table->cellWidget(row, 1);
        if (auto *spin = qobject_cast<QSpinBox *>(editor)) {
            json->writeIntValue(frame, index, spin->value());
        } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            json->writeIntValue(frame, index, combo->currentIndex());
        } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            const QString digits = edit->text().leftJustified(edit->maxLength(), QLatin1Char('0'));
            json->writeBytesValue(frame, index, QByteArray::fromHex(digits.toLatin1()));
        }
    }

    frame[VokFrame::CmdPos] = char(cmd);
    frame[VokFrame::SnPos] = char(sn);
    frame[VokFrame::ActionPos] = char(action);
    VokFrame::stampChecksum(frame);
    // The MCU page leaves the high length byte as it is; every 0xFF after it
    // gets its 0x55.
    const QByteArray wire = VokFrame::escaped(frame, VokFrame::LenPos + 1);
    for (int i = frame.size(); i < wire.size(); ++i)
        qDebug() << "in";
    return wire;
}

void DataPointTable::applyControlFrame(const QByteArray &frame)
{
    const int resetRows = qMin(json->writableCount, table->rowCount());
    for (int row = 0; row < resetRows; ++row) {
        if (QTableWidgetItem *nameItem = table->item(row, 0))
            nameItem->setBackground(table->palette().base());
    }

    const QMap<QString, QString> values = json->decodeControl(frame);
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        for (int row = 0; row < table->rowCount(); ++row) {
            QTableWidgetItem *nameItem = table->item(row, 0);
            if (!nameItem || nameItem->text() != value.key())
                continue;
            QWidget *editor = table->cellWidget(row, 1);
            if (!editor)
                continue;
            nameItem->setBackground(PageBackground::rowColour(table->palette(), controlledColour));
            if (auto *spin = qobject_cast<QSpinBox *>(editor)) {
                // uint32 values above the spin box's range end at its maximum.
                bool ok = false;
                const qint64 number = value.value().toLongLong(&ok);
                spin->setValue(toSpinBoxRange(ok ? number : 0));
            } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
                const int index = combo->findText(value.value());
                if (index >= 0)
                    combo->setCurrentIndex(index);
            } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
                edit->setText(value.value());
            }
        }
    }
}
