#include "datapoint/vokjson.h"

#include "protocol/frame.h"
#include "protocol/vokfiles.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The action byte is the first byte of the payload, the status data the rest.
constexpr qint64 maxStatusDataBytes = VokFrame::MaxPayload - 1;
constexpr qint64 dataStart = VokFrame::ActionPos + 1;
// Each fetch remembers the cache file of its own key, so that overlapping
// fetches do not store one key's reply under another key's name.
const char *const cachePathProperty = "vokCachePath";

qint64 bytesForBits(qint64 bits)
{
    return bits > 0 ? (bits + 7) / 8 : 0;
}

// True when the count bytes from start lie inside [lower, upper).
bool inside(qint64 start, qint64 count, qint64 lower, qint64 upper)
{
    return count > 0 && start >= lower && start + count <= upper;
}

// A JSON integer as qint64 (uint32 bounds do not fit an int); anything that
// is not an integral number reads as 0, like QJsonValue::toInt does.
qint64 toInt64(const QJsonValue &value)
{
    const double number = value.toDouble();
    if (!value.isDouble() || std::trunc(number) != number || std::fabs(number) > 9.0e18)
        return 0;
    return qint64(number);
}

// Where the values of a frame lie for one datapoint: the bit area of its
// section, the index that byte offsets count from, and the end of the data
// (the checksum byte is not data).
struct ValueLayout
{
    qint64 areaStart;
    qint64 areaEnd;
    qint64 byteBase;
    qint64 dataEnd;
};

// A bit field fits when its length is usable, it spans at most two bytes,
// those bytes belong to its bit area and the whole area lies in the data.
bool bitFieldFits(const json_struct &dp, const ValueLayout &at)
{
    if (dp.len < 1 || dp.len > 16 || dp.bit_offset < 0 || dp.bit_offset % 8 + dp.len > 16)
        return false;
    if (!inside(at.areaStart, at.areaEnd - at.areaStart, at.byteBase, at.dataEnd))
        return false;
    const int bytes = dp.bit_offset % 8 + dp.len <= 8 ? 1 : 2;
    const qint64 last = at.areaEnd - 1 - dp.bit_offset / 8;
    return inside(last - bytes + 1, bytes, at.areaStart, at.areaEnd);
}

// The value text of one datapoint, or nothing when its type has no text or
// its value does not lie inside the frame.
std::optional<QString> valueText(const QByteArray &frame, const json_struct &dp,
                                 const ValueLayout &at)
{
    if (dp.isBool() || dp.isEnum()) {
        if (!bitFieldFits(dp, at))
            return std::nullopt;
        const quint16 value = VokJson::GetBits(frame, int(at.areaEnd), dp.bit_offset, dp.len);
        if (dp.isEnum() && value < dp.enum_values.size())
            return dp.enum_values.at(value);
        return QString::number(value); // a bool, or an enum value without a text
    }
    const int size = dp.isBinary() ? dp.len : dp.uintBytes();
    const qint64 start = at.byteBase + dp.byte_offset;
    if (!inside(start, size, at.byteBase, at.dataEnd))
        return std::nullopt;
    const QByteArray bytes = frame.mid(int(start), size);
    if (dp.isBinary())
        return QString::fromLatin1(bytes.toHex());
    quint32 value = 0;
    for (char byte : bytes)
        value = (value << 8) | quint8(byte);
    return QString::number(value);
}

} // namespace

VokJson::VokJson(QObject *parent) : QObject(parent), serviceHost(QStringLiteral(VOK_DATAPOINT_HOST))
{
}

void VokJson::setServiceHost(const QString &hostAndPort)
{
    serviceHost = hostAndPort;
}

void VokJson::setFetchTimeout(int milliseconds)
{
    fetchTimeoutMs = milliseconds;
}

void VokJson::requestJson(const QString &productKey)
{
    jsonPath = VokFiles::definitionCache(productKey);
    QUrl url(QStringLiteral("http://") + serviceHost + QStringLiteral("/v2/datapoint"));
    // Percent-encoded, so that a key holding & or # stays one query value.
    url.setQuery("product_key=" + QString::fromLatin1(QUrl::toPercentEncoding(productKey))
                 + "&format=json");
    QNetworkRequest request(url);
    request.setTransferTimeout(fetchTimeoutMs);
    auto *manager = new QNetworkAccessManager(this);
    QNetworkReply *reply = manager->get(request);
    reply->setProperty(cachePathProperty, jsonPath);
    connect(manager, &QNetworkAccessManager::finished, this, &VokJson::replyFinished);
}

void VokJson::replyFinished(QNetworkReply *reply)
{
    // One manager per fetch: release it (and its reply) once the reply is handled.
    reply->manager()->deleteLater();
    // A reply that was aborted (timeout) is closed and has no body.
    const QByteArray body = reply->isReadable() ? reply->readAll() : QByteArray();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return;
    if (document.object().contains(QLatin1String("errors"))) {
        emit json_stat(false);
        return;
    }
    // Written aside and renamed over the old file, so a failed write keeps
    // the previous definition.
    const QString path = reply->property(cachePathProperty).toString();
    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        return;
    if (file.write(body) != body.size() || !file.commit())
        return;
    emit json_stat(true);
}

void VokJson::parseJson(const QString &productKey)
{
    jsonPath = VokFiles::definitionCache(productKey);
    if (parseFile(jsonPath))
        emit ListOk(dataPointList);
}

bool VokJson::parseFile(const QString &path)
{
    dataPointList.clear();
    writableCount = 0;
    writableBits = readonlyBits = alertBits = faultBits = 0;

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return false;

    // A document that is not an object, or lacks entities or attrs, is an empty definition.
    const QJsonArray attrs = document.object()
                                 .value(QLatin1String("entities")).toArray()
                                 .at(0).toObject()
                                 .value(QLatin1String("attrs")).toArray();
    for (const QJsonValue &element : attrs) {
        const QJsonObject attr = element.toObject();
        json_struct dp;
        dp.display_name = attr.value(QLatin1String("display_name")).toString();
        dp.name = attr.value(QLatin1String("name")).toString();
        dp.data_type = attr.value(QLatin1String("data_type")).toString();
        dp.type = attr.value(QLatin1String("type")).toString();
        dp.id = attr.value(QLatin1String("id")).toInt();
        dp.desc = attr.value(QLatin1String("desc")).toString();
        const QJsonObject position = attr.value(QLatin1String("position")).toObject();
        dp.unit = position.value(QLatin1String("unit")).toString();
        dp.len = position.value(QLatin1String("len")).toInt();
        dp.byte_offset = position.value(QLatin1String("byte_offset")).toInt();
        dp.bit_offset = position.value(QLatin1String("bit_offset")).toInt();

        if (dp.isWritable())
            ++writableCount;
        if (dp.isBitField() && dp.len > 0) {
            switch (dp.section()) {
            case json_struct::Section::Writable: writableBits += dp.len; break;
            case json_struct::Section::ReadOnly: readonlyBits += dp.len; break;
            case json_struct::Section::Alert: alertBits += dp.len; break;
            case json_struct::Section::Fault: faultBits += dp.len; break;
            case json_struct::Section::None: break;
            }
        }

        if (dp.isEnum()) {
            for (const QJsonValue &text : attr.value(QLatin1String("enum")).toArray())
                dp.enum_values.append(text.toString());
        } else if (dp.uintBytes() > 0) {
            const QJsonObject uintRange = attr.value(QLatin1String("uint_spec")).toObject();
            dp.max = toInt64(uintRange.value(QLatin1String("max")));
            dp.min = toInt64(uintRange.value(QLatin1String("min")));
        }
        dataPointList.append(dp);
    }
    return true;
}

qint64 VokJson::sectionBits(json_struct::Section section) const
{
    switch (section) {
    case json_struct::Section::Writable: return writableBits;
    case json_struct::Section::ReadOnly: return readonlyBits;
    case json_struct::Section::Alert: return alertBits;
    case json_struct::Section::Fault: return faultBits;
    case json_struct::Section::None: break;
    }
    return 0;
}

int VokJson::indexOf(const QString &displayName) const
{
    for (int i = 0; i < dataPointList.size(); ++i) {
        if (dataPointList.at(i).display_name == displayName)
            return i;
    }
    return -1;
}

const json_struct *VokJson::findDataPoint(const QString &displayName) const
{
    const int index = indexOf(displayName);
    return index < 0 ? nullptr : &dataPointList.at(index);
}

int VokJson::statusDataSize() const
{
    qint64 dataBytes = bytesForBits(writableBits) + bytesForBits(readonlyBits)
                       + bytesForBits(alertBits) + bytesForBits(faultBits);
    for (const json_struct &dp : dataPointList) {
        if (!dp.isBitField() && dp.len > 0)
            dataBytes += dp.len;
    }
    // Beyond what the length field can count, datapoints simply do not fit.
    return int(std::min(dataBytes, maxStatusDataBytes));
}

QByteArray VokJson::statusTemplate() const
{
    const QByteArray payload = char(VokFrame::Action::StatusReport)
                               + QByteArray(statusDataSize(), '\0');
    QByteArray frame = VokFrame::build(VokFrame::Cmd::StatusReport, 0, payload);
    frame[frame.size() - 1] = '\0'; // stamped by the caller once the values are in
    return frame;
}

QByteArray VokJson::setIntValue(QByteArray frame, const QString &displayName, qint64 value) const
{
    writeIntValue(frame, indexOf(displayName), value);
    return frame;
}

void VokJson::writeIntValue(QByteArray &frame, int index, qint64 value) const
{
    if (index < 0 || index >= dataPointList.size())
        return;
    const json_struct *dp = &dataPointList.at(index);
    const qint64 dataEnd = frame.size() - 1;
    const qint64 start = dataStart + dp->byte_offset;
    if (!dp->isBitField()) {
        if (dp->len <= 4 && inside(start, dp->len, dataStart, dataEnd))
            frame.replace(int(start), dp->len, intToBytes(value, dp->len));
        return;
    }

    const ValueLayout at{start, start + bytesForBits(sectionBits(dp->section())), dataStart, dataEnd};
    if (!bitFieldFits(*dp, at))
        return;
    const int shift = dp->bit_offset % 8;
    const int p = int(at.areaEnd - 1 - dp->bit_offset / 8); // the byte holding bit bit_offset
    // Only the field's own bits: a value too wide for it must not spill into its neighbours.
    const quint32 field = quint32(quint64(value) & ((1u << dp->len) - 1)) << shift;
    frame[p] = char(quint8(frame.at(p)) | (field & 0xFF));
    if (shift + dp->len > 8)
        frame[p - 1] = char(quint8(frame.at(p - 1)) | ((field >> 8) & 0xFF));
}

QByteArray VokJson::setBytesValue(QByteArray frame, const QString &displayName,
                                  const QByteArray &bytes) const
{
    writeBytesValue(frame, indexOf(displayName), bytes);
    return frame;
}

void VokJson::writeBytesValue(QByteArray &frame, int index, const QByteArray &bytes) const
{
    if (index < 0 || index >= dataPointList.size())
        return;
    const json_struct *dp = &dataPointList.at(index);
    // The len of a bit field counts bits: it has no bytes of its own to replace.
    if (dp->isBitField())
        return;
    const qint64 start = dataStart + dp->byte_offset;
    // Exactly len bytes are replaced (short input is zero-padded), so the frame keeps its size.
    if (inside(start, dp->len, dataStart, frame.size() - 1))
        frame.replace(int(start), dp->len, bytes.leftJustified(dp->len, '\0', true));
}

QMap<QString, QString> VokJson::decodeControl(const QByteArray &frame) const
{
    QMap<QString, QString> values;
    const qint64 maskBytes = bytesForBits(writableCount);
    const qint64 valuesStart = dataStart + maskBytes;
    const ValueLayout at{valuesStart, valuesStart + bytesForBits(writableBits), valuesStart,
                         frame.size() - 1};
    // The last mask byte covers datapoints 0-7, the byte before it 8-15, and so on.
    for (int j = 0; j < maskBytes; ++j) {
        const qint64 maskIndex = valuesStart - 1 - j;
        if (maskIndex >= at.dataEnd)
            continue; // that part of the mask is missing from a short frame
        const quint8 mask = quint8(frame.at(int(maskIndex)));
        for (int i = 0; i < 8 && 8 * j + i < writableCount; ++i) {
            const int position = 8 * j + i;
            if (!(mask & (1u << i)) || position >= dataPointList.size())
                continue;
            const json_struct &dp = dataPointList.at(position);
            if (const auto text = valueText(frame, dp, at))
                values.insert(dp.display_name, *text);
        }
    }
    return values;
}

QMap<QString, QString> VokJson::decodeStatus(const QByteArray &frame) const
{
    QMap<QString, QString> values;
    if (!VokFrame::isStatusFrame(frame))
        return values;
    for (const json_struct &dp : dataPointList) {
        const qint64 areaStart = dataStart + dp.byte_offset;
        const ValueLayout at{areaStart, areaStart + bytesForBits(sectionBits(dp.section())), dataStart,
                             frame.size() - 1};
        if (const auto text = valueText(frame, dp, at))
            values.insert(dp.display_name, *text);
    }
    return values;
}

qint64 VokJson::writableSectionSize() const
{
    // From the start of the status data to the end of the furthest writable
    // datapoint (or of the writable bit area).
    const qint64 bitArea = bytesForBits(writableBits);
    qint64 end = 0;
    for (const json_struct &dp : dataPointList) {
        if (!dp.isWritable())
            continue;
        const qint64 size = dp.isBitField() ? bitArea : dp.len;
        end = std::max(end, qint64(std::max(dp.byte_offset, 0)) + std::max<qint64>(size, 0));
    }
    return end;
}

qint64 VokJson::controlPayloadSize() const
{
    return bytesForBits(writableCount) + writableSectionSize();
}

bool VokJson::encodeControl(const QList<ControlValue> &values, QByteArray *payload,
                            QString *error) const
{
    const qint64 sectionSize = writableSectionSize();
    if (sectionSize > statusDataSize()) {
        *error = QStringLiteral("the definition places writable datapoints beyond the status data");
        return false;
    }
    // The values are written into a status frame, whose writable section is
    // then the values part of the control payload.
    QByteArray frame = statusTemplate();
    const int maskBytes = int(bytesForBits(writableCount));
    QByteArray mask(maskBytes, '\0');
    for (const ControlValue &value : values) {
        const QString &name = value.displayName;
        const int index = indexOf(name);
        if (index < 0) {
            *error = QString("the definition has no datapoint named '%1'").arg(name);
            return false;
        }
        const json_struct &dp = dataPointList.at(index);
        if (!dp.isWritable()) {
            *error = QString("'%1' is not writable (%2)").arg(name, dp.type);
            return false;
        }
        // The last mask byte covers datapoints 0-7, the byte before it 8-15, and so on.
        const int maskIndex = maskBytes - 1 - index / 8;
        if (maskIndex < 0) {
            *error = QString("'%1' lies beyond the presence mask of %2 writable datapoints")
                         .arg(name)
                         .arg(writableCount);
            return false;
        }
        const char bit = char(1 << (index % 8));
        if (mask.at(maskIndex) & bit) {
            *error = QString("'%1' is given twice").arg(name);
            return false;
        }
        const QString problem = controlValueProblem(dp, value);
        if (!problem.isEmpty()) {
            *error = name + ": " + problem;
            return false;
        }
        if (dp.isBinary())
            writeBytesValue(frame, index, value.bytes);
        else
            writeIntValue(frame, index, value.number);
        mask[maskIndex] = char(mask.at(maskIndex) | bit);
    }
    *payload = mask + frame.mid(int(dataStart), int(sectionSize));
    return true;
}

QString VokJson::controlValueProblem(const json_struct &dp, const ControlValue &value) const
{
    if (dp.isBinary()) {
        if (dp.isBitField() || dp.len < 1)
            return QString("a binary datapoint of %1 %2 cannot be written").arg(dp.len).arg(dp.unit);
        if (value.bytes.size() > dp.len)
            return QString("%1 bytes do not fit a field of %2").arg(value.bytes.size()).arg(dp.len);
        return QString();
    }
    qint64 limit = 0; // largest value the data type holds
    if (dp.isBool())
        limit = 1;
    else if (dp.isEnum())
        limit = dp.enum_values.size() - 1;
    else if (dp.uintBytes() > 0)
        limit = (qint64(1) << (8 * dp.uintBytes())) - 1;
    else
        return QString("data type '%1' cannot be written").arg(dp.data_type);

    if (dp.isBitField()) {
        const qint64 areaStart = dataStart + dp.byte_offset;
        const ValueLayout at{areaStart, areaStart + bytesForBits(writableBits), dataStart,
                             dataStart + statusDataSize()};
        if (!bitFieldFits(dp, at))
            return QString("a bit field of %1 bits at bit %2 cannot be written")
                .arg(dp.len)
                .arg(dp.bit_offset);
    } else if (dp.len < 1 || dp.len > 4) {
        return QString("a field of %1 bytes cannot be written").arg(dp.len);
    }
    // The field itself may be narrower than the data type.
    const int fieldBits = dp.isBitField() ? dp.len : 8 * dp.len;
    limit = std::min(limit, (qint64(1) << fieldBits) - 1);
    if (limit < 0)
        return QStringLiteral("has no values");
    if (value.number < 0 || value.number > limit)
        return QString("'%1' is not a value from 0 to %2").arg(value.number).arg(limit);
    return QString();
}

QByteArray VokJson::intToBytes(qint64 value, int len)
{
    if (len < 1 || len > 4)
        return QByteArray();
    QByteArray bytes(len, '\0');
    for (int i = 0; i < len; ++i)
        bytes[len - 1 - i] = char((quint64(value) >> (8 * i)) & 0xFF);
    return bytes;
}

quint16 VokJson::GetBits(const QByteArray &data, int endPos, int bitOffset, int bitLen)
{
    if (bitLen == 0) {
        qDebug("GetBits (), WARN: bitLen = 0");
        return 0;
    }
    const int shift = bitOffset % 8;
    // A field spans at most two bytes, and both must lie inside data.
    const bool usable = bitLen > 0 && bitLen <= 16 && bitOffset >= 0 && shift + bitLen <= 16;
    const int bytes = usable && shift + bitLen > 8 ? 2 : 1;
    const qint64 last = qint64(endPos) - 1 - bitOffset / 8;
    if (!usable || !inside(last - bytes + 1, bytes, 0, data.size())) {
        qDebug("GetBits (), WARN: byteOffset+(bitOffset+bitLen) overflows");
        return 0;
    }
    quint32 word = quint8(data.at(int(last)));
    if (bytes == 2)
        word |= quint32(quint8(data.at(int(last) - 1))) << 8;
    return quint16((word >> shift) & ((1u << bitLen) - 1));
}
