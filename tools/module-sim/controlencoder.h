#ifndef CONTROLENCODER_H
#define CONTROLENCODER_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class VokJson;
struct json_struct;

// Lays out the payload of a control frame (after the action byte) the way
// the module does: the presence mask, then the writable section of the
// status data with the given values written in.
class ControlEncoder
{
public:
    explicit ControlEncoder(const VokJson &definition) : definition(definition) {}

    // assignments are "NAME=VALUE" texts, NAME a display name. False, with
    // the reason in error, for an unknown or read-only name, a name given
    // twice, or a value that does not fit the datapoint.
    bool encode(const QStringList &assignments, QByteArray *payload, QString *error) const;

    // Presence mask plus writable section: the bytes after the action byte.
    static int payloadSize(const VokJson &definition);

private:
    static int maskSize(const VokJson &definition);
    static int writableBitAreaSize(const QList<json_struct> &points);
    static int writableSectionSize(const VokJson &definition);
    bool parseValue(const json_struct &point, const QString &text, qint64 *number,
                    QByteArray *bytes, QString *error) const;

    const VokJson &definition;
};

#endif // CONTROLENCODER_H
