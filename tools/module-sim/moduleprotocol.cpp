#include "moduleprotocol.h"

#include "protocol/frame.h"

using namespace VokFrame;

bool ModuleProtocol::isMcuRequest(quint8 cmd)
{
    return cmd == Cmd::StatusReport || cmd == Cmd::SetMode || cmd == Cmd::Init;
}

bool ModuleProtocol::isMcuCommand(quint8 cmd)
{
    return isMcuRequest(cmd) || (cmd > 0 && expectsReply(quint8(cmd - 1)));
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
    if (frame.size() < MinSize)
        return "too short to be a frame";
    const quint8 code = *cmd(frame);
    const std::optional<quint8> sub = action(frame);
    switch (code) {
    case Cmd::ProductInfoRequest:
        return "product information request";
    case Cmd::ProductInfo:
        return "product information";
    case Cmd::Control:
        if (sub == Action::Control)
            return "control";
        if (sub == Action::StatusRead)
            return "status read";
        return "control, unknown action";
    case Cmd::ControlReply:
        return isStatusFrame(frame) ? "status reply" : "acknowledgement";
    case Cmd::StatusReport:
        return "status report";
    case Cmd::Heartbeat:
        return "heartbeat";
    case Cmd::HeartbeatReply:
        return "heartbeat reply";
    case Cmd::SetMode:
        return sub ? "set mode " + hex(*sub) : "set mode";
    case Cmd::Init:
        return "module initialisation";
    case Cmd::WifiStatus:
        return "Wi-Fi status";
    case Cmd::WifiStatusReply:
        return "Wi-Fi status reply";
    case 0x06:
    case 0x0A:
    case 0x0C:
        return "acknowledgement";
    default:
        return "command " + hex(code);
    }
}
