#include "framedescriber.h"

#include "moduleprotocol.h"

#include "datapoint/vokjson.h"
#include "protocol/frame.h"

#include <QStringList>

using P = ModuleProtocol;
using namespace VokFrame;

QString FrameDescriber::describe(const QByteArray &frame) const
{
    QString text = P::commandName(frame);
    if (frame.size() < MinSize)
        return text;
    const quint8 code = *cmd(frame);
    if (code == Cmd::ProductInfo && frame.size() > ProductKeyPos + ProductKeySize) {
        const QByteArray key = frame.mid(ProductKeyPos, ProductKeySize);
        bool printable = true;
        for (char c : key)
            printable = printable && c >= 0x20 && c < 0x7F;
        text += ", product key " + (printable ? QString::fromLatin1(key)
                                              : "(not text) " + QString::fromLatin1(key.toHex()));
    } else if (code == Cmd::WifiStatus && frame.size() > PayloadPos + 2) {
        const quint8 state = quint8(frame.at(PayloadPos + 1));
        text += QString(": router %1, cloud %2").arg(state & 0x0F).arg(state >> 4);
    } else if (code == Cmd::Control && action(frame) == Action::Control) {
        text += values(frame, true);
    } else if (isStatusFrame(frame)) {
        text += values(frame, false);
    }
    return text;
}

QString FrameDescriber::values(const QByteArray &frame, bool control) const
{
    if (!definition)
        return QString();
    // Only frames of the size the definition gives are decoded.
    // Action and checksum around the control payload or the status data.
    const qint64 expectedSize = ActionPos + 2
                                + (control ? definition->controlPayloadSize()
                                           : definition->statusDataSize());
    if (frame.size() != expectedSize)
        return QString(": %1 bytes, the definition lays out %2").arg(frame.size()).arg(expectedSize);
    const QMap<QString, QString> decoded =
        control ? definition->decodeControl(frame) : definition->decodeStatus(frame);
    // In definition order, each display name once.
    QStringList parts;
    QStringList shown;
    for (const json_struct &point : definition->dataPoints()) {
        if (decoded.contains(point.display_name) && !shown.contains(point.display_name)) {
            parts << point.display_name + '=' + decoded.value(point.display_name);
            shown << point.display_name;
        }
    }
    return parts.isEmpty() ? QString() : ": " + parts.join(", ");
}
