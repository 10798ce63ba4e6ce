#ifndef TST_MCUWINDOW_FIXTURE_H
#define TST_MCUWINDOW_FIXTURE_H

// Shared by the MCU page's tests and benchmarks: a known auto_analyze.ini and
// definitions in the files' root (a test's TestRoot), and the page's widgets.

#include "protocol/frame.h"
#include "protocol/vokfiles.h"
#include "support/testroot.h"
#include "support/widgetlookup.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>

namespace McuFixture {

// Its definition: A (writable bool), B (writable uint8), C (read-only uint16).
inline const QString abcKey = QStringLiteral("abcdef0123456789abcdef0123456789");

inline QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
inline QString hexText(const QByteArray &bytes) { return QString(bytes.toHex(' ').toUpper() + ' '); }
inline QByteArray stamped(QByteArray frame) { VokFrame::stampChecksum(frame); return frame; }
// As the module writes it: 0x55 after every FF past the header.
inline QByteArray escaped(const QByteArray &frame) { return VokFrame::escaped(frame, VokFrame::LenPos); }

inline QByteArray productInfoTemplate(const QString &productKey)
{
    return hex("FFFF0047 02 00 0000") + "00000004000000040000000100000001" + productKey.toLatin1() + hex("000000");
}

inline void writeSettings(const QString &productKey)
{
    QFile::remove(VokFiles::analyzeSettings());
    QSettings settings(VokFiles::analyzeSettings(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QStringList values{"product_key/key", productKey, "Respond/02", hexText(productInfoTemplate(productKey)),
                             "Respond/04", "FF FF 00 05 04 00 00 00 00 ", "Respond/08", "ff ff 00 05 08 00 00 00 00",
                             "Respond/0E", "FF FF 00 05 0E 00 00 00 00", "Defaule/49", "FF FF 00 06 09 00 00 00 02 11",
                             "Defaule/4B", "FF FF 00 05 0B 00 00 00 10", "cmd/02", "产品信息应答", "cmd/0D", "wifi状态",
                             "wifistate/02", "已连接路由器", "connect/03", "已连接云端", "setmode/02", "配网模式"};
    for (int i = 0; i + 1 < values.size(); i += 2)
        settings.setValue(values[i], values[i + 1]);
}

// A datapoint; min/max give it a uint range.
inline QJsonObject attr(const QString &name, const QString &dataType, const QString &type, const QString &unit,
                        int len, int byteOffset, int bitOffset = 0, double min = -1, double max = -1)
{
    QJsonObject point{{"display_name", name}, {"data_type", dataType}, {"type", type}, {"position", QJsonObject{
                          {"unit", unit}, {"len", len}, {"byte_offset", byteOffset}, {"bit_offset", bitOffset}}}};
    if (max >= 0)
        point.insert("uint_spec", QJsonObject{{"min", min}, {"max", max}});
    return point;
}

inline bool writeDefinition(const QString &key, const QJsonArray &attrs)
{
    const QJsonObject entity{{"attrs", attrs}};
    return writeFile(VokFiles::definitionCache(key), QJsonDocument(QJsonObject{{"entities", QJsonArray{entity}}}).toJson());
}

inline const QJsonArray abcDefinition{attr("A", "bool", "status_writable", "bit", 1, 0),
                                      attr("B", "uint8", "status_writable", "byte", 1, 1, 0, 0, 255),
                                      attr("C", "uint16", "status_readonly", "byte", 2, 2, 0, 0, 65535)};

inline QStringList logLines(QWidget *page)
{
    QStringList lines;
    for (auto *list = child<QListWidget>(page, "listWidget"); lines.size() < list->count();)
        lines.append(list->item(lines.size())->text());
    return lines;
}

// Types the device path into the port box and clicks "打开串口".
inline bool openPort(QWidget *page, const QString &path)
{
    child<QComboBox>(page, "com_3")->setEditText(path);
    child<QPushButton>(page, "pushButton_open3")->click();
    return child<QPushButton>(page, "pushButton_open3")->text() == QStringLiteral("关闭串口");
}

} // namespace McuFixture

#endif // TST_MCUWINDOW_FIXTURE_H
