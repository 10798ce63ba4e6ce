// The definition parser with any JSON document (the document part of the
// input), then the payload coding: the pieces after it as control and
// status frames to decode, and as values written into a status frame.

#include "datapoint/vokjson.h"
#include "fuzzinput.h"
#include "protocol/voktool.h"

#include <QTemporaryDir>

namespace {
QTemporaryDir *folder = nullptr;
// Enough datapoints to reach every section; more only repeat the work.
constexpr int maxWrites = 256;

qint64 numberOf(const QByteArray &bytes)
{
    qint64 value = 0;
    for (int i = 0; i < bytes.size() && i < 8; ++i)
        value = qint64(quint64(value) << 8 | quint8(bytes.at(i)));
    return value;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    folder = FuzzInput::scratchFolder();
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QString path = folder->filePath("definition.json");
    if (!FuzzInput::writeDocument(path, input))
        return 0;
    VokJson model;
    model.parseFile(path);
    const QList<QByteArray> pieces = FuzzInput::pieces(FuzzInput::rest(input));
    for (const QByteArray &frame : pieces) {
        model.decodeControl(frame);
        model.decodeStatus(frame);
    }

    // Values go only into the status data: header, length, command, sn,
    // flags, action and checksum stay as the template made them.
    QByteArray frame = model.statusTemplate();
    FuzzInput::require(frame.size() >= 10 && VokTool().getUint16(frame, 2) + 4 == uint(frame.size()),
                       "status template length field disagrees with its size");
    const QByteArray head = frame.left(9);
    const QList<json_struct> dataPoints = model.dataPoints();
    for (int i = 0; i < dataPoints.size() && i < maxWrites; ++i) {
        const QByteArray value = pieces.isEmpty() ? QByteArray() : pieces.at(i % pieces.size());
        frame = model.setIntValue(frame, dataPoints.at(i).display_name, numberOf(value));
        frame = model.setBytesValue(frame, dataPoints.at(i).display_name, value);
    }
    FuzzInput::require(uint(frame.size()) == VokTool().getUint16(frame, 2) + 4 && frame.left(9) == head
                           && frame.back() == '\0',
                       "a value was written outside the status data");
    model.decodeStatus(frame);
    return 0;
}
