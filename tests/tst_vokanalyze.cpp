#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"
#include "support/chunksource.h"
#include "support/framestream.h"
#include "support/testroot.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray kPlaceholder = "11223344556677889900112233445566";
const QByteArray kKey = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";

QByteArray frame(quint8 cmd, quint8 sn, const QByteArray &payload = {})
{
    return FrameStream::frame(cmd, sn, payload);
}

QString shippedIni()
{
    return TestRoot::shipped("auto_analyze.ini");
}

// Every key the analyser takes a text from.
QStringList textKeys()
{
    QStringList keys{"cmd", "product_key/key", "setmode/01", "setmode/02",
                     "cmd/0301", "cmd/0302", "cmd/0403", "cmd/0404"};
    for (int c = 0x01; c <= 0x12; ++c)
        keys << QString::asprintf("cmd/%02X", c);
    for (int i = 0; i < 16; ++i)
        keys << QString::asprintf("wifistate/%02X", i) << QString::asprintf("connect/%02X", i);
    return keys;
}

// An analyser on a real framer fed by a fake port.
struct Rig
{
    explicit Rig(const QString &iniPath) : framer(&port), analyzer(&framer, nullptr, iniPath) {}
    QList<QByteArray> feed(const QByteArray &wire)
    {
        QList<QByteArray> out;
        auto c = QObject::connect(&analyzer, &VokAnalyze::RespondReady,
                                  [&out](const QByteArray &r) { out << r; });
        emit port.DataReady(wire);
        QObject::disconnect(c);
        return out;
    }
    QByteArray bytesOf(const QString &key) { return QByteArray::fromHex(analyzer.getValue(key).toLatin1()); }

    ChunkSource port;
    VokFramer framer;
    VokAnalyze analyzer;
};
} // namespace

class TestVokAnalyze : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void shippedFileIsComplete();
    void sixRequestsGetStampedTemplates();
    void statusReadIsMarkedNotStamped();
    void missingBrokenAndTruncatedTemplates();
    void analyzeFields_data();
    void analyzeFields();
    void shortFramesGiveOnlyWhatTheyHold();
    void productKeyAccepted();
    void productKeyRejected();
    void iniValueForms();
    void templatesThatAreNotWholeBytes_data();
    void templatesThatAreNotWholeBytes();

private:
    QString writeIni(const QByteArray &content, bool keyNamedTexts = false);

    QScopedPointer<QTemporaryDir> dir;
};

void TestVokAnalyze::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

// With keyNamedTexts every text equals "d:" + its key, so a test sees which
// key was used.
QString TestVokAnalyze::writeIni(const QByteArray &content, bool keyNamedTexts)
{
    const QString path = dir->filePath("auto_analyze.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    if (keyNamedTexts) {
        QSettings ini(path, QSettings::IniFormat);
        for (const QString &key : textKeys())
            ini.setValue(key, "d:" + key);
    }
    return path;
}

void TestVokAnalyze::shippedFileIsComplete()
{
    QStringList keys = textKeys() << "Defaule/49" << "Defaule/4B";
    for (const char *code : {"02", "04", "08", "0E", "10", "12"})
        keys << QString("Respond/") + code;

    // Exactly these keys, each one plain UTF-8 text (a stray comma would make a list).
    QSettings raw(shippedIni(), QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    QStringList found = raw.allKeys();
    found.sort();
    keys.sort();
    QCOMPARE(found, keys);
    for (const QString &key : keys) {
        const QVariant v = raw.value(key);
        QVERIFY2(v.type() == QVariant::String && !v.toString().contains(QChar::ReplacementCharacter)
                         && !v.toString().isEmpty(), qPrintable(key));
    }
    QVERIFY(raw.value("cmd").toString().contains(QStringLiteral("未知命令")));

    Rig rig(shippedIni());
    QCOMPARE(rig.bytesOf("Defaule/49"), QByteArray::fromHex("FFFF0006090000000211"));
    QCOMPARE(rig.bytesOf("Defaule/4B"), QByteArray::fromHex("FFFF00050B00000010"));
    const QByteArray info = rig.bytesOf("Respond/02");
    QCOMPARE(info.size(), 75);
    QCOMPARE(info.mid(8, 32), QByteArray("00000004000000040000000100000001"));
    QCOMPARE(info.mid(40, 32), kPlaceholder);
}

void TestVokAnalyze::sixRequestsGetStampedTemplates()
{
    // Every command once, with an action that is neither control nor status read.
    QByteArray wire;
    for (int cmd = 0; cmd < 256; ++cmd)
        wire += frame(quint8(cmd), quint8(~cmd), QByteArray::fromHex("05"));
    Rig rig(shippedIni());
    QByteArray answered;
    for (const QByteArray &reply : rig.feed(wire)) {
        const quint8 request = quint8(reply.at(4) - 1);
        answered += char(request);
        QCOMPARE(int(VokTool().getUint16(reply, 2)) + 4, reply.size());
        QCOMPARE(quint8(reply.at(5)), quint8(~request));
        QCOMPARE(quint8(reply.back()), VokTool().checksum(reply, 2, 1));
        // Only sn and the checksum differ from the stored template.
        const QByteArray templ = rig.bytesOf(QString::asprintf("Respond/%02X", request + 1));
        QCOMPARE(reply.left(5), templ.left(5));
        QCOMPARE(reply.mid(6, reply.size() - 7), templ.mid(6, templ.size() - 7));
    }
    QCOMPARE(answered.toHex(), QByteArray("0103070d0f11"));
}

void TestVokAnalyze::statusReadIsMarkedNotStamped()
{
    const QByteArray statusRead = frame(0x03, 0x2A, QByteArray::fromHex("02"));
    QCOMPARE(Rig(shippedIni()).feed(statusRead),
             QList<QByteArray>{QByteArray::fromHex("FFFF000504 2A 000003")});

    // A longer template keeps its stored last byte: the page adds the checksum.
    Rig rig(writeIni("[Respond]\n04=FF FF 00 06 04 00 00 00 00 5A\n"));
    QCOMPARE(rig.feed(statusRead), QList<QByteArray>{QByteArray::fromHex("FFFF000604 2A 000003 5A")});

    // Without a payload byte 8 is the checksum, not an action: this frame's
    // checksum 02 must get a stamped acknowledgement, not a status-read reply.
    const QByteArray bare = QByteArray::fromHex("FFFF000503F9000102");
    QCOMPARE(VokTool().checksum(bare, 2, 1), quint8(0x02));
    QCOMPARE(Rig(shippedIni()).feed(bare), QList<QByteArray>{QByteArray::fromHex("FFFF000504 F9 000002")});
}

void TestVokAnalyze::missingBrokenAndTruncatedTemplates()
{
    const QByteArray wifiState = QByteArray::fromHex("FFFF00070D020000003248");
    const QByteArray all = frame(0x01, 1) + frame(0x03, 2, QByteArray::fromHex("01"))
            + frame(0x03, 3, QByteArray::fromHex("02")) + frame(0x07, 4) + wifiState
            + frame(0x0F, 6) + frame(0x11, 7);
    // No file: no texts and no replies, but the byte fields are still read.
    Rig missing(dir->filePath("missing.ini"));
    QVERIFY(missing.feed(all).isEmpty());
    const AnalyzeResult r = missing.analyzer.analyze(wifiState);
    QVERIFY(r.description.isEmpty() && r.connect.isEmpty() && r.wifiState.isEmpty());
    QCOMPARE(r.checksum, QString("48"));

    // 02 absent, 08 empty, 0E without hex digits: silence. 04 truncated:
    // grown with zeros to a smallest frame.
    Rig rig(writeIni("[Respond]\n08=\n0E=--\n04=ff ff 00 05\n"));
    QCOMPARE(rig.feed(all), (QList<QByteArray>{QByteArray::fromHex("FFFF0005 00 02 0000 07"),
                                               QByteArray::fromHex("FFFF0005 00 03 0000 03")}));

    // Without a framer nothing is read or written, but analyze still works.
    QTest::ignoreMessage(QtDebugMsg, "error VokFramer");
    VokAnalyze orphan(nullptr, nullptr, writeIni(readFile(shippedIni())));
    QVERIFY(orphan.getValue("cmd/01").isEmpty());
    QVERIFY(!orphan.setProductKey(QString::fromLatin1(kKey)));
    QCOMPARE(orphan.analyze(wifiState).sn, QString("02"));
}

void TestVokAnalyze::analyzeFields_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QStringList>("expected"); // the nine fields, in declaration order
    auto row = [](const char *name, const QByteArray &f, const QString &desc, const QString &more = {}) {
        QStringList fields{desc, QString::asprintf("%02x", f.size() - 4),
                           QString::asprintf("%02x", quint8(f[4])), QString::asprintf("%02x", quint8(f[5])),
                           QString::asprintf("%02x", VokTool().checksum(f, 2, 1)), {}, {}, {}, {}};
        for (const QString &extra : more.split('|', Qt::SkipEmptyParts))
            fields[extra.section('=', 0, 0).toInt()] = extra.section('=', 1);
        QTest::newRow(name) << f << fields;
    };
    row("02 product key", frame(0x02, 0x01, QByteArray(66, '0')), "d:cmd/02", "8=d:product_key/key");
    row("03 control, sn 80", frame(0x03, 0x80, QByteArray::fromHex("0105")), "d:cmd/0301");
    row("03 status read", frame(0x03, 0x09, QByteArray::fromHex("02")), "d:cmd/0302");
    row("03 other action", frame(0x03, 0x09, QByteArray::fromHex("07")), "d:cmd/03");
    row("04 acknowledgement", frame(0x04, 0x01), "d:cmd/0404");
    row("04 status", frame(0x04, 0x01, QByteArray::fromHex("03 00 11 22 33 44")), "d:cmd/0403");
    row("09 mode 01", frame(0x09, 0, QByteArray::fromHex("01")), "d:cmd/09", "5=d:setmode/01");
    row("09 mode 02", frame(0x09, 0, QByteArray::fromHex("02")), "d:cmd/09", "5=d:setmode/02");
    row("09 mode 03", frame(0x09, 0, QByteArray::fromHex("03")), "d:cmd/09");
    row("0D A5", frame(0x0D, 3, QByteArray::fromHex("00A5")), "d:cmd/0D",
        "6=d:connect/0A|7=d:wifistate/05");
    row("00 unknown", frame(0x00, 0), "d:cmd");
    row("13 unknown", frame(0x13, 0), "d:cmd");
    row("FF unknown", frame(0xFF, 0xFF), "d:cmd");
}

void TestVokAnalyze::analyzeFields()
{
    QFETCH(QByteArray, frame);
    QFETCH(QStringList, expected);
    Rig rig(writeIni({}, true));
    const AnalyzeResult r = rig.analyzer.analyze(frame);
    QCOMPARE((QStringList{r.description, r.length, r.cmd, r.sn, r.checksum, r.setMode, r.connect,
                          r.wifiState, r.productKey}),
             expected);
}

void TestVokAnalyze::shortFramesGiveOnlyWhatTheyHold()
{
    Rig rig(shippedIni());
    QSignalSpy replies(&rig.analyzer, &VokAnalyze::RespondReady);
    const QByteArray info = frame(0x01, 7);
    for (int size = 0; size <= info.size(); ++size) {
        const QByteArray cut = info.left(size);
        const AnalyzeResult r = rig.analyzer.analyze(cut);
        QCOMPARE((QList<bool>{r.length.isEmpty(), r.cmd.isEmpty(), r.sn.isEmpty()}),
                 (QList<bool>{size < 4, size < 5, size < 6}));
        QVERIFY(QMetaObject::invokeMethod(&rig.analyzer, "FindRespond", Qt::DirectConnection,
                                          Q_ARG(QByteArray, cut)));
        QCOMPARE(replies.count(), size < info.size() ? 0 : 1); // only a whole frame is answered
    }
}

void TestVokAnalyze::productKeyAccepted()
{
    QByteArray spaced;
    for (int i = 0; i < kKey.size(); i += 4)
        spaced += kKey.mid(i, 4) + ' ';
    QByteArray storedFile;
    for (const QByteArray &typed : {spaced, kKey.toHex()}) {
        const QString path = writeIni(readFile(shippedIni()));
        Rig rig(path);
        const QByteArray original = rig.bytesOf("Respond/02");
        QVERIFY(rig.analyzer.setProductKey(QString::fromLatin1(typed)));
        QCOMPARE(rig.analyzer.getValue("product_key/key").toLatin1(), kKey);
        QByteArray patched = rig.bytesOf("Respond/02");
        QCOMPARE(patched, original.left(40) + kKey + original.mid(72));

        // Written at once; the Chinese texts survive the rewrite, and both
        // typed forms store the same file.
        const QByteArray file = readFile(path);
        QVERIFY(file.contains("[product_key]\nkey=" + kKey + "\n"));
        QVERIFY(file.contains(VokTool().toHexString(patched)));
        QVERIFY(file.contains(QStringLiteral("高4位为连接状态").toUtf8()));
        QVERIFY(storedFile.isEmpty() || file == storedFile);
        storedFile = file;

        const QList<QByteArray> out = rig.feed(frame(0x01, 0x09));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.first().mid(40, 32), kKey);
    }
}

void TestVokAnalyze::productKeyRejected()
{
    const QString malformed[] = {
        QString::fromLatin1(kKey.left(31)), QString::fromLatin1(kKey + "0"),
        QString::fromLatin1(kKey.toHex().left(62) + "xx"), QString(64, '0'),
        QString::fromLatin1(QByteArray(32, ' ').toHex()),
        QString::fromLatin1(kKey.left(31)) + QStringLiteral("键")};
    const QString path = writeIni(readFile(shippedIni()));
    const QByteArray before = readFile(path);
    for (const QString &typed : malformed) {
        {
            Rig rig(path);
            QVERIFY2(!rig.analyzer.setProductKey(typed), qPrintable(typed));
            QCOMPARE(rig.analyzer.getValue("product_key/key").toLatin1(), kPlaceholder);
        }
        QCOMPARE(readFile(path), before);
    }
}

void TestVokAnalyze::iniValueForms()
{
    Rig rig(writeIni("[Respond]\n04=ffff00050400000000\n08=FF,FF,00,05,08,00,00,00,00\n"
                     "[cmd]\n05=MCU主动上报，带状态\n06=甲, 乙\n"));
    QCOMPARE(rig.analyzer.getValue("cmd/05"), QStringLiteral("MCU主动上报，带状态"));
    QCOMPARE(rig.analyzer.getValue("cmd/06"), QStringLiteral("甲, 乙"));

    // Lowercase unspaced and comma-separated templates give the same bytes as
    // the uppercase spaced form.
    const QList<QByteArray> out = rig.feed(frame(0x03, 5, QByteArray::fromHex("01")) + frame(0x07, 6));
    QCOMPARE(out, (QList<QByteArray>{QByteArray::fromHex("FFFF0005 04 05 0000 0E"),
                                     QByteArray::fromHex("FFFF0005 08 06 0000 13")}));

    rig.analyzer.setValue("Respond/10", QByteArray::fromHex("0aff"));
    QCOMPARE(rig.analyzer.getValue("Respond/10"), QString("0A FF "));
}

void TestVokAnalyze::templatesThatAreNotWholeBytes_data()
{
    QTest::addColumn<QByteArray>("templ");
    QTest::addColumn<QString>("reason"); // empty: the template is sent
    QTest::newRow("odd digit count") << QByteArray("FF FF 00 05 04 00 00 00 0") << "“0”";
    QTest::newRow("half a byte shifted") << QByteArray("FFF F00 05 04 00 00 00 00") << "“FFF”";
    QTest::newRow("stray character") << QByteArray("FF FF 00 05 04 00 0G 00 00") << "“G”";
    QTest::newRow("dots") << QByteArray("FF.FF.00.05.04.00.00.00.00") << "“.”";
    QTest::newRow("0x groups") << QByteArray("0xFFFF 0x0005 0x04 00 0000 00") << "";
}

void TestVokAnalyze::templatesThatAreNotWholeBytes()
{
    QFETCH(QByteArray, templ);
    QFETCH(QString, reason);
    Rig rig(writeIni("[Respond]\n04=" + templ + "\n"));
    QStringList rejected;
    connect(&rig.analyzer, &VokAnalyze::templateRejected,
            [&rejected](const QString &key, const QString &why) { rejected << key + ' ' + why; });

    const QList<QByteArray> out = rig.feed(frame(0x03, 0x21, QByteArray::fromHex("0101")));
    if (reason.isEmpty()) {
        QCOMPARE(out, QList<QByteArray>{QByteArray::fromHex("FFFF0005 04 21 0000 2A")});
        QCOMPARE(rejected, QStringList());
    } else {
        QCOMPARE(out, QList<QByteArray>());
        QCOMPARE(rejected.size(), 1);
        QVERIFY2(rejected.first().startsWith("Respond/04 ") && rejected.first().contains(reason),
                 qPrintable(rejected.first()));
    }
}

QTEST_GUILESS_MAIN(TestVokAnalyze)
#include "tst_vokanalyze.moc"
