#ifndef TST_MCUWINDOW_FIXTURE_H
#define TST_MCUWINDOW_FIXTURE_H

// Shared by the MCU page's tests and benchmark: a known auto_analyze.ini and
// definitions in the files' root (a test's TestRoot), plus helpers to drive
// the page's widgets.

#include "protocol/vokfiles.h"
#include "protocol/voktool.h"
#include "support/testroot.h"
#include "support/widgetlookup.h"

#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

namespace McuFixture {

// The key the test settings store; its definition is the three datapoints
// A (writable bool), B (writable uint8) and C (read-only uint16).
inline const QString abcKey = QStringLiteral("abcdef0123456789abcdef0123456789");
inline const QString placeholderKey = QStringLiteral("11223344556677889900112233445566");

// Where the helper programs are built.
inline QString binDir() { return QCoreApplication::applicationDirPath(); }

inline QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

// Stamps the frame checksum into the last byte.
inline QByteArray stamped(QByteArray frame)
{
    frame[frame.size() - 1] = char(VokTool().checksum(frame, 2, 1));
    return frame;
}

// A frame as the module puts it on the wire: 0x55 after every FF past the header.
inline QByteArray escaped(const QByteArray &frame)
{
    QByteArray wire = frame.left(2);
    for (int i = 2; i < frame.size(); ++i) {
        wire += frame.at(i);
        if (quint8(frame.at(i)) == 0xFF)
            wire += char(0x55);
    }
    return wire;
}

inline QString hexText(QByteArray bytes) { return QString::fromLatin1(VokTool().toHexString(bytes)); }

// The product-information reply, layout as the module expects it.
inline QByteArray productInfoTemplate(const QString &productKey)
{
    QByteArray frame = hex("FFFF0047 02 00 0000");
    frame += "00000004000000040000000100000001";
    frame += productKey.toLatin1();
    frame += hex("0000 00");
    return frame;
}

inline void writeSettings(const QString &productKey)
{
    QFile::remove(VokFiles::analyzeSettings());
    QSettings settings(VokFiles::analyzeSettings(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue("product_key/key", productKey);
    settings.setValue("Respond/02", hexText(productInfoTemplate(productKey)));
    settings.setValue("Respond/04", "FF FF 00 05 04 00 00 00 00 ");
    settings.setValue("Respond/08", "ff ff 00 05 08 00 00 00 00");
    settings.setValue("Respond/0E", "FF FF 00 05 0E 00 00 00 00 ");
    settings.setValue("Defaule/49", "FF FF 00 06 09 00 00 00 02 11 ");
    settings.setValue("Defaule/4B", "FF FF 00 05 0B 00 00 00 10 ");
    settings.setValue("cmd/02", QStringLiteral("产品信息应答"));
    settings.setValue("cmd/0302", QStringLiteral("读取状态"));
    settings.setValue("cmd/0403", QStringLiteral("状态应答"));
    settings.setValue("cmd/0D", QStringLiteral("wifi状态"));
    settings.setValue("wifistate/02", QStringLiteral("已连接路由器"));
    settings.setValue("connect/03", QStringLiteral("已连接云端"));
    settings.setValue("setmode/02", QStringLiteral("配网模式"));
    settings.sync();
}

inline QJsonObject attr(const QString &name, const QString &dataType, const QString &type,
                        const QString &unit, int len, int byteOffset, int bitOffset = 0)
{
    return QJsonObject{{"display_name", name}, {"name", name.toLower()}, {"data_type", dataType},
                       {"type", type}, {"id", 1}, {"desc", ""},
                       {"position", QJsonObject{{"unit", unit}, {"len", len}, {"byte_offset", byteOffset},
                                                {"bit_offset", bitOffset}}}};
}

inline QJsonObject withRange(QJsonObject point, qint64 min, qint64 max)
{
    point.insert("uint_spec", QJsonObject{{"min", double(min)}, {"max", double(max)}});
    return point;
}

inline void writeDefinition(const QString &key, const QJsonArray &attrs)
{
    QFile file(VokFiles::definitionCache(key));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QJsonDocument(QJsonObject{{"entities", QJsonArray{QJsonObject{{"attrs", attrs}}}}})
                       .toJson());
}

inline QJsonArray abcDefinition()
{
    return QJsonArray{attr("A", "bool", "status_writable", "bit", 1, 0, 0),
                      withRange(attr("B", "uint8", "status_writable", "byte", 1, 1), 0, 255),
                      withRange(attr("C", "uint16", "status_readonly", "byte", 2, 2), 0, 65535)};
}

inline QStringList logLines(QWidget *page)
{
    QStringList lines;
    auto *list = child<QListWidget>(page, "listWidget");
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

// Log header lines starting with prefix ("WIFI:", "MCU:", "SEND:").
inline int headerCount(QWidget *page, const QString &prefix)
{
    int count = 0;
    for (const QString &line : logLines(page))
        count += line.startsWith(prefix);
    return count;
}

// Types the device path into the port box and clicks "打开串口".
inline bool openPort(QWidget *page, const QString &path)
{
    child<QComboBox>(page, "com_3")->setEditText(path);
    auto *button = child<QPushButton>(page, "pushButton_open3");
    button->click();
    return button->text() == QStringLiteral("关闭串口");
}

} // namespace McuFixture

#endif // TST_MCUWINDOW_FIXTURE_H
