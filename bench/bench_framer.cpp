// Splitter throughput: mixed frames and maximum-size frames through the
// framer, against a literal per-byte reference that rescans its whole buffer
// for FF 55 after every byte.
#include "support/chunksource.h"
#include "support/framestream.h"
#include "protocol/vokframer.h"
#include "protocol/voktool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

class FrameCounter : public QObject
{
    Q_OBJECT
public:
    qint64 frames = 0;
    qint64 bytes = 0;
public slots:
    void take(const QByteArray &frame)
    {
        ++frames;
        bytes += frame.size();
    }
};

// The per-byte rules taken literally: append, drop until FF, replace every
// FF 55 in the whole buffer, compare the size with len + 4.
class LiteralReference
{
public:
    qint64 frames = 0;
    void feed(const QByteArray &chunk)
    {
        for (char byte : chunk) {
            buffer.append(byte);
            while (!buffer.isEmpty() && quint8(buffer.at(0)) != 0xFF)
                buffer.remove(0, 1);
            buffer.replace(QByteArray("\xFF\x55", 2), QByteArray("\xFF", 1));
            if (buffer.size() <= 4)
                continue;
            if (buffer.size() == int(tool.getUint16(buffer, 2)) + 4) {
                ++frames;
                buffer.clear();
            }
        }
    }

private:
    QByteArray buffer;
    VokTool tool;
};

struct Run
{
    double seconds;
    qint64 frames;
};

// The literal rules collapse a data FF 55 twice and then never complete the
// frame, so the streams both sides are timed on hold FF bytes (escaped on
// the wire) but no FF 55 in the data.
static QByteArray payloadWithoutFf55(QRandomGenerator &rng, int size)
{
    QByteArray p = FrameStream::payload(rng, size);
    for (int i = 1; i < p.size(); ++i) {
        if (quint8(p.at(i - 1)) == 0xFF && p.at(i) == 0x55)
            p[i] = 0x54;
    }
    return p;
}

static QList<QByteArray> chunked(const QByteArray &stream, int size)
{
    QList<QByteArray> chunks;
    for (int pos = 0; pos < stream.size(); pos += size)
        chunks.append(stream.mid(pos, size));
    return chunks;
}

static Run runFramer(const QList<QByteArray> &chunks)
{
    ChunkSource source;
    VokFramer framer(&source);
    FrameCounter counter;
    QObject::connect(&framer, &VokFramer::LineDataReady, &counter, &FrameCounter::take);
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray &chunk : chunks)
        emit source.DataReady(chunk);
    return {timer.nsecsElapsed() / 1e9, counter.frames};
}

static Run runReference(const QList<QByteArray> &chunks)
{
    LiteralReference reference;
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray &chunk : chunks)
        reference.feed(chunk);
    return {timer.nsecsElapsed() / 1e9, reference.frames};
}

static void print(const char *what, const Run &run, qint64 bytes)
{
    std::printf("%-46s %10.3f MB/s  (%lld bytes, %lld frames, %.3f s)\n", what,
                bytes / run.seconds / 1e6, static_cast<long long>(bytes),
                static_cast<long long>(run.frames), run.seconds);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QRandomGenerator rng(12345);
    const int chunkSize = 4096;

    QByteArray mixed;
    while (mixed.size() < 16 * 1024 * 1024) {
        const int frameSize = 9 + int(rng.bounded(292)); // 9 .. 300 bytes
        mixed += FrameStream::escaped(FrameStream::frame(
            quint8(rng.bounded(256)), quint8(rng.bounded(256)), payloadWithoutFf55(rng, frameSize - 9)));
    }
    const Run mixedRun = runFramer(chunked(mixed, chunkSize));
    print("(a) mixed frames 9..300 bytes, framer", mixedRun, mixed.size());

    const QByteArray maxFrame =
        FrameStream::escaped(FrameStream::frame(0x05, 0, payloadWithoutFf55(rng, 0xFFFF - 5)));
    QByteArray maxStream;
    for (int i = 0; i < 256; ++i)
        maxStream += maxFrame;
    const Run maxRun = runFramer(chunked(maxStream, chunkSize));
    print("(b) maximum-size frames (len FFFF), framer", maxRun, maxStream.size());

    const QByteArray sample = mixed.left(256 * 1024);
    const Run refMixed = runReference(chunked(sample, chunkSize));
    print("(a) literal reference, first 256 KiB of (a)", refMixed, sample.size());

    const Run refMax = runReference(chunked(maxFrame, chunkSize));
    print("(b) literal reference, one maximum-size frame", refMax, maxFrame.size());

    const double framerPerByte = maxRun.seconds / maxStream.size();
    const double referencePerByte = refMax.seconds / maxFrame.size();
    std::printf("maximum-size frames: framer is %.0f times faster than the literal reference\n",
                referencePerByte / framerPerByte);
    return 0;
}

#include "bench_framer.moc"
