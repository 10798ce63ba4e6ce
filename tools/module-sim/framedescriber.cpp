#include "framedescriber.h"

#include "controlencoder.h"
#include "moduleprotocol.h"

#include "datapoint/vokjson.h"

#include <QStringList>

using P = ModuleProtocol;

QString FrameDescriber::describe(const QByteArray &frame) const
{
    QString text = P::commandName(frame);
    if (frame.size() < P::kMinFrame)
        return text;
    const quint8 cmd = P::byteAt(frame, P::kCmd);
    if (cmd == P::kProductInfoReply
        && frame.size() > P::kProductKeyOffset + P::kProductKeySize) {
        const QByteArray key = frame.mid(P::kProductKeyOffset, P::kProductKeySize);
        bool printable = true;
        for (char c : key)
            printable = printable && c >= 0x20 && c < 0x7F;
        text += ", product key " + (printable ? QString::fromLatin1(key)
                                              : "(not text) " + QString::fromLatin1(key.toHex()));
    } else if (cmd == P::kWifiStatus && frame.size() > P::kAction + 2) {
        const quint8 state = P::byteAt(frame, P::kAction + 1);
        text += QString(": router %1, cloud %2").arg(state & 0x0F).arg(state >> 4);
    } else if (cmd == P::kControl && frame.size() > P::kMinFrame
               && P::byteAt(frame, P::kAction) == P::kActionControl) {
        text += values(frame, true);
    } else if (P::isStatusFrame(frame)) {
        text += values(frame, false);
    }
    return text;
}

QString FrameDescriber::values(const QByteArray &frame, bool control) const
{
    if (!definition)
        return QString();
    // Only frames of the size the definition gives are decoded.
    const int expectedSize = control ? P::kAction + 1 + ControlEncoder::payloadSize(*definition) + 1
                                     : definition->statusTemplate().size();
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
