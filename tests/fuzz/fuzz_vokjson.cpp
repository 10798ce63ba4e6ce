// The definition parser with any JSON document (the document part of the
// input), then the payload coding: the pieces after it as control and
// status frames to decode, and as values written into a status frame.

#include "datapoint/vokjson.h"
#include "fuzzinput.h"
#include "protocol/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QList<QByteArray> pieces;
    VokJson model;
    model.parseFile(FuzzInput::writeDocument(data, size, ".json", &pieces)); // empty path: no definition
    for (const QByteArray &frame : pieces)
        model.decodeControl(frame), model.decodeStatus(frame);

    // Values go only into the status data: header, length, command, sn,
    // flags, action and checksum stay as the template made them. 256
    // datapoints reach every section; more only repeat the work.
    QByteArray frame = model.statusTemplate();
    for (int i = 0; i < model.dataPoints().size() && i < 256; ++i) {
        const QByteArray value = pieces.isEmpty() ? QByteArray() : pieces.at(i % pieces.size());
        // the value's first eight bytes as a big-endian number
        model.writeIntValue(frame, i, qint64(value.left(8).toHex().toULongLong(nullptr, 16)));
        model.writeBytesValue(frame, i, value);
    }
    FuzzInput::require(frame.size() >= 10 && uint(frame.size()) == VokFrame::getUint16(frame, 2) + 4
                           && frame.left(9) == model.statusTemplate().left(9) && frame.back() == '\0',
                       "status frame of the wrong length, or a value written outside its data");
    model.decodeStatus(frame);
    return 0;
}
