#ifndef REFERENCEFRAMER_H
#define REFERENCEFRAMER_H

#include <QByteArray>
#include <QList>

#include <utility>

// The splitting rules applied literally, one byte at a time:
// append (a 0x55 right after an FF still waiting for its escape byte is that
// escape and is dropped, exactly once), drop bytes until the buffer starts
// with FF, give up a header whose len is 0 and look for the next FF in what
// is held, and emit when the buffer holds len + 4 bytes. The splitter's
// tests and fuzz target compare it with this.
class ReferenceFramer
{
public:
    QList<QByteArray> frames;

    void feed(const QByteArray &bytes)
    {
        for (char byte : bytes) {
            if (std::exchange(escapePending, byte == char(0xFF)) && byte == char(0x55))
                continue;
            buffer.append(byte);
            // Resynchronise: drop bytes up to the next FF, and give up a
            // header of len 0 for the next FF after its first byte.
            while (!buffer.isEmpty() && (buffer.at(0) != char(0xFF) || (buffer.size() == 4 && length() == 0)))
                buffer.remove(0, 1);
            if (buffer.size() > 4 && buffer.size() == length() + 4)
                frames.append(std::exchange(buffer, QByteArray()));
        }
    }

private:
    int length() const { return (quint8(buffer.at(2)) << 8) | quint8(buffer.at(3)); }

    QByteArray buffer;
    bool escapePending = false;
};

#endif // REFERENCEFRAMER_H
