#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QtTest>

class TestVokTool : public QObject
{
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void getUint16_data();
    void getUint16();
    void frameFieldsAndEscaping();

private:
    VokTool tool;
};

// Frames end in their checksum: the sum of all bytes after the header.
void TestVokTool::checksum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("tail");
    QTest::addColumn<int>("sum");
    const auto row = [](const char *name, const char *hex, int start = 2, int tail = 1) {
        const QByteArray bytes = QByteArray::fromHex(hex);
        QTest::newRow(name) << bytes << start << tail << int(quint8(bytes.back()));
    };
    row("01", "FFFF00050100000006");
    row("09", "FFFF0006090000000211");
    row("0D router+cloud", "FFFF00070D0200000032 48");
    row("nothing to sum", "FFFF00");
    row("sum 0x180 keeps its low byte", "FFFF0080808000 80", 2, 2);
    row("tail longer than the data", "0100", 0, 5);
    QTest::newRow("empty") << QByteArray() << 2 << 1 << 0;
}

void TestVokTool::checksum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, start);
    QFETCH(int, tail);
    QFETCH(int, sum);
    QCOMPARE(tool.checksum(bytes, start, tail), quint8(sum));
}

void TestVokTool::getUint16_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<uint>("value");
    QTest::newRow("71") << QByteArray::fromHex("FFFF0047") << 71u;
    QTest::newRow("both bytes") << QByteArray::fromHex("FFFF1234") << 0x1234u;
    QTest::newRow("one byte short") << QByteArray::fromHex("FFFF7F") << 0x7Fu;
    QTest::newRow("two bytes short") << QByteArray::fromHex("FFFF") << 0u;
}

void TestVokTool::getUint16()
{
    QFETCH(QByteArray, bytes);
    QFETCH(uint, value);
    QCOMPARE(uint(tool.getUint16(bytes, 2)), value);
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
