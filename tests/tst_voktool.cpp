#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QtTest>

class TestVokTool : public QObject
{
    Q_OBJECT
private slots:
    void checksumAndLength();
    void frameFieldsAndEscaping();
};

void TestVokTool::checksumAndLength()
{
    const VokTool tool;
    // A frame ends in the sum of its bytes after the header; the sum wraps,
    // and an empty or reversed range sums to 0.
    const struct { const char *hex; int start, tail, sum; } sums[] = {
        {"FFFF00050100000006", 2, 1, 0x06}, {"FFFF0080808000 80", 2, 2, 0x80},
        {"FFFF00", 2, 1, 0}, {"0100", 0, 5, 0}, {"", 2, 1, 0}};
    for (const auto &s : sums)
        QVERIFY2(tool.checksum(QByteArray::fromHex(s.hex), s.start, s.tail) == quint8(s.sum), s.hex);
    const struct { const char *hex; uint value; } lengths[] = {{"FFFF1234", 0x1234}, {"FFFF7F", 0x7F}, {"FFFF", 0}};
    for (const auto &l : lengths)
        QCOMPARE(tool.getUint16(QByteArray::fromHex(l.hex), 2), l.value);
}

void TestVokTool::frameFieldsAndEscaping()
{
    // FF bytes in len, sn and checksum are escaped from the offset asked for;
    // byte 8 of a frame without payload is its checksum, not an action.
    const QByteArray frame = VokFrame::build(0x07, 0xF3, QByteArray());
    QCOMPARE(frame, QByteArray::fromHex("FFFF 0005 07 F3 0000 FF"));
    QCOMPARE(VokFrame::escaped(frame, 3), QByteArray::fromHex("FFFF 0005 07 F3 0000 FF55"));
    QCOMPARE(VokFrame::escaped(QByteArray::fromHex("FFFF FF00"), 2), QByteArray::fromHex("FFFF FF5500"));
    QCOMPARE(VokFrame::escaped(QByteArray::fromHex("FFFF FF00"), 3), QByteArray::fromHex("FFFF FF00"));
    QCOMPARE(VokFrame::sn(frame), std::optional<quint8>(0xF3));
    QCOMPARE(VokFrame::action(frame), std::nullopt);
    QCOMPARE(VokFrame::action(VokFrame::build(0x03, 1, "\x02")), std::optional<quint8>(0x02));
}

QTEST_GUILESS_MAIN(TestVokTool)
#include "tst_voktool.moc"
