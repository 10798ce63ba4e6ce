#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"

#include <QtTest>

class FakePort : public QObject
{
    Q_OBJECT
signals:
    void DataReady(QByteArray);
};

namespace {
const QByteArray kPlaceholder = "11223344556677889900112233445566";
const QByteArray kKey = "5f0c2e7d9b1a4c83a6e2d4f7b8c90e15";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray bytesOf(VokAnalyze &analyzer, const QString &key)
{
    return QByteArray::fromHex(analyzer.getValue(key).toLatin1());
}
} // namespace

// An analyser on its own framer and fake port, so frames can be fed in.
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
    FakePort port;
    VokFramer framer;
    VokAnalyze analyzer;
};

class TestVokAnalyzeSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void shippedFileIsComplete();
    void productKeyAccepted();
    void productKeyRejected_data();
    void productKeyRejected();
    void iniValueForms();
    void missingFileAndNullFramer();

private:
    QString copyOfShipped();
    QString writeIni(const QByteArray &content);

    QScopedPointer<QTemporaryDir> dir;
};

void TestVokAnalyzeSettings::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

QString TestVokAnalyzeSettings::copyOfShipped()
{
    return writeIni(readFile(QCoreApplication::applicationDirPath() + "/auto_analyze.ini"));
}

QString TestVokAnalyzeSettings::writeIni(const QByteArray &content)
{
    const QString path = dir->filePath("auto_analyze.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestVokAnalyzeSettings::shippedFileIsComplete()
{
    QStringList keys{"cmd", "product_key/key", "setmode/01", "setmode/02", "Defaule/49", "Defaule/4B"};
    for (int c = 0x01; c <= 0x12; ++c)
        keys << QString::asprintf("cmd/%02X", c);
    keys << "cmd/0301" << "cmd/0302" << "cmd/0403" << "cmd/0404";
    for (int i = 0; i < 16; ++i)
        keys << QString::asprintf("wifistate/%02X", i) << QString::asprintf("connect/%02X", i);
    const QStringList replyCodes{"02", "04", "08", "0E", "10", "12"};
    for (const QString &code : replyCodes)
        keys << "Respond/" + code;

    // Every value is one plain text (a stray comma would make it a list).
    const QString path = copyOfShipped();
    QSettings raw(path, QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    QStringList found = raw.allKeys();
    found.sort();
    keys.sort();
    QCOMPARE(found, keys);
    for (const QString &key : keys)
        QVERIFY2(raw.value(key).type() == QVariant::String, qPrintable(key));

    // The program itself reads the file beside the executable.
    FakePort port;
    VokFramer framer(&port);
    VokAnalyze analyzer(&framer);
    for (const QString &key : keys) {
        const QString text = analyzer.getValue(key);
        QVERIFY2(!text.isEmpty() && !text.contains(QChar::ReplacementCharacter), qPrintable(key));
    }
    QVERIFY(analyzer.getValue("cmd/").contains(QStringLiteral("未知命令")));
    QCOMPARE(analyzer.getValue("product_key/key").toLatin1(), kPlaceholder);
    QCOMPARE(bytesOf(analyzer, "Defaule/49"), QByteArray::fromHex("FFFF0006090000000211"));
    QCOMPARE(bytesOf(analyzer, "Defaule/4B"), QByteArray::fromHex("FFFF00050B00000010"));

    VokTool tool;
    for (const QString &code : replyCodes) {
        const QByteArray t = bytesOf(analyzer, "Respond/" + code);
        QVERIFY2(t.size() >= 9 && t.startsWith("\xFF\xFF"), qPrintable(code));
        QCOMPARE(int(tool.getUint16(t, 2)) + 4, t.size());
        QCOMPARE(t.at(4), char(code.toInt(nullptr, 16)));
        QCOMPARE(quint8(t.back()), tool.checksum(t, 2, 1));
    }
    const QByteArray info = bytesOf(analyzer, "Respond/02");
    QCOMPARE(info.size(), 75);
    QCOMPARE(info.mid(8, 32), QByteArray("00000004000000040000000100000001"));
    QCOMPARE(info.mid(40, 32), kPlaceholder);
}

void TestVokAnalyzeSettings::productKeyAccepted()
{
    QByteArray spaced;
    for (int i = 0; i < kKey.size(); i += 4)
        spaced += kKey.mid(i, 4) + ' ';
    QByteArray storedFile;
    QByteArray original;

    for (const QByteArray &typed : {spaced, kKey.toHex()}) {
        const QString path = copyOfShipped();
        Rig rig(path);
        original = bytesOf(rig.analyzer, "Respond/02");
        QVERIFY(rig.analyzer.setProductKey(QString::fromLatin1(typed)));
        QCOMPARE(rig.analyzer.getValue("product_key/key").toLatin1(), kKey);
        const QByteArray patched = bytesOf(rig.analyzer, "Respond/02");
        QCOMPARE(patched, original.left(40) + kKey + original.mid(72));

        // Written at once, the template as uppercase pairs with a space after each.
        const QByteArray file = readFile(path);
        QVERIFY(file.contains("[product_key]\nkey=" + kKey + "\n"));
        QByteArray patchedText = patched;
        QVERIFY(file.contains(VokTool().toHexString(patchedText)));
        QVERIFY(storedFile.isEmpty() || file == storedFile); // both forms store the same
        storedFile = file;

        // The next product-information request is answered with the new key.
        const QList<QByteArray> out = rig.feed(QByteArray::fromHex("FFFF00050109000000 0F"));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.first().mid(40, 32), kKey);
        QCOMPARE(out.first().at(5), char(0x09));
        QCOMPARE(quint8(out.first().back()), VokTool().checksum(out.first(), 2, 1));
    }

    // The Chinese texts survive the rewrite of the file.
    FakePort port;
    VokFramer framer(&port);
    VokAnalyze reread(&framer, nullptr, dir->filePath("auto_analyze.ini"));
    QVERIFY(reread.getValue("cmd/0D").contains(QStringLiteral("WiFi状态")));
}

void TestVokAnalyzeSettings::productKeyRejected_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("31 characters") << QString::fromLatin1(kKey.left(31));
    QTest::newRow("33 characters") << QString::fromLatin1(kKey + "0");
    QTest::newRow("empty") << QString();
    QTest::newRow("64 with non-hex") << QString::fromLatin1(kKey.toHex().left(63) + "g");
    QTest::newRow("64 hex of zero bytes") << QString(64, '0');
    QTest::newRow("64 hex of control codes") << QString::fromLatin1(QByteArray(32, '\x07').toHex());
    QTest::newRow("64 hex of spaces") << QString::fromLatin1(QByteArray(32, ' ').toHex());
    QTest::newRow("32 with Chinese") << QString::fromLatin1(kKey.left(31)) + QStringLiteral("键");
    QTest::newRow("32 with tab") << QString::fromLatin1(kKey.left(31)) + '\t';
    QTest::newRow("63 hex digits") << QString::fromLatin1(kKey.toHex().left(63));
}

void TestVokAnalyzeSettings::productKeyRejected()
{
    QFETCH(QString, typed);
    const QString path = copyOfShipped();
    const QByteArray before = readFile(path);
    {
        Rig rig(path);
        QVERIFY(!rig.analyzer.setProductKey(typed));
        QCOMPARE(rig.analyzer.getValue("product_key/key").toLatin1(), kPlaceholder);
    }
    QCOMPARE(readFile(path), before);
}

void TestVokAnalyzeSettings::iniValueForms()
{
    const QString path = writeIni("[Respond]\n04=ffff00050400000000\n08=FF,FF,00,05,08,00,00,00,00\n"
                                  "[cmd]\n05=MCU主动上报，带状态\n06=甲, 乙\n07=\"丙, 丁\"\n"
                                  "[General]\ncmd=未知\n");
    Rig rig(path);
    QCOMPARE(rig.analyzer.getValue("cmd/05"), QStringLiteral("MCU主动上报，带状态"));
    QCOMPARE(rig.analyzer.getValue("cmd/06"), QStringLiteral("甲, 乙"));
    QCOMPARE(rig.analyzer.getValue("cmd/07"), QStringLiteral("丙, 丁"));
    QCOMPARE(rig.analyzer.analyze(QByteArray::fromHex("FFFF0005 13 00 0000 18")).description,
             QStringLiteral("未知"));

    // Lowercase unspaced and comma-separated templates give the same bytes as
    // the uppercase spaced form.
    const QList<QByteArray> out = rig.feed(QByteArray::fromHex("FFFF0006 03 05 0000 01 0F"
                                                               "FFFF0005 07 06 0000 12"));
    QCOMPARE(out, (QList<QByteArray>{QByteArray::fromHex("FFFF0005 04 05 0000 0E"),
                                     QByteArray::fromHex("FFFF0005 08 06 0000 13")}));

    // setValue writes uppercase pairs, each followed by a space.
    rig.analyzer.setValue("Respond/10", QByteArray::fromHex("0aff"));
    QCOMPARE(rig.analyzer.getValue("Respond/10"), QString("0A FF "));
}

void TestVokAnalyzeSettings::missingFileAndNullFramer()
{
    const QString missing = dir->filePath("absent.ini");
    Rig rig(missing);
    const QByteArray wifiState = QByteArray::fromHex("FFFF00070D020000003248");
    const AnalyzeResult r = rig.analyzer.analyze(wifiState);
    QVERIFY(r.description.isEmpty() && r.connect.isEmpty() && r.wifiState.isEmpty());
    QCOMPARE(r.checksum, QString("48"));
    QVERIFY(rig.feed(wifiState + QByteArray::fromHex("FFFF00050107000000 0D")).isEmpty());
    QVERIFY(rig.analyzer.getValue("product_key/key").isEmpty());

    const QString path = copyOfShipped();
    QTest::ignoreMessage(QtDebugMsg, "error VokFramer");
    VokAnalyze orphan(nullptr, nullptr, path);
    QVERIFY(orphan.getValue("cmd/01").isEmpty());
    QVERIFY(!orphan.setProductKey(QString::fromLatin1(kKey)));
    QCOMPARE(orphan.analyze(wifiState).sn, QString("02"));
    QCOMPARE(rig.analyzer.getValue("product_key/key"), QString());
}

QTEST_GUILESS_MAIN(TestVokAnalyzeSettings)
#include "tst_vokanalyzesettings.moc"
