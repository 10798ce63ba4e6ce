// The splitter against the literal per-byte rules: any bytes, cut into
// chunks of any size (the input is the chunks, each behind its length),
// give the same frames in the same order.

#include "fuzzinput.h"
#include "support/chunksource.h"
#include "protocol/vokframer.h"
#include "support/referenceframer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ChunkSource port;
    VokFramer framer(&port);
    QList<QByteArray> frames;
    QObject::connect(&framer, &VokFramer::LineDataReady, [&frames](const QByteArray &frame) { frames.append(frame); });
    ReferenceFramer reference;
    QObject::connect(&port, &ChunkSource::DataReady, [&reference](const QByteArray &chunk) { reference.feed(chunk); });
    for (const QByteArray &chunk : FuzzInput::pieces(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size))))
        emit port.DataReady(chunk);
    FuzzInput::require(frames == reference.frames, "frames differ from the per-byte rules");
    return 0;
}
