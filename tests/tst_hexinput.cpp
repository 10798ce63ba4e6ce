#include "protocol/hexinput.h"

#include <QtTest>

class TestHexInput : public QObject
{
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
};

void TestHexInput::accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray init = QByteArray::fromHex("FFFF00050B00000010");
    QTest::newRow("spaced pairs") << "FF FF 00 05 0B 00 00 00 10" << init;
    QTest::newRow("one run, lower case") << "ffff00050b00000010" << init;
    QTest::newRow("every separator") << "FF\tFF\r\n00,05:0B-00 , 00\n\n00 10 " << init;
    QTest::newRow("prefixed pairs") << "0xFF 0XFF 0x00 0x05 0x0B 0x00 0x00 0x00 0x10" << init;
    QTest::newRow("prefixed runs") << "0xFFFF,0x0005" << QByteArray::fromHex("FFFF0005");
    QTest::newRow("0 then x is a prefix only before a digit") << "00 0x00" << QByteArray(2, '\0');
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("separators only") << " \n,-" << QByteArray();
}

void TestHexInput::accepted()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const HexInput::Result result = HexInput::parse(text);
    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(result.bytes.toHex(' '), bytes.toHex(' '));
    QCOMPARE(result.message, QString());
}

void TestHexInput::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("offending");
    QTest::addColumn<QString>("named"); // how the message names it
    QTest::newRow("odd single digits") << "1 2 3" << 1 << "1" << "第 1 个字符起的“1”";
    QTest::newRow("odd run after pairs") << "FF FF 00050" << 7 << "00050" << "第 7 个字符起的“00050”";
    QTest::newRow("odd prefixed group") << "0x55 0xAAA" << 6 << "0xAAA" << "“0xAAA”";
    QTest::newRow("prefix glued to the last group") << "0x55 0xAA0xBB" << 11 << "x" << "第 11 个字符 “x”";
    QTest::newRow("bare prefix") << "55 0x" << 5 << "x" << "“x”";
    QTest::newRow("words") << "hello GG 1" << 1 << "h" << "“h”";
    QTest::newRow("letter after a group") << "FF FG" << 5 << "G" << "第 5 个字符 “G”";
    QTest::newRow("the first of two faults") << "1 2 ; 3" << 1 << "1" << "“1”";
    QTest::newRow("semicolon") << "FF;FF" << 3 << ";" << "“;”";
    QTest::newRow("full-width space") << QStringLiteral("FF\u3000FF") << 3 << QStringLiteral("\u3000") << "U+3000";
    QTest::newRow("control byte") << QStringLiteral("FF\u0001") << 3 << QStringLiteral("\u0001") << "U+0001";
    QTest::newRow("character beyond 16 bits") << QStringLiteral("AA \U0001F600") << 4
                                              << QStringLiteral("\U0001F600") << QStringLiteral("“\U0001F600”");
    QTest::newRow("long odd group shortened") << QString(41, 'A') << 1 << QString(41, 'A')
                                              << QString(16, 'A') + QStringLiteral("…”");
}

void TestHexInput::refused()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, offending);
    QFETCH(QString, named);
    const HexInput::Result result = HexInput::parse(text);
    QVERIFY(!result.ok());
    QCOMPARE(result.errorPosition, position);
    QCOMPARE(result.offending, offending);
    QCOMPARE(result.bytes, QByteArray());
    QVERIFY2(result.message.contains(named), qPrintable(result.message));
}

QTEST_APPLESS_MAIN(TestHexInput)
#include "tst_hexinput.moc"
