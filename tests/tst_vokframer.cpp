#include "support/chunksource.h"
#include "support/framestream.h"
#include "support/referenceframer.h"
#include "protocol/vokframer.h"

#include <QSignalSpy>
#include <QtTest>

class TestVokFramer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void splitsKnownStreams_data();
    void splitsKnownStreams();
    void randomCleanStreamsComeOutIntact();
    void randomHostileStreamsMatchTheRules();

private:
    QList<QByteArray> feed(const QList<QByteArray> &chunks);
    static QList<QByteArray> randomCuts(QRandomGenerator &rng, const QByteArray &stream);

    ChunkSource *source = nullptr;
    VokFramer *framer = nullptr;
};

void TestVokFramer::init()
{
    delete framer;
    delete source;
    source = new ChunkSource;
    framer = new VokFramer(source);
}

QList<QByteArray> TestVokFramer::feed(const QList<QByteArray> &chunks)
{
    QSignalSpy spy(framer, &VokFramer::LineDataReady);
    for (const QByteArray &chunk : chunks)
        emit source->DataReady(chunk);
    QList<QByteArray> frames;
    for (const QList<QVariant> &args : qAsConst(spy))
        frames.append(args.at(0).toByteArray());
    return frames;
}

QList<QByteArray> TestVokFramer::randomCuts(QRandomGenerator &rng, const QByteArray &stream)
{
    QList<QByteArray> chunks;
    for (int pos = 0; pos < stream.size();) {
        const int size = rng.bounded(4) == 0 ? 1 : 1 + rng.bounded(400);
        chunks.append(stream.mid(pos, size));
        pos += size;
    }
    return chunks;
}

void TestVokFramer::splitsKnownStreams_data()
{
    using L = QList<QByteArray>;
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::addColumn<L>("chunks");
    QTest::addColumn<L>("expected");
    const QByteArray info = hex("FFFF00050100000006");
    QTest::newRow("garbage before a frame") << L{hex("0012") + info} << L{info};
    QTest::newRow("three chunks") << L{hex("FFFF00"), hex("050100"), hex("000006")} << L{info};
    QTest::newRow("two frames in one chunk")
        << L{info + hex("FFFF00050B00000010")} << L{info, hex("FFFF00050B00000010")};
    QTest::newRow("escaped FF in payload")
        << L{hex("FFFF0006090000 00FF550E")} << L{hex("FFFF000609000000FF0E")};
    QTest::newRow("wrong checksum delivered unchanged")
        << L{hex("FFFF00050100000099")} << L{hex("FFFF00050100000099")};
    QTest::newRow("55 after lone leading FF is swallowed")
        << L{hex("FF55FF00050100000006")} << L{hex("FFFF00050100000006")};
    QTest::newRow("header split byte by byte")
        << L{hex("FF"), hex("FF"), hex("00"), hex("05"), hex("01"), hex("00"), hex("00"),
             hex("00"), hex("06")}
        << L{info};
    // Data FF 55 goes out as FF 55 55: exactly one 55 is the escape, the 0E
    // after it is noise, and the next frame is still found whole.
    QTest::newRow("escaped FF followed by 55")
        << L{hex("FFFF000609000000FF55550E") + info} << L{hex("FFFF000609000000FF55"), info};
    QTest::newRow("frame ending in escaped FF")
        << L{hex("FFFF000501000000FF55"), info} << L{hex("FFFF000501000000FF"), info};
    QTest::newRow("zero-length header")
        << L{hex("FF000000") + QByteArray(100, 0x11) + info} << L{info};
    // The second header byte is the next candidate: it reads 00 11 as len,
    // takes its 21 bytes of noise as a frame, and the splitter goes on.
    QTest::newRow("zero-length header, then FF 00 11")
        << L{hex("FFFF0000"), QByteArray(100, 0x11), info}
        << L{hex("FF0000") + QByteArray(18, 0x11), info};
}

void TestVokFramer::splitsKnownStreams()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, expected);
    QCOMPARE(feed(chunks), expected);
}

void TestVokFramer::randomCleanStreamsComeOutIntact()
{
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 40; ++round) {
        init();
        QList<QByteArray> sent;
        QByteArray stream;
        for (int i = 0; i < 60; ++i) {
            const QByteArray f = FrameStream::frame(quint8(rng.bounded(256)), quint8(rng.bounded(256)),
                                                    FrameStream::payload(rng, rng.bounded(300)));
            sent.append(f);
            stream += FrameStream::escaped(f);
            // noise between frames that holds no header byte
            for (int n = rng.bounded(3); n > 0; --n)
                stream.append(char(rng.bounded(255)));
        }
        QCOMPARE(feed(randomCuts(rng, stream)), sent);
    }
}

void TestVokFramer::randomHostileStreamsMatchTheRules()
{
    QRandomGenerator rng(77);
    for (int round = 0; round < 60; ++round) {
        init();
        QByteArray stream;
        for (int i = 0; i < 40; ++i) {
            switch (rng.bounded(6)) {
            case 0: // noise, header bytes included
                stream += FrameStream::payload(rng, rng.bounded(20));
                break;
            case 1: // a header whose len is 0
                stream += QByteArray::fromHex("FFFF0000");
                break;
            case 2: // a frame cut short
                stream += FrameStream::escaped(
                    FrameStream::frame(3, 1, FrameStream::payload(rng, 30))).left(rng.bounded(30));
                break;
            default:
                stream += FrameStream::escaped(FrameStream::frame(
                    quint8(rng.bounded(256)), 0, FrameStream::payload(rng, rng.bounded(200))));
            }
        }
        ReferenceFramer reference;
        reference.feed(stream);
        QCOMPARE(feed(randomCuts(rng, stream)), reference.frames);
    }
}

QTEST_GUILESS_MAIN(TestVokFramer)
#include "tst_vokframer.moc"
