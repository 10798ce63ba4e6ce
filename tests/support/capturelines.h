#ifndef CAPTURELINES_H
#define CAPTURELINES_H

#include "support/testroot.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

// The lines of capture files with the date and time of each record
// replaced by "T", so that they compare with fixed expectations.
inline QStringList maskedCaptureLines(const QString &path)
{
    static const QRegularExpression time("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ");
    return QString::fromUtf8(readFile(path)).split('\n').replaceInStrings(time, "T ");
}

// The capture files of a folder, oldest name first.
inline QStringList captureFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name).replaceInStrings(QRegularExpression("^"), folder + '/');
}

#endif // CAPTURELINES_H
