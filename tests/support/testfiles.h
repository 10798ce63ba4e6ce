#ifndef TESTFILES_H
#define TESTFILES_H

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

// Whole-file reads and writes for tests. A missing file reads as
// "<missing>", so that it never compares equal to an empty one.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

// The definition cache file of a product key beside the executable.
inline QString cacheFile(const QString &key)
{
    return QCoreApplication::applicationDirPath() + "/json/" + key + ".json";
}

#endif // TESTFILES_H
