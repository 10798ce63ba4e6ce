#ifndef JSON_STRUCT_H
#define JSON_STRUCT_H

#include <QList>
#include <QMetaType>
#include <QString>

// One datapoint of a product's definition document; the field names are the
// document's key names.
struct json_struct
{
    QString display_name;
    QString name;
    QString data_type;
    QString unit;
    int len = 0;
    int byte_offset = 0;
    int bit_offset = 0;
    QString type;
    int id = 0;
    QString desc;
    QList<QString> enum_values;
    qint64 min = 0;
    qint64 max = 0;

    // The section of the status data it belongs to, by type.
    enum class Section { Writable, ReadOnly, Alert, Fault, None };
    Section section() const
    {
        if (type == QLatin1String("status_writable"))
            return Section::Writable;
        if (type == QLatin1String("status_readonly"))
            return Section::ReadOnly;
        if (type == QLatin1String("alert"))
            return Section::Alert;
        if (type == QLatin1String("fault"))
            return Section::Fault;
        return Section::None;
    }
    // The module may set it with a control frame.
    bool isWritable() const { return section() == Section::Writable; }
    // Only reported to the module: read-only, alert and fault datapoints.
    bool isReportOnly() const
    {
        return section() != Section::Writable && section() != Section::None;
    }
    // len counts bits in its section's bit area, not bytes.
    bool isBitField() const { return unit == QLatin1String("bit"); }

    bool isBool() const { return data_type == QLatin1String("bool"); }
    bool isEnum() const { return data_type == QLatin1String("enum"); }
    bool isBinary() const { return data_type == QLatin1String("binary"); }
    // Bytes of a number of this data type (uint8, uint16, uint32), whatever
    // len says; 0 for every other type.
    int uintBytes() const
    {
        if (data_type == QLatin1String("uint8"))
            return 1;
        if (data_type == QLatin1String("uint16"))
            return 2;
        if (data_type == QLatin1String("uint32"))
            return 4;
        return 0;
    }
};

Q_DECLARE_METATYPE(json_struct)

#endif // JSON_STRUCT_H
