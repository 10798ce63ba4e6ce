#include "controlencoder.h"

#include "moduleprotocol.h"

#include "datapoint/vokjson.h"

#include <algorithm>

namespace {
const QString kWritable = "status_writable";
const QString kBit = "bit";

int statusDataSize(const VokJson &definition)
{
    return definition.statusTemplate().size() - 10; // header .. action, checksum
}

int firstIndexOf(const QList<json_struct> &points, const QString &displayName)
{
    for (int i = 0; i < points.size(); ++i) {
        if (points.at(i).display_name == displayName)
            return i;
    }
    return -1;
}
} // namespace

int ControlEncoder::maskSize(const VokJson &definition)
{
    return (definition.writableCount + 7) / 8;
}

int ControlEncoder::writableBitAreaSize(const QList<json_struct> &points)
{
    int writableBits = 0;
    for (const json_struct &point : points) {
        if (point.type == kWritable && point.unit == kBit)
            writableBits += qMax(point.len, 0);
    }
    return (writableBits + 7) / 8;
}

int ControlEncoder::writableSectionSize(const VokJson &definition)
{
    const QList<json_struct> points = definition.dataPoints();
    const int bitArea = writableBitAreaSize(points);
    // The section runs from the start of the status data to the end of the
    // furthest writable datapoint (or of the writable bit area).
    int end = 0;
    for (const json_struct &point : points) {
        if (point.type != kWritable)
            continue;
        const int size = point.unit == kBit ? bitArea : point.len;
        end = std::max(end, qMax(point.byte_offset, 0) + qMax(size, 0));
    }
    return end;
}

int ControlEncoder::payloadSize(const VokJson &definition)
{
    return maskSize(definition) + writableSectionSize(definition);
}

bool ControlEncoder::encode(const QStringList &assignments, QByteArray *payload,
                            QString *error) const
{
    const QList<json_struct> points = definition.dataPoints();
    const int maskBytes = maskSize(definition);
    const int sectionSize = writableSectionSize(definition);
    QByteArray frame = definition.statusTemplate();
    if (sectionSize > statusDataSize(definition)) {
        *error = "the definition places writable datapoints beyond the status data";
        return false;
    }
    QByteArray mask(maskBytes, '\0');
    QStringList given;
    for (const QString &assignment : assignments) {
        const int equals = assignment.lastIndexOf('=');
        if (equals <= 0) {
            *error = QString("'%1' is not NAME=VALUE").arg(assignment);
            return false;
        }
        const QString name = assignment.left(equals);
        const int index = firstIndexOf(points, name);
        if (index < 0) {
            *error = QString("the definition has no datapoint named '%1'").arg(name);
            return false;
        }
        const json_struct &point = points.at(index);
        if (point.type != kWritable) {
            *error = QString("'%1' is not writable (%2)").arg(name, point.type);
            return false;
        }
        if (given.contains(name)) {
            *error = QString("'%1' is given twice").arg(name);
            return false;
        }
        given << name;
        if (index / 8 >= maskBytes) {
            *error = QString("'%1' lies beyond the presence mask of %2 writable datapoints")
                         .arg(name)
                         .arg(definition.writableCount);
            return false;
        }
        qint64 number = 0;
        QByteArray bytes;
        if (!parseValue(point, assignment.mid(equals + 1), &number, &bytes, error)) {
            *error = QString("%1: %2").arg(name, *error);
            return false;
        }
        frame = point.data_type == "binary" ? definition.setBytesValue(frame, name, bytes)
                                            : definition.setIntValue(frame, name, number);
        mask[maskBytes - 1 - index / 8] = char(mask.at(maskBytes - 1 - index / 8) | (1 << (index % 8)));
    }
    *payload = mask + frame.mid(ModuleProtocol::kAction + 1, sectionSize);
    return true;
}

bool ControlEncoder::parseValue(const json_struct &point, const QString &text, qint64 *number,
                                QByteArray *bytes, QString *error) const
{
    const QString &type = point.data_type;
    const bool bitField = point.unit == kBit;
    if (type == "binary") {
        if (bitField || point.len < 1) {
            *error = QString("a binary datapoint of %1 %2 cannot be written")
                         .arg(point.len)
                         .arg(point.unit);
            return false;
        }
        if (!ModuleProtocol::parseHex(text, bytes) || bytes->size() > point.len) {
            *error = QString("'%1' is not hexadecimal of at most %2 bytes").arg(text).arg(point.len);
            return false;
        }
        bytes->append(QByteArray(point.len - bytes->size(), '\0'));
        return true;
    }

    qint64 limit = 0; // largest value the data type holds
    if (type == "bool") {
        limit = 1;
        if (text == "true")
            *number = 1;
        else if (text == "false")
            *number = 0;
        else if (!ModuleProtocol::parseNumber(text, number))
            *number = -1;
    } else if (type == "enum") {
        limit = point.enum_values.size() - 1;
        const int textIndex = point.enum_values.indexOf(text);
        if (textIndex >= 0)
            *number = textIndex;
        else if (!ModuleProtocol::parseNumber(text, number))
            *number = -1;
    } else if (type == "uint8" || type == "uint16" || type == "uint32") {
        limit = type == "uint8" ? 0xFF : type == "uint16" ? 0xFFFF : 0xFFFFFFFFLL;
        if (!ModuleProtocol::parseNumber(text, number))
            *number = -1;
    } else {
        *error = QString("data type '%1' cannot be written").arg(type);
        return false;
    }

    // The field itself may be narrower than the data type; a bit field must
    // lie inside the bit area and span at most two bytes.
    if (bitField
        && (point.len < 1 || point.bit_offset < 0 || point.bit_offset % 8 + point.len > 16
            || point.bit_offset + point.len > 8 * writableBitAreaSize(definition.dataPoints()))) {
        *error = QString("a bit field of %1 bits at bit %2 cannot be written")
                     .arg(point.len)
                     .arg(point.bit_offset);
        return false;
    }
    if (!bitField && (point.len < 1 || point.len > 4)) {
        *error = QString("a field of %1 bytes cannot be written").arg(point.len);
        return false;
    }
    const int fieldBits = bitField ? point.len : 8 * point.len;
    limit = std::min(limit, (qint64(1) << fieldBits) - 1);
    if (*number < 0 || *number > limit) {
        *error = limit < 0 ? QString("has no values")
                           : QString("'%1' is not a value from 0 to %2").arg(text).arg(limit);
        return false;
    }
    return true;
}
