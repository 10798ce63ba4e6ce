#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// How the fuzz targets read their input: a document (INI or JSON text) up
// to the first NUL byte, then byte strings, each behind a one-byte length.
// Every input means something, so the fuzzer is free to mutate anything.
namespace FuzzInput {

// The text before the first NUL byte (all of it when there is none).
inline QByteArray document(const QByteArray &input)
{
    const int nul = input.indexOf('\0');
    return nul < 0 ? input : input.left(nul);
}

// What follows the first NUL byte.
inline QByteArray rest(const QByteArray &input)
{
    const int nul = input.indexOf('\0');
    return nul < 0 ? QByteArray() : input.mid(nul + 1);
}

// Length-prefixed pieces; the last one keeps whatever bytes are left.
inline QList<QByteArray> pieces(const QByteArray &bytes)
{
    QList<QByteArray> result;
    for (int pos = 0; pos < bytes.size();) {
        const int size = quint8(bytes.at(pos++));
        result.append(bytes.mid(pos, size));
        pos += size;
    }
    return result;
}

// A folder for the files a target writes every run (a settings file saved
// with a product key is synced to disk): on a memory file system where
// there is one, removed when the fuzzer exits.
inline QTemporaryDir *scratchFolder()
{
    static QTemporaryDir *folder = nullptr;
    const QString shm = QStringLiteral("/dev/shm");
    folder = QFileInfo(shm).isWritable() ? new QTemporaryDir(shm + "/vok-fuzz-XXXXXX")
                                         : new QTemporaryDir;
    std::atexit([] { delete folder; });
    return folder;
}

// Writes the input's document to path, replacing what was there; false
// when the file cannot be written.
inline bool writeDocument(const QString &path, const QByteArray &input)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(document(input)) >= 0;
}

// A broken promise of the code under test: stop so that the fuzzer keeps
// the input.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

} // namespace FuzzInput

#endif // FUZZINPUT_H
