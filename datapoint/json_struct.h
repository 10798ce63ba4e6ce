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
};

Q_DECLARE_METATYPE(json_struct)

#endif // JSON_STRUCT_H
