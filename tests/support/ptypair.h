#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QString>

// A real pseudo-terminal pair: the code under test opens slavePath() as a
// serial port; the test plays the device on the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    Q_DISABLE_COPY(PtyPair)

    bool isValid() const { return masterFd >= 0; }
    QString slavePath() const { return path; }
    int masterDescriptor() const { return masterFd; }

    // Closes the master side: the device is gone for whoever holds the slave.
    void hangUp();
    // Writes all bytes to the master side.
    bool write(const QByteArray &bytes);
    // Reads what the slave side wrote, waiting up to timeoutMs for the first
    // byte and then while more keeps coming within settleMs.
    QByteArray read(int timeoutMs = 1000, int settleMs = 50);
    // Reads until at least count bytes have come or timeoutMs has passed,
    // processing Qt events meanwhile so the code under test can write.
    QByteArray readAtLeast(int count, int timeoutMs = 3000);

private:
    int masterFd = -1, slaveFd = -1;
    QString path;
};

#endif // PTYPAIR_H
