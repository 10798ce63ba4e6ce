#include "moduleprotocol.h"

#include <cctype>

bool ModuleProtocol::expectsReply(quint8 cmd)
{
    switch (cmd) {
    case kProductInfoRequest:
    case kControl:
    case kHeartbeat:
    case kWifiStatus:
    case 0x0F:
    case 0x11:
        return true;
    default:
        return false;
    }
}

bool ModuleProtocol::isMcuRequest(quint8 cmd)
{
    return cmd == kStatusReport || cmd == kSetMode || cmd == kInit;
}

bool ModuleProtocol::isMcuCommand(quint8 cmd)
{
    return isMcuRequest(cmd) || (cmd > 0 && expectsReply(quint8(cmd - 1)));
}

bool ModuleProtocol::isStatusFrame(const QByteArray &frame)
{
    if (frame.size() <= kAction + 1)
        return false;
    const quint8 cmd = byteAt(frame, kCmd);
    const quint8 action = byteAt(frame, kAction);
    return (cmd == kControlReply && action == kActionStatusReply)
        || (cmd == kStatusReport && action == kActionStatusReport);
}

bool ModuleProtocol::parseHex(const QString &text, QByteArray *bytes)
{
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (c.unicode() > 0x7F || !isxdigit(c.unicode()))
            return false;
        digits.append(char(c.unicode()));
    }
    if (digits.size() % 2 != 0)
        return false;
    *bytes = QByteArray::fromHex(digits);
    return true;
}

bool ModuleProtocol::parseNumber(const QString &text, qint64 *value)
{
    bool ok = false;
    if (text.startsWith("0x", Qt::CaseInsensitive))
        *value = text.mid(2).toLongLong(&ok, 16);
    else
        *value = text.toLongLong(&ok, 10);
    return ok;
}

QString ModuleProtocol::commandName(const QByteArray &frame)
{
    if (frame.size() < kMinFrame)
        return "too short to be a frame";
    const quint8 cmd = byteAt(frame, kCmd);
    const bool hasAction = frame.size() > kMinFrame;
    const quint8 action = hasAction ? byteAt(frame, kAction) : 0;
    switch (cmd) {
    case kProductInfoRequest:
        return "product information request";
    case kProductInfoReply:
        return "product information";
    case kControl:
        if (hasAction && action == kActionControl)
            return "control";
        if (hasAction && action == kActionRead)
            return "status read";
        return "control, unknown action";
    case kControlReply:
        return isStatusFrame(frame) ? "status reply" : "acknowledgement";
    case kStatusReport:
        return "status report";
    case kHeartbeat:
        return "heartbeat";
    case 0x08:
        return "heartbeat reply";
    case kSetMode:
        return hasAction ? "set mode " + hex(action) : "set mode";
    case kInit:
        return "module initialisation";
    case kWifiStatus:
        return "Wi-Fi status";
    case 0x0E:
        return "Wi-Fi status reply";
    case 0x06:
    case 0x0A:
    case 0x0C:
        return "acknowledgement";
    default:
        return "command " + hex(cmd);
    }
}
