#include "protocol/hexinput.h"

#include <QtTest>

class TestHexInput : public QObject
{
    Q_OBJECT
private slots:
    void parse();
};

void TestHexInput::parse()
{
    const QByteArray init = QByteArray::fromHex("FFFF00050B00000010");
    // position 0: accepted; otherwise where the fault is, what it is and how
    // the message names it.
    const struct { QString text; QByteArray bytes; int position; QString offending, named; } rows[] = {
        {"ffff00050b00000010", init, 0, {}, {}},
        {"FF\tFF\r\n00,05:0B-00 , 00\n\n00 10 ", init, 0, {}, {}},
        {"0xFF 0XFF 0x0005,0x0B00 0x00 0x00 10", init, 0, {}, {}},
        {"FF FF 00050", {}, 7, "00050", "第 7 个字符起的“00050”"},
        {"0x55 0xAAA", {}, 6, "0xAAA", "“0xAAA”"},
        {"0x55 0xAA0xBB", {}, 11, "x", "第 11 个字符 “x”"},
        {"55 0xG", {}, 5, "x", "“x”"},
        {QStringLiteral("FF\u3000FF"), {}, 3, QStringLiteral("\u3000"), "U+3000"},
        {QStringLiteral("FF\u0001"), {}, 3, QStringLiteral("\u0001"), "U+0001"},
        {QStringLiteral("AA \U0001F600"), {}, 4, QStringLiteral("\U0001F600"), QStringLiteral("“\U0001F600”")},
        {QString(41, 'A'), {}, 1, QString(41, 'A'), QString(16, 'A') + QStringLiteral("…”")},
    };
    for (const auto &row : rows) {
        const HexInput::Result result = HexInput::parse(row.text);
        QCOMPARE(result.bytes.toHex(' '), row.bytes.toHex(' '));
        QCOMPARE(result.errorPosition, row.position);
        QCOMPARE(result.offending, row.offending);
        QVERIFY2(row.named.isEmpty() ? result.message.isEmpty() : result.message.contains(row.named),
                 qPrintable(row.text + " → " + result.message));
    }
}

QTEST_APPLESS_MAIN(TestHexInput)
#include "tst_hexinput.moc"
