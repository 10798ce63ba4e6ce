#include "app/shippeddata.h"

#include <QCoreApplication>
#include <QDir>

QString ShippedData::folder()
{
    // A settings file beside the program marks a portable folder, which
    // keeps its own files even when the program is also installed.
    const QDir programDir(QCoreApplication::applicationDirPath());
    if (programDir.exists(QStringLiteral("auto_analyze.ini")))
        return programDir.path();
    const QDir installed(programDir.filePath(QStringLiteral("../share/vok-serial-tool")));
    return installed.exists() ? installed.canonicalPath() : programDir.path();
}
