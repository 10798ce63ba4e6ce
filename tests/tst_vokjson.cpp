#include "datapoint/vokjson.h"
#include "protocol/frame.h"
#include "protocol/vokfiles.h"
#include "support/framestream.h"
#include "support/testroot.h"

#include <QtTest>

namespace {
constexpr int bytes = INT_MIN; // the bit offset of a datapoint measured in bytes

// One datapoint record; extra holds the keys beyond the position (enum, uint_spec, ...).
QJsonObject attr(const QString &name, const char *dataType, const char *type, const QJsonValue &len, int byteOffset,
                 int bit = bytes, QJsonObject extra = {})
{
    extra["display_name"] = name;
    extra["data_type"] = dataType;
    extra["type"] = type;
    extra["position"] = QJsonObject{{"unit", bit == bytes ? "byte" : "bit"}, {"len", len}, {"byte_offset", byteOffset},
                                    {"bit_offset", bit == bytes ? 0 : bit}};
    return extra;
}

QByteArray document(const QJsonArray &attrs)
{
    return QJsonDocument(QJsonObject{{"entities", QJsonArray{QJsonObject{{"attrs", attrs}}}}}).toJson();
}
} // namespace

class TestVokJson : public QObject
{
    Q_OBJECT
    bool load(const QJsonArray &a) { return writeFile(root.filePath("d"), document(a)) && json.parseFile(root.filePath("d")); }
    QByteArray set(const QByteArray &f, const VokJson::ControlValue &v) const
    {
        return v.bytes.isEmpty() ? json.setIntValue(f, v.displayName, v.number) : json.setBytesValue(f, v.displayName, v.bytes);
    }

    TestRoot root;
    VokJson json;

private slots:
    void definitions()
    {
        // A uint_spec beyond int, enum texts that are no text, a len given as
        // text, an element that is no object, then datapoints that do not fit.
        QVERIFY(load({attr("b", "bool", "status_writable", 1, 0, 0),
                      attr("e", "enum", "status_readonly", 2, 2, 0, {{"enum", QJsonArray{"x", "y", 3}}}),
                      attr("big", "uint32", "status_readonly", 4, 3, bytes, {{"uint_spec", QJsonObject{{"max", 4294967295LL}}}}),
                      attr("Enum", "Enum", "status_writable", 1, 7, bytes, {{"enum", QJsonArray{"a"}}}),
                      attr("len as text", "uint8", "status_writable", "8", 0), "not an object",
                      attr("far", "uint8", "status_writable", 1, 50), attr("five", "uint16", "status_writable", 5, 0),
                      attr("zero", "binary", "status_writable", 0, 0), attr("before", "uint8", "status_writable", 1, -3),
                      attr("outside area", "bool", "status_readonly", 1, 5, 30),
                      attr("too wide", "enum", "status_readonly", 17, 5, 0), attr("negative bit", "bool", "fault", 1, 5, -1),
                      attr("few texts", "enum", "alert", 3, 8, 0, {{"enum", QJsonArray{"a", "b"}}}),
                      attr("huge", "binary", "fault", 2147483647, 9)}));
        QCOMPARE(json.dataPoints()[2].max, Q_INT64_C(4294967295));
        QCOMPARE(json.dataPoints()[1].enum_values, (QList<QString>{"x", "y", ""}));
        // The length field cannot count more than 0xFFFF bytes.
        QByteArray frame = json.statusTemplate();
        QCOMPARE(frame.size(), 0xFFFF + 4);
        // (The fuzz target checks that no write leaves the status data.)
        for (const json_struct &dp : json.dataPoints())
            frame = json.setBytesValue(json.setIntValue(frame, dp.display_name, 6), dp.display_name, QByteArray(8, 0x11));
        // "five" is no number, "Enum" is no type, a value
        // beyond the texts reads as its number, what does not fit is left out.
        QCOMPARE(json.decodeStatus(frame), (QMap<QString, QString>{{"b", "1"}, {"e", "y"}, {"big", "286331153"}, {"len as text", "17"},
                                                                   {"far", "17"}, {"five", "4369"}, {"few texts", "6"}}));

        QList<int> announced; // sizes of the definitions ListOk gave
        connect(&json, &VokJson::ListOk, [&announced](const QList<json_struct> &list) { announced << list.size(); });
        const QString cache = VokFiles::definitionCache("tst-vokjson");
        const QByteArray three = document({attr("A", "bool", "status_writable", 1, 0, 0),
                                           attr("B", "uint8", "status_writable", 1, 1), attr("C", "uint8", "alert", 1, 2)});
        // Whatever replaces a good definition, the old one is gone; only a
        // readable JSON document is announced. A key is never a path out of
        // the cache folder.
        QVERIFY(writeFile(root.filePath("outside.json"), three));
        const struct { const char *content, *key; QList<int> announced; } cases[] = {
            {nullptr, "tst-vokjson", {3}}, {"{\"entities\": [", "tst-vokjson", {3}}, {"[]", "tst-vokjson", {3, 0}},
            {"{\"entities\": {\"attrs\": [{}]}}", "tst-vokjson", {3, 0}}, {nullptr, "../outside", {3}}};
        for (const auto &c : cases) {
            announced.clear();
            QVERIFY(writeFile(cache, three));
            json.parseJson("tst-vokjson");
            QVERIFY(c.content ? writeFile(cache, c.content) : QFile::remove(cache));
            json.parseJson(c.key);
            QCOMPARE(announced, c.announced);
            QCOMPARE(json.dataPoints().size() + json.writableCount + json.statusTemplate().size(), 10);
        }
    }

    void roundTrips()
    {
        QByteArray payload;
        QString error;
        QRandomGenerator random(20261207);
        const char *const dataTypes[] = {"bool", "enum", "uint8", "uint16", "uint32", "binary"};
        for (int round = 0; round < 100; ++round) {
            // Sections in order, writable first as control frames address them by
            // position; each its bit fields (kinds 0 and 1) and then, in the status
            // sections, its byte datapoints.
            QJsonArray attrs;
            QList<VokJson::ControlValue> values, some;
            QMap<QString, QString> want, wantSome;
            int offset = 0, writableEnd = 0, writable = 0;
            for (const QByteArray type : {"status_writable", "status_readonly", "alert", "fault"}) {
                int bit = 0; // -1 once the bit area is closed
                for (int kind = 0; kind < (type.startsWith("status") ? 6 : 2); ++kind)
                    for (int n = random.bounded(4); n > 0; --n) {
                        const QString name = QString("p%1").arg(attrs.size());
                        const int len = kind < 2 ? 1 + kind * random.bounded(5) : kind < 5 ? 1 << (kind - 2) : 1 + random.bounded(6);
                        QJsonArray texts;
                        for (int t = kind == 1 ? 1 + random.bounded(1 << len) : 0; t > 0; --t)
                            texts.append(name + QString::number(t));
                        const quint64 limit = kind == 0 ? 2 : kind == 1 ? texts.size() : quint64(1) << (8 * qMin(len, 4));
                        const VokJson::ControlValue v{name, qint64(random.generate64() % limit),
                                                      FrameStream::payload(random, kind == 5 ? len : 0)};
                        if (kind > 1 && bit >= 0)
                            std::tie(offset, bit) = std::make_tuple(offset + (bit + 7) / 8, -1);
                        attrs.append(attr(name, dataTypes[kind], type, len, offset, kind < 2 ? bit : bytes, {{"enum", texts}}));
                        want[name] = kind == 1 ? texts[v.number].toString() : kind == 5 ? v.bytes.toHex() : QString::number(v.number);
                        values << v;
                        (kind < 2 ? bit : offset) += len;
                    }
                offset += bit > 0 ? (bit + 7) / 8 : 0;
                if (type == "status_writable")
                    std::tie(writableEnd, writable) = std::make_tuple(offset, attrs.size());
            }
            QVERIFY(load(attrs));
            QByteArray status = json.statusTemplate(), partial = status, mask((writable + 7) / 8, '\0');
            QCOMPARE(status.size(), offset + 10);
            for (const VokJson::ControlValue &v : values)
                status = set(status, v);
            QCOMPARE(json.decodeStatus(status), want);

            // A control of some writable datapoints carries the writable section
            // of a status frame with only their values, behind a mask of them.
            for (int i = random.bounded(2); i < writable; i += 1 + random.bounded(3)) {
                some << values[i];
                wantSome[values[i].displayName] = want[values[i].displayName];
                mask[mask.size() - 1 - i / 8] = char(mask.at(mask.size() - 1 - i / 8) | (1 << (i % 8)));
                partial = set(partial, values[i]);
            }
            QVERIFY2(json.encodeControl(some, &payload, &error), qPrintable(error));
            QCOMPARE(payload, mask + partial.mid(9, writableEnd));
            QCOMPARE(json.decodeControl(VokFrame::build(3, 1, '\x01' + payload)), wantSome);
        }

        QVERIFY(json.parseFile(TestRoot::shipped("datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json")));
        // One past a limit, a repeated, a read-only or an unknown datapoint is
        // refused (values at the limits round-trip above).
        const QList<QList<VokJson::ControlValue>> refused{{{"模式", 5, {}}}, {{"风速", 3, {}}}, {{"定时关机", 65536, {}}},
                                                          {{"灯光颜色", 0, "ABCD"}}, {{"开关", 1, {}}, {"开关", 1, {}}},
                                                          {{"开关", 2, {}}}, {{"缺水", 0, {}}}, {{"无此", 0, {}}}};
        for (const QList<VokJson::ControlValue> &values : refused)
            QVERIFY2(!json.encodeControl(values, &payload, &error), qPrintable(values.first().displayName));

        // Every writable datapoint present, every value non-zero; the mask's
        // four top bits stand for no writable datapoint and are ignored.
        const QByteArray control = VokFrame::build(3, 1, QByteArray::fromHex("01  FF FF  05 3F  50  02 D0  EE 6B 28 00  0A B0 FF"));
        QCOMPARE(json.decodeControl(control),
                 (QMap<QString, QString>{{"开关", "1"}, {"童锁", "1"}, {"负离子", "1"}, {"紫外杀菌", "1"}, {"夜灯", "1"},
                                         {"提示音", "1"}, {"模式", "节能"}, {"风速", "高"}, {"目标湿度", "80"},
                                         {"定时关机", "720"}, {"预约开机时间", "4000000000"}, {"灯光颜色", "0ab0ff"}}));

        // A cut frame (its last byte taken as checksum) gives fewer values, each
        // one read from where it belongs.
        QByteArray status = json.statusTemplate(); // every value small but non-zero
        for (const json_struct &dp : json.dataPoints())
            status = set(status, {dp.display_name, 1, dp.isBinary() ? "\x01\x02\x03" : ""});
        for (const auto &[frame, decode] : {std::pair{control, &VokJson::decodeControl}, {status, &VokJson::decodeStatus}}) {
            const QMap<QString, QString> whole = (json.*decode)(frame);
            for (int size = 0; size < frame.size(); ++size) {
                QMap<QString, QString> part = (json.*decode)(frame.left(size)), both = whole;
                both.insert(part); // a value read from the wrong place changes the whole
                QVERIFY2(both == whole && part.size() < whole.size(), qPrintable(QString("size %1").arg(size)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestVokJson)
#include "tst_vokjson.moc"
