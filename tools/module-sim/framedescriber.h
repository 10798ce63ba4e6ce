#ifndef FRAMEDESCRIBER_H
#define FRAMEDESCRIBER_H

#include <QByteArray>
#include <QString>

class VokJson;

// The short decoding printed beside every frame: its name and, where the
// frame carries them, the product key, the Wi-Fi states or the datapoint
// values (by display name, when a definition is loaded).
class FrameDescriber
{
public:
    explicit FrameDescriber(const VokJson *definition) : definition(definition) {}

    QString describe(const QByteArray &frame) const;

private:
    QString values(const QByteArray &frame, bool control) const;

    const VokJson *definition; // null without --definition
};

#endif // FRAMEDESCRIBER_H
