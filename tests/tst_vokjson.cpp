#include "datapoint/vokjson.h"
#include "protocol/voktool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QJsonObject attr(const QString &displayName, const QString &dataType, const QString &type,
                 const QString &unit, int len, int byteOffset, int bitOffset = 0)
{
    return QJsonObject{{"display_name", displayName},
                       {"name", displayName.toLower()},
                       {"data_type", dataType},
                       {"type", type},
                       {"position", QJsonObject{{"unit", unit},
                                                {"len", len},
                                                {"byte_offset", byteOffset},
                                                {"bit_offset", bitOffset}}}};
}

QJsonObject withEnum(QJsonObject attr, const QJsonArray &texts)
{
    attr.insert("enum", texts);
    return attr;
}

QJsonObject withRange(QJsonObject attr, qint64 min, qint64 max)
{
    attr.insert("uint_spec", QJsonObject{{"min", min}, {"max", max}});
    return attr;
}

QJsonDocument document(const QJsonArray &attrs)
{
    return QJsonDocument(QJsonObject{{"entities", QJsonArray{QJsonObject{{"attrs", attrs}}}}});
}

// The definition of the worked example: A writable bool, B writable uint8,
// C read-only uint16.
QJsonArray exampleAttrs()
{
    return {attr("A", "bool", "status_writable", "bit", 1, 0, 0),
            attr("B", "uint8", "status_writable", "byte", 1, 1),
            attr("C", "uint16", "status_readonly", "byte", 2, 2)};
}

// A control frame: header, mask and values, with a correct length and checksum.
QByteArray controlFrame(const QByteArray &maskAndValues)
{
    QByteArray frame = QByteArray::fromHex("FFFF0000030100 00 01") + maskAndValues + '\0';
    frame[3] = char(frame.size() - 4);
    frame[frame.size() - 1] = char(VokTool().checksum(frame, 2, 1));
    return frame;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

class TestVokJson : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void parsesRecordsInOrderWithSectionCounts();
    void readsValuesTheWayJsonAccessorsDo();
    void parseFileOutcomes_data();
    void parseFileOutcomes();
    void parseJsonSignalsAndForgetsOldDefinition();

    void workedExample();
    void bitFieldsLandInTheirAreaBytes();
    void presenceMaskOfTenDatapoints();
    void emptyDefinition();
    void intToBytes();
    void uint32AboveIntRange();
    void faultyDefinitionsNeverLeaveTheFrame();
    void getBitsWarnings();
    void randomDefinitionsRoundTrip();
    void truncatedFramesDecodeOnlyWhatIsThere();
    void sampleDefinitionIsConsistent();

private:
    bool load(const QJsonArray &attrs);
    QString cacheFile(const QString &key) const;

    QTemporaryDir dir;
    VokJson json;
};

void TestVokJson::initTestCase()
{
    qRegisterMetaType<QList<json_struct>>();
}

void TestVokJson::init()
{
    json.parseFile(QString()); // no definition
}

void TestVokJson::cleanup()
{
    QFile::remove(cacheFile("tst-vokjson-parse"));
    QFile::remove(QCoreApplication::applicationDirPath() + "/tst-vokjson-outside.json");
}

bool TestVokJson::load(const QJsonArray &attrs)
{
    QFile file(dir.filePath("definition.json"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(document(attrs).toJson());
    file.close();
    return json.parseFile(file.fileName());
}

QString TestVokJson::cacheFile(const QString &key) const
{
    return QCoreApplication::applicationDirPath() + "/json/" + key + ".json";
}

void TestVokJson::parsesRecordsInOrderWithSectionCounts()
{
    QJsonObject first = attr("开关", "bool", "status_writable", "bit", 1, 0, 0);
    first.insert("id", 7);
    first.insert("desc", "电源");
    QVERIFY(load({first,
                  attr("B", "uint8", "status_writable", "byte", 1, 1),
                  withEnum(attr("C", "enum", "status_readonly", "bit", 2, 2, 0), {"x", "y", "z"})}));

    const QList<json_struct> list = json.dataPoints();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list[0].display_name, QString("开关"));
    QCOMPARE(list[0].name, QString("开关"));
    QCOMPARE(list[0].id, 7);
    QCOMPARE(list[0].desc, QString("电源"));
    QCOMPARE(list[1].display_name, QString("B"));
    QCOMPARE(list[1].unit, QString("byte"));
    QCOMPARE(list[2].display_name, QString("C"));
    QCOMPARE(list[2].len, 2);
    QCOMPARE(list[2].byte_offset, 2);
    QCOMPARE(list[2].enum_values, QList<QString>({"x", "y", "z"}));
    // Two writables, whatever their unit; one bit each for the writable and
    // read-only areas, plus the uint8 byte.
    QCOMPARE(json.writableCount, 2);
    QCOMPARE(hex(json.statusTemplate()), QString("FF FF 00 09 05 00 00 00 04 00 00 00 00"));
}

void TestVokJson::readsValuesTheWayJsonAccessorsDo()
{
    QJsonObject stringLen = attr("len as text", "uint8", "status_writable", "byte", 0, 0);
    QJsonObject position = stringLen["position"].toObject();
    position["len"] = "8";
    stringLen["position"] = position;

    const QJsonArray attrs{
        withEnum(attr("mixed enum", "enum", "status_writable", "bit", 2, 0, 0), {"a", "b", 3}),
        attr("no uint_spec", "uint16", "status_writable", "byte", 2, 1),
        withRange(attr("bool with uint_spec", "bool", "status_writable", "bit", 1, 0, 2), 1, 9),
        withRange(attr("big", "uint32", "status_readonly", "byte", 4, 3), 0, 4294967295LL),
        withEnum(withRange(attr("Capital", "Enum", "status_readonly", "byte", 1, 7), 1, 2), {"a"}),
        stringLen,
        QJsonValue("not an object"),
    };
    QJsonObject secondEntity{{"attrs", QJsonArray{attr("ignored", "bool", "status_writable", "bit", 1, 0)}}};
    QJsonDocument doc = document(attrs);
    QJsonObject top = doc.object();
    QJsonArray entities = top["entities"].toArray();
    entities.append(secondEntity);
    top["entities"] = entities;
    QFile file(dir.filePath("typed.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(top).toJson());
    file.close();
    QVERIFY(json.parseFile(file.fileName()));

    const QList<json_struct> list = json.dataPoints();
    QCOMPARE(list.size(), 7); // nothing from the second entity
    QCOMPARE(list[0].enum_values, QList<QString>({"a", "b", ""}));
    QCOMPARE(list[1].min, qint64(0));
    QCOMPARE(list[1].max, qint64(0));
    QCOMPARE(list[2].min, qint64(0));
    QCOMPARE(list[2].max, qint64(0));
    QCOMPARE(list[3].max, Q_INT64_C(4294967295));
    QVERIFY(list[4].enum_values.isEmpty());
    QCOMPARE(list[4].max, qint64(0));
    QCOMPARE(list[5].len, 0);
    QVERIFY(list[6].display_name.isEmpty());
    QCOMPARE(list[6].len, 0);
    QCOMPARE(json.writableCount, 4);

    // "Enum" is no type: a status frame gives it no value.
    const QMap<QString, QString> values = json.decodeStatus(json.statusTemplate());
    QVERIFY(values.contains("big"));
    QVERIFY(!values.contains("Capital"));
}

void TestVokJson::parseFileOutcomes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("parsed");
    QTest::newRow("not JSON") << QByteArray("{\"entities\": [") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("array") << QByteArray("[{\"attrs\": []}]") << true;
    QTest::newRow("no entities") << QByteArray("{}") << true;
    QTest::newRow("entities not an array") << QByteArray("{\"entities\": {\"attrs\": [{}]}}") << true;
    QTest::newRow("attrs not an array") << QByteArray("{\"entities\": [{\"attrs\": {}}]}") << true;
}

void TestVokJson::parseFileOutcomes()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, parsed);
    QVERIFY(load(exampleAttrs()));
    QFile file(dir.filePath("outcome.json"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();

    QCOMPARE(json.parseFile(file.fileName()), parsed);
    QVERIFY(json.dataPoints().isEmpty());
    QCOMPARE(json.writableCount, 0);
    QCOMPARE(json.statusTemplate().size(), 10);
}

void TestVokJson::parseJsonSignalsAndForgetsOldDefinition()
{
    QSignalSpy listOk(&json, &VokJson::ListOk);
    QFile file(cacheFile("tst-vokjson-parse"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(document(exampleAttrs()).toJson());
    file.close();

    json.parseJson("tst-vokjson-parse");
    QCOMPARE(listOk.count(), 1);
    QCOMPARE(listOk[0][0].value<QList<json_struct>>().size(), 3);

    // Without its file the old definition is gone, but no signal says so.
    QVERIFY(file.remove());
    json.parseJson("tst-vokjson-parse");
    QCOMPARE(listOk.count(), 1);
    QVERIFY(json.dataPoints().isEmpty());
    QCOMPARE(json.writableCount, 0);

    // A document that is no object gives an empty list, announced.
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[]");
    file.close();
    json.parseJson("tst-vokjson-parse");
    QCOMPARE(listOk.count(), 2);
    QVERIFY(listOk[1][0].value<QList<json_struct>>().isEmpty());

    // A key is never a path out of the cache folder.
    QFile outside(QCoreApplication::applicationDirPath() + "/tst-vokjson-outside.json");
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write(document(exampleAttrs()).toJson());
    outside.close();
    json.parseJson("../tst-vokjson-outside");
    QCOMPARE(listOk.count(), 2);
    QVERIFY(json.dataPoints().isEmpty());
}

void TestVokJson::workedExample()
{
    QVERIFY(load(exampleAttrs()));
    QByteArray frame = json.statusTemplate();
    QCOMPARE(hex(frame), QString("FF FF 00 0A 05 00 00 00 04 00 00 00 00 00"));
    frame = json.setIntValue(frame, "A", 1);
    frame = json.setIntValue(frame, "B", 200);
    frame = json.setIntValue(frame, "C", 4660);
    QCOMPARE(hex(frame), QString("FF FF 00 0A 05 00 00 00 04 01 C8 12 34 00"));

    const QMap<QString, QString> status = json.decodeStatus(frame);
    QCOMPARE(status, (QMap<QString, QString>{{"A", "1"}, {"B", "200"}, {"C", "4660"}}));

    const QByteArray control = controlFrame(QByteArray::fromHex("03 01 64"));
    QCOMPARE(json.decodeControl(control), (QMap<QString, QString>{{"A", "1"}, {"B", "100"}}));
    // Only B present: A is not reported even though its bit is set.
    QCOMPARE(json.decodeControl(controlFrame(QByteArray::fromHex("02 01 64"))),
             (QMap<QString, QString>{{"B", "100"}}));
}

void TestVokJson::bitFieldsLandInTheirAreaBytes()
{
    // Six bools and a 4-bit enum at bit 6: ten writable bits, a 2-byte area.
    QJsonArray attrs;
    for (int bit = 0; bit < 6; ++bit)
        attrs.append(attr(QString("b%1").arg(bit), "bool", "status_writable", "bit", 1, 0, bit));
    QJsonArray texts;
    for (int i = 0; i < 12; ++i)
        texts.append(QString("t%1").arg(i));
    attrs.append(withEnum(attr("E", "enum", "status_writable", "bit", 4, 0, 6), texts));
    QVERIFY(load(attrs));

    QByteArray frame = json.setIntValue(json.statusTemplate(), "E", 11);
    QCOMPARE(hex(frame.mid(9, 2)), QString("02 C0"));
    QCOMPARE(VokJson::GetBits(frame, 9 + 2, 6, 4), quint16(11));
    QCOMPARE(json.decodeStatus(frame).value("E"), QString("t11"));
    // A value wider than its field keeps to the field: b5 (bit 5) and the
    // byte before the area stay clear.
    frame = json.setIntValue(json.statusTemplate(), "b5", 3);
    QCOMPARE(hex(frame.mid(8, 3)), QString("04 00 20"));

    // Bools at bits 0 and 7 share one byte; a read-only bool at bit 8 of a
    // 9-bit area lies in the first of its two bytes.
    QVERIFY(load({attr("low", "bool", "status_writable", "bit", 1, 0, 0),
                  attr("high", "bool", "status_writable", "bit", 1, 0, 7),
                  attr("pad", "binary", "status_writable", "byte", 4, 1),
                  attr("level", "enum", "status_readonly", "bit", 8, 5, 0),
                  attr("ro", "bool", "status_readonly", "bit", 1, 5, 8)}));
    frame = json.statusTemplate();
    QCOMPARE(frame.size(), 10 + 1 + 4 + 2);
    for (const char *name : {"low", "high", "ro"})
        frame = json.setIntValue(frame, name, 1);
    QCOMPARE(hex(frame.mid(9, 1)), QString("81"));
    QCOMPARE(hex(frame.mid(9 + 5, 2)), QString("01 00"));
}

void TestVokJson::presenceMaskOfTenDatapoints()
{
    QJsonArray attrs;
    for (int i = 0; i < 10; ++i)
        attrs.append(attr(QString("d%1").arg(i), "bool", "status_writable", "bit", 1, 0, i));
    QVERIFY(load(attrs));
    QCOMPARE(json.writableCount, 10);

    // Mask 0xFE 0x81: d0 and d7 from the second byte, d9 from the first;
    // bits 2-7 of the first byte cover no datapoint and d8 is absent.
    // Values: d9 = 1, d7 = 1, d0 = 0.
    const QByteArray control = controlFrame(QByteArray::fromHex("FE 81 02 80"));
    QCOMPARE(json.decodeControl(control),
             (QMap<QString, QString>{{"d0", "0"}, {"d7", "1"}, {"d9", "1"}}));
}

void TestVokJson::emptyDefinition()
{
    const QByteArray frame = json.statusTemplate();
    QCOMPARE(hex(frame), QString("FF FF 00 06 05 00 00 00 04 00"));
    QCOMPARE(json.setIntValue(frame, "A", 1), frame);
    QCOMPARE(json.setBytesValue(frame, "A", "\x01"), frame);
    QVERIFY(json.decodeControl(controlFrame(QByteArray::fromHex("03 01 64"))).isEmpty());
    QVERIFY(json.decodeStatus(frame).isEmpty());
}

void TestVokJson::intToBytes()
{
    QCOMPARE(VokJson::intToBytes(-1, 2), QByteArray::fromHex("FFFF"));
    QCOMPARE(VokJson::intToBytes(5, 0), QByteArray());
    QCOMPARE(VokJson::intToBytes(5, 5), QByteArray());
    QCOMPARE(VokJson::intToBytes(300, 1), QByteArray::fromHex("2C"));
    QCOMPARE(VokJson::intToBytes(0x01FF, 2), QByteArray::fromHex("01FF"));
    QCOMPARE(VokJson::intToBytes(0x123456, 3), QByteArray::fromHex("123456"));
    QCOMPARE(VokJson::intToBytes(4294967295LL, 4), QByteArray::fromHex("FFFFFFFF"));
}

void TestVokJson::uint32AboveIntRange()
{
    QVERIFY(load({attr("n", "uint32", "status_writable", "byte", 4, 0),
                  attr("bin", "binary", "status_readonly", "byte", 3, 4)}));
    QByteArray frame = json.setIntValue(json.statusTemplate(), "n", 4000000000LL);
    frame = json.setBytesValue(frame, "bin", QByteArray::fromHex("0AB0FF"));
    QCOMPARE(hex(frame.mid(9, 7)), QString("EE 6B 28 00 0A B0 FF"));
    QCOMPARE(json.decodeStatus(frame),
             (QMap<QString, QString>{{"n", "4000000000"}, {"bin", "0ab0ff"}}));
    QCOMPARE(json.decodeControl(controlFrame(QByteArray::fromHex("01 FFFFFFFF"))).value("n"),
             QString("4294967295"));
}

void TestVokJson::faultyDefinitionsNeverLeaveTheFrame()
{
    QVERIFY(load({
        attr("far", "uint8", "status_writable", "byte", 1, 50),
        attr("five", "uint16", "status_writable", "byte", 5, 0),
        attr("zero", "binary", "status_writable", "byte", 0, 0),
        attr("before", "uint8", "status_writable", "byte", 1, -3),
        attr("outside area", "bool", "status_readonly", "bit", 1, 5, 30),
        attr("too wide", "enum", "status_readonly", "bit", 17, 5, 0),
        attr("negative bit", "bool", "status_readonly", "bit", 1, 5, -1),
        withEnum(attr("few texts", "enum", "alert", "bit", 3, 8, 0), {"a", "b"}),
        attr("huge", "binary", "fault", "byte", 2147483647, 9),
    }));
    const QByteArray empty = json.statusTemplate();
    // The length field cannot count more than 0xFFFF bytes.
    QCOMPARE(empty.size(), 0xFFFF + 4);
    QCOMPARE(int(VokTool().getUint16(empty, 2)) + 4, empty.size());

    QByteArray frame = empty;
    for (const json_struct &dp : json.dataPoints()) {
        frame = json.setIntValue(frame, dp.display_name, 6);
        frame = json.setBytesValue(frame, dp.display_name, QByteArray(8, '\x11'));
        QCOMPARE(frame.size(), empty.size());
    }
    // "five" has no usable length for a number, but its five bytes take bytes.
    QCOMPARE(hex(frame.mid(9, 5)), QString("11 11 11 11 11"));
    QCOMPARE(frame.at(9 + 50), '\x11'); // "far" lies inside this large frame

    const QMap<QString, QString> values = json.decodeStatus(frame);
    QCOMPARE(values.value("few texts"), QString("6")); // beyond the texts: the number
    for (const char *unfit : {"zero", "before", "outside area", "too wide", "negative bit", "huge"})
        QVERIFY2(!values.contains(unfit), unfit);

    // A datapoint beyond the status data of a small frame is skipped.
    QJsonArray misplaced{attr("in", "uint8", "status_writable", "byte", 1, 0),
                         attr("far", "uint16", "status_readonly", "byte", 2, 2)};
    QVERIFY(load(misplaced));
    frame = json.setIntValue(json.statusTemplate(), "far", 0x1234);
    QCOMPARE(hex(frame), QString("FF FF 00 09 05 00 00 00 04 00 00 00 00"));
    QVERIFY(!json.decodeStatus(frame).contains("far"));
}

void TestVokJson::getBitsWarnings()
{
    const QByteArray data = QByteArray::fromHex("A5 3C");
    QCOMPARE(VokJson::GetBits(data, 2, 4, 8), quint16(0x53));
    QTest::ignoreMessage(QtDebugMsg, "GetBits (), WARN: bitLen = 0");
    QCOMPARE(VokJson::GetBits(data, 2, 0, 0), quint16(0));
    QTest::ignoreMessage(QtDebugMsg, "GetBits (), WARN: byteOffset+(bitOffset+bitLen) overflows");
    QCOMPARE(VokJson::GetBits(data, 2, 12, 8), quint16(0));
    QTest::ignoreMessage(QtDebugMsg, "GetBits (), WARN: byteOffset+(bitOffset+bitLen) overflows");
    QCOMPARE(VokJson::GetBits(data, 3, 0, 1), quint16(0));
    QTest::ignoreMessage(QtDebugMsg, "GetBits (), WARN: byteOffset+(bitOffset+bitLen) overflows");
    QCOMPARE(VokJson::GetBits(data, 2, 0, 40), quint16(0));
}

void TestVokJson::randomDefinitionsRoundTrip()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QString context = QString("seed %1").arg(seed);

    for (int round = 0; round < 200; ++round) {
        // Sections in order (so writable datapoints come first in the list),
        // each its bit area first and then its byte datapoints.
        QJsonArray attrs;
        QMap<QString, QString> expected;
        QMap<QString, qint64> ints;
        QMap<QString, QByteArray> bytes;
        QStringList writable;
        int offset = 0;
        int writableEnd = 0;
        for (const char *type : {"status_writable", "status_readonly", "alert", "fault"}) {
            const bool withBytes = QByteArray(type).startsWith("status");
            const int bitCount = random.bounded(withBytes ? 6 : 4);
            int bit = 0;
            for (int i = 0; i < bitCount; ++i) {
                const QString name = QString("p%1").arg(attrs.size());
                if (random.bounded(2)) {
                    attrs.append(attr(name, "bool", type, "bit", 1, offset, bit));
                    ints[name] = random.bounded(2);
                    expected[name] = QString::number(ints[name]);
                    bit += 1;
                } else {
                    const int len = 1 + random.bounded(5);
                    const int textCount = 1 + random.bounded(1 << len);
                    QJsonArray texts;
                    for (int t = 0; t < textCount; ++t)
                        texts.append(QString("%1-%2").arg(name).arg(t));
                    attrs.append(withEnum(attr(name, "enum", type, "bit", len, offset, bit), texts));
                    ints[name] = random.bounded(textCount);
                    expected[name] = texts[int(ints[name])].toString();
                    bit += len;
                }
                if (QByteArray(type) == "status_writable")
                    writable.append(name);
            }
            offset += (bit + 7) / 8;
            const int byteCount = withBytes ? random.bounded(4) : 0;
            for (int i = 0; i < byteCount; ++i) {
                const QString name = QString("p%1").arg(attrs.size());
                const int kind = random.bounded(4);
                if (kind < 3) {
                    const int len = kind == 0 ? 1 : kind == 1 ? 2 : 4;
                    const char *dataType = kind == 0 ? "uint8" : kind == 1 ? "uint16" : "uint32";
                    attrs.append(attr(name, dataType, type, "byte", len, offset));
                    ints[name] = qint64(random.generate64() % (quint64(1) << (8 * len)));
                    expected[name] = QString::number(ints[name]);
                    offset += len;
                } else {
                    const int len = 1 + random.bounded(6);
                    attrs.append(attr(name, "binary", type, "byte", len, offset));
                    QByteArray value(len, '\0');
                    for (char &c : value)
                        c = char(random.bounded(256));
                    bytes[name] = value;
                    expected[name] = QString::fromLatin1(value.toHex());
                    offset += len;
                }
                if (QByteArray(type) == "status_writable")
                    writable.append(name);
            }
            if (QByteArray(type) == "status_writable")
                writableEnd = offset;
        }
        QVERIFY2(load(attrs), qPrintable(context));

        QByteArray status = json.statusTemplate();
        QCOMPARE(status.size(), offset + 10);
        for (auto it = ints.cbegin(); it != ints.cend(); ++it)
            status = json.setIntValue(status, it.key(), it.value());
        for (auto it = bytes.cbegin(); it != bytes.cend(); ++it)
            status = json.setBytesValue(status, it.key(), it.value());
        QVERIFY2(json.decodeStatus(status) == expected, qPrintable(context));

        // The writable section of the status data is the values part of a
        // control frame that carries every writable datapoint.
        const int maskBytes = (writable.size() + 7) / 8;
        QByteArray mask(maskBytes, '\0');
        for (int i = 0; i < writable.size(); ++i)
            mask[maskBytes - 1 - i / 8] = char(mask[maskBytes - 1 - i / 8] | (1 << (i % 8)));
        const QByteArray control = controlFrame(mask + status.mid(9, writableEnd));
        QMap<QString, QString> expectedControl;
        for (const QString &name : writable)
            expectedControl[name] = expected[name];
        QVERIFY2(json.decodeControl(control) == expectedControl, qPrintable(context));
    }
}

void TestVokJson::truncatedFramesDecodeOnlyWhatIsThere()
{
    QVERIFY(json.parseFile(QCoreApplication::applicationDirPath()
                           + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json"));
    // Every writable datapoint present, every value non-zero.
    const QByteArray control = controlFrame(QByteArray::fromHex(
        "0F FF  05 3F  50  02 D0  EE 6B 28 00  0A B0 FF"));
    const QMap<QString, QString> full = json.decodeControl(control);
    QCOMPARE(full.size(), json.writableCount);
    QCOMPARE(full.value("模式"), QString("节能"));
    QCOMPARE(full.value("风速"), QString("高"));
    QCOMPARE(full.value("目标湿度"), QString("80"));
    QCOMPARE(full.value("定时关机"), QString("720"));
    QCOMPARE(full.value("预约开机时间"), QString("4000000000"));
    QCOMPARE(full.value("灯光颜色"), QString("0ab0ff"));

    QByteArray status = json.statusTemplate();
    for (const json_struct &dp : json.dataPoints())
        status = dp.data_type == "binary" ? json.setBytesValue(status, dp.display_name, "\x01\x02\x03")
                                          : json.setIntValue(status, dp.display_name, 1);
    const QMap<QString, QString> fullStatus = json.decodeStatus(status);
    QCOMPARE(fullStatus.size(), json.dataPoints().size());

    // A cut frame (its last byte taken as checksum) gives a subset of the
    // values, each one read from where it belongs.
    for (int size = 0; size < control.size(); ++size) {
        const QMap<QString, QString> part = json.decodeControl(control.left(size));
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            QVERIFY2(full.value(it.key()) == it.value(), qPrintable(QString("size %1").arg(size)));
        if (size < 12)
            QVERIFY(part.isEmpty());
    }
    for (int size = 0; size < status.size(); ++size) {
        const QMap<QString, QString> part = json.decodeStatus(status.left(size));
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            QVERIFY2(fullStatus.value(it.key()) == it.value(), qPrintable(QString("size %1").arg(size)));
        QVERIFY(part.size() < fullStatus.size());
    }
}

void TestVokJson::sampleDefinitionIsConsistent()
{
    QVERIFY(json.parseFile(QCoreApplication::applicationDirPath()
                           + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json"));
    const QList<json_struct> list = json.dataPoints();
    QCOMPARE(list.size(), 19);
    // Writable datapoints first, as control frames address them by position.
    for (int i = 0; i < list.size(); ++i)
        QCOMPARE(list[i].type == "status_writable", i < json.writableCount);

    // Every datapoint owns distinct bits of the status data.
    const QByteArray empty = json.statusTemplate();
    QCOMPARE(empty.size(), 28);
    QByteArray seen(empty.size(), '\0');
    for (const json_struct &dp : list) {
        QByteArray one = dp.data_type == "binary"
                             ? json.setBytesValue(empty, dp.display_name, QByteArray(dp.len, '\xFF'))
                             : json.setIntValue(empty, dp.display_name, -1);
        QCOMPARE(one.size(), empty.size());
        bool wroteSomething = false;
        for (int i = 9; i < one.size() - 1; ++i) {
            QVERIFY2(!(seen.at(i) & one.at(i)), qPrintable(dp.display_name));
            seen[i] = char(seen.at(i) | one.at(i));
            wroteSomething = wroteSomething || one.at(i);
        }
        QVERIFY2(wroteSomething, qPrintable(dp.display_name));
    }
}

QTEST_GUILESS_MAIN(TestVokJson)
#include "tst_vokjson.moc"
