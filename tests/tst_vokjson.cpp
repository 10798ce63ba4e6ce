#include "datapoint/vokjson.h"
#include "protocol/voktool.h"
#include "protocol/vokfiles.h"
#include "support/testroot.h"

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
    const QJsonObject position{
        {"unit", unit}, {"len", len}, {"byte_offset", byteOffset}, {"bit_offset", bitOffset}};
    return {{"display_name", displayName}, {"name", displayName.toLower()},
            {"data_type", dataType}, {"type", type}, {"position", position}};
}

QJsonObject with(QJsonObject attr, const QString &key, const QJsonValue &value)
{
    attr.insert(key, value);
    return attr;
}

QByteArray document(const QJsonArray &attrs, const QJsonArray &moreEntities = {})
{
    QJsonArray entities{QJsonObject{{"attrs", attrs}}};
    for (const QJsonValue &entity : moreEntities)
        entities.append(entity);
    return QJsonDocument(QJsonObject{{"entities", entities}}).toJson();
}

// A writable bool A, a writable uint8 B and a read-only uint16 C.
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
    void initTestCase()
    {
        qRegisterMetaType<QList<json_struct>>();
        QVERIFY(root.isValid());
    }
    void init() { json.parseFile(QString()); } // no definition

    void readsRecordsTheWayJsonAccessorsDo();
    void parseJsonForgetsOldDefinition();

    void faultyDefinitionsNeverLeaveTheFrame();
    void randomDefinitionsRoundTrip();
    void randomControlsEncodeAndDecode();
    void sampleDefinitionAndTruncatedFrames();

private:
    bool load(const QJsonArray &attrs)
    {
        return writeFile(dir.filePath("definition.json"), document(attrs))
               && json.parseFile(dir.filePath("definition.json"));
    }

    QTemporaryDir dir;
    TestRoot root;
    VokJson json;
};

void TestVokJson::readsRecordsTheWayJsonAccessorsDo()
{
    QJsonObject stringLen = attr("len as text", "uint8", "status_writable", "byte", 0, 0);
    stringLen["position"] = with(stringLen["position"].toObject(), "len", "8");
    const QJsonArray attrs{
        with(with(attr("开关", "bool", "status_writable", "bit", 1, 0, 0), "id", 7), "desc", "电源"),
        attr("B", "uint8", "status_writable", "byte", 1, 1), // no uint_spec
        with(attr("C", "enum", "status_readonly", "bit", 2, 2, 0), "enum", QJsonArray{"x", "y", 3}),
        with(attr("bool with uint_spec", "bool", "status_writable", "bit", 1, 0, 2), "uint_spec",
             QJsonObject{{"min", 1}, {"max", 9}}),
        with(attr("big", "uint32", "status_readonly", "byte", 4, 3), "uint_spec",
             QJsonObject{{"min", 0}, {"max", 4294967295LL}}),
        with(with(attr("Capital", "Enum", "status_readonly", "byte", 1, 7), "enum", QJsonArray{"a"}),
             "uint_spec", QJsonObject{{"min", 1}, {"max", 2}}),
        stringLen,
        QJsonValue("not an object"),
    };
    const QJsonObject secondEntity{
        {"attrs", QJsonArray{attr("ignored", "bool", "status_writable", "bit", 1, 0)}}};
    QVERIFY(writeFile(dir.filePath("typed.json"), document(attrs, {secondEntity})));
    QVERIFY(json.parseFile(dir.filePath("typed.json")));

    const QList<json_struct> list = json.dataPoints();
    QStringList names;
    for (const json_struct &dp : list)
        names.append(dp.display_name);
    QCOMPARE(names, QStringList({"开关", "B", "C", "bool with uint_spec", "big", "Capital",
                                 "len as text", ""}));
    QCOMPARE(list[0].id, 7);
    QCOMPARE(list[0].desc, QString("电源"));
    QCOMPARE(list[1].name, QString("b"));
    QCOMPARE(list[2].enum_values, QList<QString>({"x", "y", ""}));
    QCOMPARE(list[3].min, qint64(0));
    QCOMPARE(list[3].max, qint64(0));
    QCOMPARE(list[4].max, Q_INT64_C(4294967295));
    QVERIFY(list[5].enum_values.isEmpty());
    QCOMPARE(list[5].max, qint64(0));
    QCOMPARE(list[6].len, 0);
    // Four writables, whatever their unit; each section's bits get a byte of
    // their own, plus the byte datapoints (1 + 4 + 1 bytes).
    QCOMPARE(json.writableCount, 4);
    QCOMPARE(hex(json.statusTemplate()),
             QString("FF FF 00 0E 05 00 00 00 04 00 00 00 00 00 00 00 00 00"));

    // "Enum" is no type: a status frame gives it no value.
    const QMap<QString, QString> values = json.decodeStatus(json.statusTemplate());
    QVERIFY(values.contains("big"));
    QVERIFY(!values.contains("Capital"));
}

void TestVokJson::parseJsonForgetsOldDefinition()
{
    QSignalSpy listOk(&json, &VokJson::ListOk);
    const QString key = "tst-vokjson-parse";
    // Whatever replaces a good definition, the old one is gone; only a
    // readable JSON document is announced.
    const struct { const char *content; bool announced; } cases[] = {
        {nullptr, false}, // no file
        {"{\"entities\": [", false},
        {"[]", true},
        {"{\"entities\": {\"attrs\": [{}]}}", true},
    };
    for (const auto &c : cases) {
        QVERIFY(writeFile(VokFiles::definitionCache(key), document(exampleAttrs())));
        json.parseJson(key);
        QCOMPARE(listOk.count(), 1);
        QCOMPARE(listOk.takeFirst()[0].value<QList<json_struct>>().size(), 3);

        const QString cache = VokFiles::definitionCache(key);
        QVERIFY(c.content ? writeFile(cache, c.content) : QFile::remove(cache));
        json.parseJson(key);
        QCOMPARE(listOk.count(), int(c.announced));
        if (c.announced)
            QVERIFY(listOk.takeFirst()[0].value<QList<json_struct>>().isEmpty());
        QVERIFY(json.dataPoints().isEmpty());
        QCOMPARE(json.writableCount, 0);
        const QByteArray empty = json.statusTemplate();
        QCOMPARE(empty.size(), 10);
        QCOMPARE(json.setIntValue(empty, "A", 1), empty);
        QCOMPARE(json.setBytesValue(empty, "A", "\x01"), empty);
    }

    // A key is never a path out of the cache folder.
    QVERIFY(writeFile(root.filePath("tst-vokjson-outside.json"),
                      document(exampleAttrs())));
    json.parseJson("../tst-vokjson-outside");
    QCOMPARE(listOk.count(), 0);
    QVERIFY(json.dataPoints().isEmpty());
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
        with(attr("few texts", "enum", "alert", "bit", 3, 8, 0), "enum", QJsonArray{"a", "b"}),
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

    // A datapoint reaching into the checksum byte of a small frame is skipped.
    QVERIFY(load({attr("in", "uint8", "status_writable", "byte", 1, 0),
                  attr("far", "uint16", "status_readonly", "byte", 2, 2)}));
    QCOMPARE(json.setIntValue(json.statusTemplate(), "far", 0x1234), json.statusTemplate());
}

void TestVokJson::randomDefinitionsRoundTrip()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QString context = QString("seed %1").arg(seed);

    for (int round = 0; round < 100; ++round) {
        // Sections in order (so writable datapoints come first in the list),
        // each its bit area first and then its byte datapoints.
        QJsonArray attrs;
        QMap<QString, QVariant> values; // a number, or bytes for a binary datapoint
        QMap<QString, QString> expected;
        int offset = 0;
        int writableEnd = 0;
        int writable = 0;
        for (const QString type : {"status_writable", "status_readonly", "alert", "fault"}) {
            const bool withBytes = type.startsWith("status");
            int bit = 0;
            for (int i = random.bounded(withBytes ? 6 : 4); i > 0; --i) {
                const QString name = QString("p%1").arg(attrs.size());
                const bool isBool = random.bounded(2);
                const int len = isBool ? 1 : 1 + random.bounded(5);
                QJsonArray texts;
                for (int t = isBool ? 0 : 1 + random.bounded(1 << len); t > 0; --t)
                    texts.append(QString("%1-%2").arg(name).arg(texts.size()));
                const int value = random.bounded(isBool ? 2 : texts.size());
                const QJsonObject bits = attr(name, isBool ? "bool" : "enum", type, "bit", len, offset, bit);
                attrs.append(isBool ? bits : with(bits, "enum", texts));
                values[name] = value;
                expected[name] = isBool ? QString::number(value) : texts[value].toString();
                bit += len;
            }
            offset += (bit + 7) / 8;
            for (int i = withBytes ? random.bounded(4) : 0; i > 0; --i) {
                const QString name = QString("p%1").arg(attrs.size());
                const int kind = random.bounded(4);
                const int len = kind == 0 ? 1 : kind == 1 ? 2 : kind == 2 ? 4 : 1 + random.bounded(6);
                if (kind < 3) {
                    const char *dataType = kind == 0 ? "uint8" : kind == 1 ? "uint16" : "uint32";
                    attrs.append(attr(name, dataType, type, "byte", len, offset));
                    values[name] = qint64(random.generate64() % (quint64(1) << (8 * len)));
                    expected[name] = values[name].toString();
                } else {
                    attrs.append(attr(name, "binary", type, "byte", len, offset));
                    QByteArray value(len, '\0');
                    for (char &c : value)
                        c = char(random.bounded(256));
                    values[name] = value;
                    expected[name] = QString::fromLatin1(value.toHex());
                }
                offset += len;
            }
            if (type == "status_writable") {
                writableEnd = offset;
                writable = attrs.size();
            }
        }
        QVERIFY2(load(attrs), qPrintable(context));

        QByteArray status = json.statusTemplate();
        QCOMPARE(status.size(), offset + 10);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            status = it->type() == QVariant::ByteArray
                         ? json.setBytesValue(status, it.key(), it->toByteArray())
                         : json.setIntValue(status, it.key(), it->toLongLong());
        QVERIFY2(json.decodeStatus(status) == expected, qPrintable(context));

        // The writable section of the status data is the values part of a
        // control frame that carries every writable datapoint (p0 ... ).
        const int maskBytes = (writable + 7) / 8;
        QByteArray mask(maskBytes, '\0');
        QMap<QString, QString> expectedControl;
        for (int i = 0; i < writable; ++i) {
            mask[maskBytes - 1 - i / 8] = char(mask[maskBytes - 1 - i / 8] | (1 << (i % 8)));
            expectedControl[QString("p%1").arg(i)] = expected[QString("p%1").arg(i)];
        }
        const QByteArray control = controlFrame(mask + status.mid(9, writableEnd));
        QVERIFY2(json.decodeControl(control) == expectedControl, qPrintable(context));
    }
}

void TestVokJson::randomControlsEncodeAndDecode()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QString context = QString("seed %1").arg(seed);

    for (int round = 0; round < 100; ++round) {
        // Writable bit fields packed from bit 0, then byte datapoints, then a
        // read-only one that no control may carry.
        QJsonArray attrs;
        int bit = 0;
        for (int i = random.bounded(12); i > 0; --i) {
            const int len = 1 + random.bounded(4);
            QJsonArray texts;
            for (int t = 0; t < 1 << len; ++t)
                texts.append(QString("t%1").arg(t));
            attrs.append(with(attr(QString("p%1").arg(attrs.size()), len == 1 ? "bool" : "enum",
                                   "status_writable", "bit", len, 0, bit),
                              "enum", texts));
            bit += len;
        }
        int offset = (bit + 7) / 8;
        for (int i = random.bounded(6); i > 0; --i) {
            const int kind = random.bounded(4);
            const int len = kind < 3 ? 1 << kind : 1 + random.bounded(5);
            const char *dataType = kind == 0 ? "uint8" : kind == 1 ? "uint16" : kind == 2 ? "uint32" : "binary";
            attrs.append(attr(QString("p%1").arg(attrs.size()), dataType, "status_writable", "byte", len, offset));
            offset += len;
        }
        const int writable = attrs.size();
        attrs.append(attr("ro", "uint8", "status_readonly", "byte", 1, offset));
        QVERIFY2(load(attrs), qPrintable(context));

        // A random subset of the writable datapoints, each with a random value.
        QList<VokJson::ControlValue> values;
        QMap<QString, QString> expected;
        for (const json_struct &dp : json.dataPoints().mid(0, writable)) {
            if (random.bounded(3) == 0)
                continue;
            VokJson::ControlValue value{dp.display_name, 0, {}};
            if (dp.isBinary()) {
                value.bytes.resize(dp.len);
                for (char &c : value.bytes)
                    c = char(random.bounded(256));
                expected[dp.display_name] = QString::fromLatin1(value.bytes.toHex());
            } else {
                const int bits = dp.isBitField() ? dp.len : 8 * dp.len;
                value.number = qint64(random.generate64() % (quint64(1) << bits));
                expected[dp.display_name] = dp.isEnum() ? dp.enum_values.at(int(value.number))
                                                        : QString::number(value.number);
            }
            values << value;
        }
        QByteArray payload;
        QString error;
        QVERIFY2(json.encodeControl(values, &payload, &error), qPrintable(context + error));
        QCOMPARE(payload.size(), int(json.controlPayloadSize()));
        QVERIFY2(json.decodeControl(controlFrame(payload)) == expected, qPrintable(context));

        // A value one past its field, a read-only datapoint and a repeated
        // name are refused.
        if (!values.isEmpty()) {
            VokJson::ControlValue tooBig = values.first();
            const json_struct *dp = json.findDataPoint(tooBig.displayName);
            tooBig.number = qint64(1) << (dp->isBitField() ? dp->len : 8 * dp->len);
            tooBig.bytes.append('\0');
            QVERIFY2(!json.encodeControl({tooBig}, &payload, &error), qPrintable(context));
            QVERIFY2(!json.encodeControl(values + values.mid(0, 1), &payload, &error), qPrintable(context));
        }
        QVERIFY2(!json.encodeControl({{"ro", 1, {}}}, &payload, &error), qPrintable(context));
    }
}

void TestVokJson::sampleDefinitionAndTruncatedFrames()
{
    QVERIFY(json.parseFile(TestRoot::shipped("datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json")));
    const QList<json_struct> list = json.dataPoints();
    QCOMPARE(list.size(), 19);
    // Writable datapoints first, as control frames address them by position.
    for (int i = 0; i < list.size(); ++i)
        QCOMPARE(list[i].type == "status_writable", i < json.writableCount);

    // Every datapoint, filled with ones, owns distinct bits of the status data.
    const QByteArray empty = json.statusTemplate();
    QCOMPARE(empty.size(), 28);
    QByteArray seen(empty.size(), '\0');
    QByteArray status = empty; // every value small but non-zero
    for (const json_struct &dp : list) {
        const bool binary = dp.data_type == "binary";
        const QByteArray one = binary ? json.setBytesValue(empty, dp.display_name, QByteArray(dp.len, '\xFF'))
                                      : json.setIntValue(empty, dp.display_name, -1);
        QCOMPARE(one.size(), empty.size());
        bool wroteSomething = false;
        for (int i = 9; i < one.size() - 1; ++i) {
            QVERIFY2(!(seen.at(i) & one.at(i)), qPrintable(dp.display_name));
            seen[i] = char(seen.at(i) | one.at(i));
            wroteSomething = wroteSomething || one.at(i);
        }
        QVERIFY2(wroteSomething, qPrintable(dp.display_name));
        status = binary ? json.setBytesValue(status, dp.display_name, "\x01\x02\x03")
                        : json.setIntValue(status, dp.display_name, 1);
    }
    const QMap<QString, QString> fullStatus = json.decodeStatus(status);
    QCOMPARE(fullStatus.size(), list.size());

    // Every writable datapoint present, every value non-zero; the mask's
    // four top bits stand for no writable datapoint and are ignored.
    const QByteArray control = controlFrame(QByteArray::fromHex(
        "FF FF  05 3F  50  02 D0  EE 6B 28 00  0A B0 FF"));
    const QMap<QString, QString> full = json.decodeControl(control);
    QCOMPARE(full, (QMap<QString, QString>{
                       {"开关", "1"}, {"童锁", "1"}, {"负离子", "1"}, {"紫外杀菌", "1"},
                       {"夜灯", "1"}, {"提示音", "1"}, {"模式", "节能"}, {"风速", "高"},
                       {"目标湿度", "80"}, {"定时关机", "720"},
                       {"预约开机时间", "4000000000"}, {"灯光颜色", "0ab0ff"}}));

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

QTEST_GUILESS_MAIN(TestVokJson)
#include "tst_vokjson.moc"
