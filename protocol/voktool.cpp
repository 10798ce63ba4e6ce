#include "protocol/voktool.h"

#include <algorithm>

VokTool::VokTool() : QObject(nullptr) {}

uint VokTool::getUint16(const QByteArray &frame, int pos) const
{
    uint value = 0;
    for (char byte : frame.mid(pos, 2))
        value = (value << 8) | quint8(byte);
    return value;
}

quint8 VokTool::checksum(const QByteArray &data, int start, int tail) const
{
    const int end = data.size() - tail; // exclusive
    quint8 sum = 0;
    for (int i = std::max(start, 0); i < end; ++i)
        sum += quint8(data.at(i));
    return sum;
}

QByteArray VokTool::toHexString(QByteArray &data) const
{
    if (!data.isEmpty())
        data = data.toHex(' ').toUpper() + ' ';
    return data;
}
