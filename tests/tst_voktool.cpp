#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QtTest>

class TestVokTool : public QObject
{
    Q_OBJECT
private slots:
    void checksumOfSampleFrames_data();
    void checksumOfSampleFrames();
    void checksumEdges();
    void getUint16();
    void toHexString();
    void frameFieldsAndEscaping();

private:
    VokTool tool;
};

void TestVokTool::checksumOfSampleFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01") << QByteArray::fromHex("FFFF00050100000006");
    QTest::newRow("0B") << QByteArray::fromHex("FFFF0005 0B000000 10");
    QTest::newRow("09") << QByteArray::fromHex("FFFF0006090000000211");
    QTest::newRow("0D router+cloud") << QByteArray::fromHex("FFFF00070D0200000032 48");
    QTest::newRow("0D router") << QByteArray::fromHex("FFFF00070D0100000012 27");
}

void TestVokTool::checksumOfSampleFrames()
{
    QFETCH(QByteArray, frame);
    QCOMPARE(tool.checksum(frame, 2, 1), quint8(frame.back()));
}

void TestVokTool::checksumEdges()
{
    QCOMPARE(tool.checksum(QByteArray::fromHex("FFFF00"), 2, 1), quint8(0));
    QCOMPARE(tool.checksum(QByteArray(), 2, 1), quint8(0));
    // 0x180 keeps its low byte
    QCOMPARE(tool.checksum(QByteArray::fromHex("FFFF0080808000"), 2, 1), quint8(0x80));
    // a tail longer than the data reads nothing
    QCOMPARE(tool.checksum(QByteArray::fromHex("0102"), 0, 5), quint8(0));
}

void TestVokTool::getUint16()
{
    QCOMPARE(tool.getUint16(QByteArray::fromHex("FFFF0047"), 2), 71u);
    QCOMPARE(tool.getUint16(QByteArray::fromHex("FFFF1234"), 2), 0x1234u);
    QCOMPARE(tool.getUint16(QByteArray::fromHex("FFFF00"), 2), 0u);
    QCOMPARE(tool.getUint16(QByteArray::fromHex("FFFF7F"), 2), 0x7Fu);
    QCOMPARE(tool.getUint16(QByteArray::fromHex("FFFF"), 2), 0u);
}

void TestVokTool::toHexString()
{
    QByteArray bytes = QByteArray::fromHex("0AFF");
    QCOMPARE(tool.toHexString(bytes), QByteArray("0A FF "));
    QCOMPARE(bytes, QByteArray("0A FF "));

    QByteArray three = QByteArray::fromHex("FF005A");
    QCOMPARE(tool.toHexString(three).size(), 9);

    QByteArray empty;
    QCOMPARE(tool.toHexString(empty), QByteArray());
    QVERIFY(empty.isEmpty());
}

void TestVokTool::frameFieldsAndEscaping()
{
    // A frame is built with len, flags and checksum; FF bytes in len, sn and
    // checksum are escaped from the offset asked for.
    const QByteArray frame = VokFrame::build(0x07, 0xF3, QByteArray());
    QCOMPARE(frame, QByteArray::fromHex("FFFF 0005 07 F3 0000 FF"));
    QCOMPARE(VokFrame::escaped(frame, 3), QByteArray::fromHex("FFFF 0005 07 F3 0000 FF55"));
    const QByteArray longLen = QByteArray::fromHex("FFFF FF00 01");
    QCOMPARE(VokFrame::escaped(longLen, 2), QByteArray::fromHex("FFFF FF5500 01"));
    QCOMPARE(VokFrame::escaped(longLen, 3), longLen);

    // Fields a frame is too short for are absent; byte 8 of a frame without
    // payload is its checksum, not an action.
    QCOMPARE(VokFrame::len(QByteArray::fromHex("FFFF00")), std::nullopt);
    QCOMPARE(VokFrame::cmd(QByteArray::fromHex("FFFF0005")), std::nullopt);
    QCOMPARE(VokFrame::sn(frame), std::optional<quint8>(0xF3));
    QCOMPARE(VokFrame::action(frame), std::nullopt);
    QCOMPARE(VokFrame::action(VokFrame::build(0x03, 1, "\x02")), std::optional<quint8>(0x02));
}

QTEST_GUILESS_MAIN(TestVokTool)
#include "tst_voktool.moc"
