#include "protocol/voktool.h"

#include "protocol/frame.h"

VokTool::VokTool() : QObject(nullptr) {}

uint VokTool::getUint16(const QByteArray &frame, int pos) const
{
    return VokFrame::getUint16(frame, pos);
}

quint8 VokTool::checksum(const QByteArray &data, int start, int tail) const
{
    return VokFrame::checksum(data, start, tail);
}

QByteArray VokTool::toHexString(QByteArray &data) const
{
    data = VokFrame::toHexString(data);
    return data;
}
