#include "protocol/frame.h"

#include <algorithm>

namespace VokFrame {

bool expectsReply(quint8 cmd)
{
    switch (cmd) {
    case Cmd::ProductInfoRequest:
    case Cmd::Control:
    case Cmd::Heartbeat:
    case Cmd::WifiStatus:
    case 0x0F:
    case 0x11:
        return true;
    default:
        return false;
    }
}

uint getUint16(const QByteArray &bytes, int pos)
{
    uint value = 0;
    for (char byte : bytes.mid(pos, 2))
        value = (value << 8) | quint8(byte);
    return value;
}

quint8 checksum(const QByteArray &data, int start, int tail)
{
    const int end = data.size() - tail; // exclusive
    quint8 sum = 0;
    for (int i = std::max(start, 0); i < end; ++i)
        sum += quint8(data.at(i));
    return sum;
}

void stampChecksum(QByteArray &frame)
{
    if (!frame.isEmpty())
        frame[frame.size() - 1] = char(checksum(frame));
}

QByteArray build(quint8 cmd, quint8 sn, const QByteArray &payload)
{
    const int length = payload.size() + LenWithoutPayload;
    QByteArray frame;
    frame.reserve(length + LenEnd);
    frame.append(HeaderByte).append(HeaderByte);
    frame.append(char(length >> 8)).append(char(length & 0xFF));
    frame.append(char(cmd)).append(char(sn)).append(2, '\0');
    frame.append(payload).append('\0');
    stampChecksum(frame);
    return frame;
}

QByteArray escaped(const QByteArray &frame, int from)
{
    const int start = std::clamp(from, 0, int(frame.size()));
    QByteArray wire = frame.left(start);
    wire.reserve(frame.size() + frame.size() / 8);
    for (int i = start; i < frame.size(); ++i) {
        wire.append(frame.at(i));
        if (frame.at(i) == HeaderByte)
            wire.append(EscapeByte);
    }
    return wire;
}

QByteArray toHexString(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QByteArray() : bytes.toHex(' ').toUpper() + ' ';
}

std::optional<quint8> byteAt(const QByteArray &frame, int pos)
{
    if (pos < 0 || pos >= frame.size())
        return std::nullopt;
    return quint8(frame.at(pos));
}

std::optional<uint> len(const QByteArray &frame)
{
    if (frame.size() < LenEnd)
        return std::nullopt;
    return getUint16(frame, LenPos);
}

std::optional<quint8> action(const QByteArray &frame)
{
    if (frame.size() <= MinSize)
        return std::nullopt;
    return quint8(frame.at(ActionPos));
}

bool isStatusFrame(const QByteArray &frame)
{
    const std::optional<quint8> code = cmd(frame);
    const std::optional<quint8> sub = action(frame);
    return sub
        && ((*code == Cmd::ControlReply && *sub == Action::StatusReply)
            || (*code == Cmd::StatusReport && *sub == Action::StatusReport));
}

std::optional<QByteArray> wholeFrame(const QByteArray &bytes)
{
    const auto sizeAgrees = [](const QByteArray &frame) {
        return frame.size() >= MinSize && frame.at(0) == HeaderByte && frame.at(1) == HeaderByte
               && int(getUint16(frame, LenPos)) + LenEnd == frame.size();
    };
    if (sizeAgrees(bytes))
        return bytes;
    QByteArray frame = bytes.left(LenPos);
    for (int i = LenPos; i < bytes.size(); ++i) {
        frame.append(bytes.at(i));
        if (bytes.at(i) == HeaderByte && i + 1 < bytes.size() && bytes.at(i + 1) == EscapeByte)
            ++i;
    }
    if (sizeAgrees(frame))
        return frame;
    return std::nullopt;
}

} // namespace VokFrame
