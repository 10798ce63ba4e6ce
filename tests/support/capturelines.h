#ifndef CAPTURELINES_H
#define CAPTURELINES_H

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

// The lines of capture files with the date and time of each record
// replaced by "T", so that they compare with fixed expectations.
inline QStringList maskedCaptureLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"<missing " + path + ">"};
    static const QRegularExpression time("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    for (QString &line : lines)
        line.replace(time, "T ");
    return lines;
}

// The capture files of a folder, oldest name first.
inline QStringList captureFiles(const QString &folder)
{
    QStringList paths;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        paths << folder + '/' + name;
    return paths;
}

#endif // CAPTURELINES_H
