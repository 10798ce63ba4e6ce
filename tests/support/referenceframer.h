#ifndef REFERENCEFRAMER_H
#define REFERENCEFRAMER_H

#include <QByteArray>
#include <QList>

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

    void feed(const QByteArray &bytes);

private:
    void feedByte(quint8 byte);
    void resynchronise();
    int length() const;

    QByteArray buffer;
    bool escapePending = false;
};

#endif // REFERENCEFRAMER_H
