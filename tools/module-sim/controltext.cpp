#include "controltext.h"

#include "moduleprotocol.h"

#include "protocol/hexinput.h"

namespace {
bool parseValue(const json_struct &point, const QString &text, VokJson::ControlValue *value)
{
    if (point.isBinary()) {
        const HexInput::Result parsed = HexInput::parse(text);
        value->bytes = parsed.bytes;
        return parsed.ok();
    }
    if (point.isBool() && (text == "true" || text == "false")) {
        value->number = text == "true";
        return true;
    }
    if (point.isEnum() && point.enum_values.contains(text)) {
        value->number = point.enum_values.indexOf(text);
        return true;
    }
    return ModuleProtocol::parseNumber(text, &value->number);
}
} // namespace

bool ControlText::parse(const VokJson &definition, const QStringList &assignments,
                        QList<VokJson::ControlValue> *values, QString *error)
{
    for (const QString &assignment : assignments) {
        const int equals = assignment.lastIndexOf('=');
        if (equals <= 0) {
            *error = QString("'%1' is not NAME=VALUE").arg(assignment);
            return false;
        }
        VokJson::ControlValue value;
        value.displayName = assignment.left(equals);
        const json_struct *point = definition.findDataPoint(value.displayName);
        if (!point) {
            *error = QString("the definition has no datapoint named '%1'").arg(value.displayName);
            return false;
        }
        const QString text = assignment.mid(equals + 1);
        if (!parseValue(*point, text, &value)) {
            *error = QString("%1: '%2' is not %3")
                         .arg(value.displayName, text,
                              point->isBinary() ? "hexadecimal bytes" : "a value of the datapoint");
            return false;
        }
        values->append(value);
    }
    return true;
}

bool ControlText::encode(const VokJson &definition, const QStringList &assignments,
                         QByteArray *payload, QString *error)
{
    QList<VokJson::ControlValue> values;
    return parse(definition, assignments, &values, error)
           && definition.encodeControl(values, payload, error);
}
