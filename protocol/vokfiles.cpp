#include "protocol/vokfiles.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString chosenRoot;

// Beside the executable when it runs from a build or a portable folder (a
// settings file there marks it, and such a folder keeps its own files even
// when the program is also installed); else share/vok-serial-tool/ of the
// installation it is in.
QString defaultRoot()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    if (programDir.exists(QStringLiteral("auto_analyze.ini")))
        return programDir.path();
    const QDir installed(programDir.filePath(QStringLiteral("../share/vok-serial-tool")));
    return installed.exists() ? installed.canonicalPath() : programDir.path();
}
} // namespace

QString VokFiles::root()
{
    return chosenRoot.isEmpty() ? defaultRoot() : chosenRoot;
}

void VokFiles::setRoot(const QString &folder)
{
    chosenRoot = folder;
}

QString VokFiles::analyzeSettings()
{
    return root() + QStringLiteral("/auto_analyze.ini");
}

QString VokFiles::definitionCache(const QString &productKey)
{
    // A key is a file name inside json/, never a way out of it.
    if (productKey.contains(QLatin1Char('/')) || productKey.contains(QLatin1Char('\\'))
        || productKey.contains(QChar(0)))
        return QString();
    return root() + QStringLiteral("/json/") + productKey + QStringLiteral(".json");
}

QString VokFiles::backgroundImage()
{
    return root() + QStringLiteral("/image/background.png");
}
