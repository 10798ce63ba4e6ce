#include "support/referenceframer.h"

void ReferenceFramer::feed(const QByteArray &bytes)
{
    for (char byte : bytes)
        feedByte(quint8(byte));
}

void ReferenceFramer::feedByte(quint8 byte)
{
    if (escapePending && byte == 0x55) {
        escapePending = false;
    } else {
        buffer.append(char(byte));
        escapePending = (byte == 0xFF);
    }
    resynchronise();
    if (buffer.size() == 4 && length() == 0) {
        buffer.remove(0, 1);
        resynchronise();
    }
    if (buffer.size() > 4 && buffer.size() == length() + 4) {
        frames.append(buffer);
        buffer.clear();
        escapePending = false;
    }
}

void ReferenceFramer::resynchronise()
{
    while (!buffer.isEmpty() && quint8(buffer.at(0)) != 0xFF)
        buffer.remove(0, 1);
    if (buffer.isEmpty())
        escapePending = false;
}

int ReferenceFramer::length() const
{
    return (quint8(buffer.at(2)) << 8) | quint8(buffer.at(3));
}
