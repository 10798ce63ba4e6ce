#ifndef CONTROLTEXT_H
#define CONTROLTEXT_H

#include "datapoint/vokjson.h"

#include <QList>
#include <QString>
#include <QStringList>

// The NAME=VALUE texts of a control command as typed values for the
// definition's control encoder: NAME a display name, VALUE a number (decimal
// or 0x..), true/false for a bool, an enum text, or hex bytes for binary.
class ControlText
{
public:
    // False, with the reason in error, for a text that is not NAME=VALUE, an
    // unknown name, or a value that is no value of the datapoint's type.
    static bool parse(const VokJson &definition, const QStringList &assignments,
                      QList<VokJson::ControlValue> *values, QString *error);
    // The parsed values laid out as a control payload (after the action byte).
    static bool encode(const VokJson &definition, const QStringList &assignments,
                       QByteArray *payload, QString *error);
};

#endif // CONTROLTEXT_H
