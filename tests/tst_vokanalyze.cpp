#include "protocol/frame.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"
#include "support/chunksource.h"
#include "support/testroot.h"

#include <QtTest>

namespace {
const QByteArray kPlaceholder = "11223344556677889900112233445566";
const QByteArray kKey = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";
const QString kShipped = TestRoot::shipped("auto_analyze.ini");

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
QByteArray frame(quint8 cmd, quint8 sn, const char *payload = "") { return VokFrame::build(cmd, sn, hex(payload)); }

// The reply to a request with that sn: the template, sn and checksum stamped.
QByteArray stamped(QByteArray reply, quint8 sn) { reply[VokFrame::SnPos] = char(sn); VokFrame::stampChecksum(reply); return reply; }

// An analyser on a real framer fed by a stand-in port; what it replies and
// which stored templates it refuses.
struct Rig
{
    explicit Rig(const QString &iniPath) : framer(&port), analyzer(&framer, nullptr, iniPath)
    {
        QObject::connect(&analyzer, &VokAnalyze::RespondReady, [this](const QByteArray &reply) { replies << reply; });
        QObject::connect(&analyzer, &VokAnalyze::templateRejected,
                         [this](const QString &key, const QString &why) { rejected << key + ' ' + why; });
    }
    QList<QByteArray> feed(const QByteArray &wire) { replies.clear(); emit port.DataReady(wire); return replies; }
    QByteArray bytesOf(const QString &key) { return hex(analyzer.getValue(key).toLatin1()); }

    ChunkSource port;
    VokFramer framer;
    VokAnalyze analyzer;
    QList<QByteArray> replies;
    QStringList rejected;
};
} // namespace

class TestVokAnalyze : public QObject
{
    Q_OBJECT
    // keyed: every text of the shipped file reads "d:" + its key instead.
    QString writeIni(const QByteArray &content, bool keyed = false)
    {
        const QString path = dir.filePath(QString("%1.ini").arg(files++));
        QSettings ini((writeFile(path, content), path), QSettings::IniFormat);
        for (const QString &key : keyed ? QSettings(kShipped, QSettings::IniFormat).allKeys() : QStringList())
            ini.setValue(key, "d:" + key);
        return path;
    }

    QTemporaryDir dir;
    int files = 0;

private slots:
    void analyzeFields()
    {
        Rig rig(writeIni({}, true));
        // description|length|cmd|sn|checksum|setMode|connect|wifiState|productKey
        const char *const rows[][2] = {
            {"FFFF0008020100003030309B", "d:cmd/02|08|02|01|9b||||d:product_key/key"},
            {"FFFF000703800000010590", "d:cmd/0301|07|03|80|90||||"},
            {"FFFF0006030900000214", "d:cmd/0302|06|03|09|14||||"},
            {"FFFF0006030900000719", "d:cmd/03|06|03|09|19||||"},
            {"FFFF0005040100000A", "d:cmd/0404|05|04|01|0a||||"},
            {"FFFF000A04010000030011223378", "d:cmd/0403|0a|04|01|78||||"},
            {"FFFF0006090000000110", "d:cmd/09|06|09|00|10|d:setmode/01|||"},
            {"FFFF0006090000000211", "d:cmd/09|06|09|00|11|d:setmode/02|||"},
            {"FFFF0006090000000312", "d:cmd/09|06|09|00|12||||"},
            {"FFFF00070D03000000A5BC", "d:cmd/0D|07|0d|03|bc||d:connect/0A|d:wifistate/05|"},
            {"FFFF00050000000005", "d:cmd|05|00|00|05||||"},
            {"FFFF00051300000018", "d:cmd|05|13|00|18||||"},
            // fields the frame lacks stay empty
            {"FFFF000501", "d:cmd/01|05|01||05||||"},
            {"FFFF00", "||||||||"},
        };
        for (const auto &row : rows) {
            const AnalyzeResult r = rig.analyzer.analyze(hex(row[0]));
            QCOMPARE(QStringList({r.description, r.length, r.cmd, r.sn, r.checksum, r.setMode, r.connect, r.wifiState,
                                  r.productKey}).join('|'), QString(row[1]));
        }
    }

    void repliesAndProductKey()
    {
        // Every command once, with an action that is neither control nor status
        // read: only the six requests are answered, each from its template.
        const QString path = writeIni(readFile(kShipped));
        Rig rig(path);
        QByteArray wire;
        for (int cmd = 0; cmd < 256; ++cmd)
            wire += frame(quint8(cmd), quint8(~cmd), "05");
        QList<QByteArray> expected;
        for (quint8 cmd : {0x01, 0x03, 0x07, 0x0D, 0x0F, 0x11})
            expected << stamped(rig.bytesOf(QString::asprintf("Respond/%02X", cmd + 1)), quint8(~cmd));
        QCOMPARE(rig.feed(wire), expected);

        const QByteArray requests = frame(0x01, 1) + frame(0x03, 2, "01") + frame(0x03, 3, "02") + frame(0x07, 4)
                                    + frame(0x0D, 5, "0032") + frame(0x0F, 6) + frame(0x11, 7) + hex("FFFF000503F9000102")
                                    + frame(0x05, 8, "00");
        const struct { const char *ini; QList<QByteArray> replies; QStringList rejected; } rows[] = {
            // a status read is marked, not stamped: the page puts in the status,
            // and a longer template keeps its stored last byte; without a payload
            // byte 8 is the checksum, not an action (the last request's is 02)
            {"[Respond]\n04=FF FF 00 06 04 00 00 00 00 5A\n", {stamped(hex("FFFF00060400000000 5A"), 2),
              hex("FFFF000604 03 000003 5A"), stamped(hex("FFFF00060400000000 5A"), 0xF9)}, {}},
            // 02 absent, 08 empty, 0E without digits: silence; 04 cut short: grown to a smallest frame
            {"[Respond]\n08=\n0E=--\n04=ff ff 00 05\n", {hex("FFFF0005 00 02 0000 07"), hex("FFFF0005 00 03 0000 03"),
                                                        hex("FFFF0005 00 F9 0000 FE")}, {}},
            // 05 expects no reply even with a template for 06
            {"[Respond]\n06=FFFF00050600000000\n", {}, {}},
            // not whole bytes: refused, with the reason
            {"[Respond]\n08=FFF F00 05 08 00 00 00 00\n", {}, {"Respond/08 十六进制输入有误：第 1 个字符起的“FFF”有奇数个数字，每个字节要写两位。"}},
        };
        for (const auto &row : rows) {
            Rig stored(writeIni(row.ini));
            QCOMPARE(stored.feed(requests), row.replies);
            QCOMPARE(stored.rejected, row.rejected);
        }
        // An unquoted comma in a text does not lose it.
        QCOMPARE(Rig(writeIni("[cmd]\n06=甲, 乙\n")).analyzer.getValue("cmd/06"), QStringLiteral("甲, 乙"));
        // Without a framer nothing is read or written, but analyze still works.
        QTest::ignoreMessage(QtDebugMsg, "error VokFramer");
        VokAnalyze orphan(nullptr, nullptr, kShipped);
        QVERIFY(orphan.getValue("cmd/01").isEmpty() && !orphan.setProductKey(kKey) && orphan.analyze(frame(1, 2)).sn == "02");

        // A key refused whole: nothing changes in memory (the shipped product
        // information carries the placeholder key too) or in the file.
        for (const QString &typed : {QString(kKey.left(31)), QString(kKey + "0"), QString(kKey.toHex().left(62) + "xx"),
                                     QString(64, '0'), QString(QByteArray(32, ' ').toHex()), kKey.left(31) + QStringLiteral("键")})
            QVERIFY2(!rig.analyzer.setProductKey(typed) && rig.analyzer.getValue("product_key/key") == kPlaceholder
                         && rig.bytesOf("Respond/02").mid(40, 32) == kPlaceholder, qPrintable(typed));
        QCOMPARE(readFile(path), readFile(kShipped));

        // Taken spaced or as character codes: written at once into the key and
        // the product-information template, the Chinese texts intact.
        for (const QByteArray &typed : {QByteArray("5f0c 2e7d 9b1a 4c83 a6e2 d4f7 b8c9 0e15 "), kKey.toHex()}) {
            const QString copy = writeIni(readFile(kShipped));
            Rig keyed(copy);
            const QByteArray patched = keyed.bytesOf("Respond/02").replace(40, 32, kKey);
            QVERIFY(keyed.analyzer.setProductKey(typed));
            QCOMPARE(keyed.feed(frame(0x01, 0x09)), QList<QByteArray>{stamped(patched, 0x09)});
            for (const QByteArray &part :
                 {"[product_key]\nkey=" + kKey + "\n", VokFrame::toHexString(patched), QStringLiteral("高4位为连接状态").toUtf8()})
                QVERIFY2(readFile(copy).contains(part), part);
        }
    }
};

QTEST_GUILESS_MAIN(TestVokAnalyze)
#include "tst_vokanalyze.moc"
