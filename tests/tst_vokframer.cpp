#include "support/chunksource.h"
#include "support/framestream.h"
#include "support/referenceframer.h"
#include "protocol/vokframer.h"

#include <QtTest>

namespace {
// The frames a fresh splitter cuts from the stream, fed in chunks of the
// sizes nextSize() gives.
template <typename NextSize> QList<QByteArray> split(const QByteArray &stream, NextSize nextSize)
{
    ChunkSource source;
    VokFramer framer(&source);
    QList<QByteArray> frames;
    QObject::connect(&framer, &VokFramer::LineDataReady, [&frames](const QByteArray &f) { frames << f; });
    for (int pos = 0, size = 0; pos < stream.size(); pos += size)
        emit source.DataReady(stream.mid(pos, size = nextSize()));
    return frames;
}
} // namespace

class TestVokFramer : public QObject
{
    Q_OBJECT
private slots:
    void splitsByTheRules();
};

void TestVokFramer::splitsByTheRules()
{
    // A stream and the frames expected from it, fed byte by byte and in one chunk.
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    const struct { const char *stream; QList<QByteArray> frames; } rows[] = {
        // noise, then a 55 after a lone leading FF is its escape
        {"0012FF55FF00050100000006", {hex("FFFF00050100000006")}},
        // data FF 55 goes out as FF 55 55: one 55 is the escape, the 0E after it noise
        {"FFFF000609000000FF55550EFFFF00050100000006", {hex("FFFF000609000000FF55"), hex("FFFF00050100000006")}},
        // the escape of a frame's last FF comes before the next frame
        {"FFFF000501000000FF55FFFF00050100000006", {hex("FFFF000501000000FF"), hex("FFFF00050100000006")}},
        // a header whose len is 0 is given up ...
        {"FF000000111111FFFF00050100000006", {hex("FFFF00050100000006")}},
        // ... and its second FF is the next candidate, reading 00 03 as len
        {"FFFF000003040506FFFF00050100000006", {hex("FF000003040506"), hex("FFFF00050100000006")}},
    };
    for (const auto &row : rows)
        for (int step : {1, 1 << 16})
            QCOMPARE(split(hex(row.stream), [step] { return step; }), row.frames);

    QRandomGenerator rng(20261206);
    for (int round = 0; round < 100; ++round) {
        // Odd rounds: whole frames, 55s between them, which must come out as
        // sent. Even rounds mix in noise with header bytes, zero-length
        // headers and frames cut short, and follow the per-byte rules.
        const bool clean = round % 2;
        QList<QByteArray> sent;
        QByteArray stream;
        for (int i = 0; i < 50; ++i) {
            const QByteArray f = FrameStream::frame(quint8(i), 0, FrameStream::payload(rng, rng.bounded(300)));
            const QByteArray pieces[] = {FrameStream::payload(rng, rng.bounded(20)), QByteArray::fromHex("FFFF0000"),
                                         FrameStream::escaped(f).left(rng.bounded(30)),
                                         FrameStream::escaped(f) + QByteArray(i % 3, 0x55)};
            stream += pieces[clean ? 3 : qMin(3, int(rng.bounded(6)))];
            sent << f; // looked at in clean rounds only
        }
        ReferenceFramer reference;
        reference.feed(stream);
        const QList<QByteArray> frames =
            split(stream, [&rng] { return rng.bounded(4) == 0 ? 1 : 1 + int(rng.bounded(400)); });
        QCOMPARE(frames, reference.frames);
        QVERIFY(!clean || frames == sent);
    }
}

QTEST_GUILESS_MAIN(TestVokFramer)
#include "tst_vokframer.moc"
