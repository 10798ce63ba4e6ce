#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QTemporaryDir> // and with it QDir, QFileInfo and QFile

#include <cstdio>
#include <cstdlib>

// How the fuzz targets read their input: a document (INI or JSON text) up
// to the first NUL byte, then byte strings, each behind a one-byte length.
// Every input means something, so the fuzzer is free to mutate anything.
namespace FuzzInput {

// Length-prefixed pieces; the last one keeps whatever bytes are left.
inline QList<QByteArray> pieces(const QByteArray &bytes)
{
    QList<QByteArray> result;
    for (int pos = 0; pos < bytes.size(); pos += quint8(bytes.at(pos)) + 1)
        result.append(bytes.mid(pos + 1, quint8(bytes.at(pos))));
    return result;
}

// Writes the document (the text before the first NUL byte, all of it when
// there is none) to a fresh file name in a scratch folder, as QSettings keeps
// files it has read by name, and gives the pieces after it. The folder is on
// a memory file system where there is one and goes when the fuzzer exits;
// the previous run's file goes now. Empty when nothing could be written.
inline QString writeDocument(const uint8_t *data, size_t size, const char *suffix, QList<QByteArray> *after)
{
    [[maybe_unused]] static const auto quiet =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static const QTemporaryDir folder(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/vok-fuzz-XXXXXX" : QString());
    static int runs = 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const int nul = input.indexOf('\0');
    *after = nul < 0 ? QList<QByteArray>() : pieces(input.mid(nul + 1));
    QFile::remove(folder.filePath(QString::number(runs - 1) + suffix));
    QFile file(folder.filePath(QString::number(runs++) + suffix));
    return file.open(QIODevice::WriteOnly) && file.write(nul < 0 ? input : input.left(nul)) >= 0 ? file.fileName() : QString();
}

// A broken promise of the code under test: stop so that the fuzzer keeps
// the input.
inline void require(bool holds, const char *what)
{
    if (!holds)
        std::fprintf(stderr, "fuzz check failed: %s\n", what), std::abort();
}

} // namespace FuzzInput

#endif // FUZZINPUT_H
