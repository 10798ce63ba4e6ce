#include "protocol/vokfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString chosenRoot;
const QString settingsName = QStringLiteral("auto_analyze.ini");

QDir programDir()
{
    return QDir(QCoreApplication::applicationDirPath());
}

// A folder that keeps its own files even when the program is also installed.
bool isPortable()
{
    const QFileInfo settings(programDir().filePath(settingsName));
    return settings.isFile() && settings.isWritable();
}

// The per-user data folder, named for the tool whichever program asks (the
// tests and helper programs have other application names).
QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/vok/vok-serial-tool");
}

// Gives a new per-user folder the shipped settings and an empty cache. A
// failure leaves the folder as it is: reading then finds no settings and
// saving reports the failed write.
void seed(const QString &folder)
{
    QDir dir(folder);
    dir.mkpath(QStringLiteral("json"));
    const QString settings = dir.filePath(settingsName);
    if (QFile::exists(settings))
        return;
    if (QFile::copy(QDir(VokFiles::shippedRoot()).filePath(settingsName), settings))
        // A copy keeps the shipped file's read-only mode.
        QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner);
}
} // namespace

QString VokFiles::shippedRoot()
{
    if (!chosenRoot.isEmpty())
        return chosenRoot;
    const QDir program = programDir();
    if (program.exists(settingsName))
        return program.path();
    const QDir installed(program.filePath(QStringLiteral("../share/vok-serial-tool")));
    return installed.exists() ? installed.canonicalPath() : program.path();
}

QString VokFiles::dataRoot()
{
    if (!chosenRoot.isEmpty())
        return chosenRoot;
    if (isPortable())
        return programDir().path();
    const QString folder = userFolder();
    static QString seeded;
    if (seeded != folder) {
        seed(folder);
        seeded = folder;
    }
    return folder;
}

void VokFiles::setRoot(const QString &folder)
{
    chosenRoot = folder;
}

QString VokFiles::analyzeSettings()
{
    return dataRoot() + QLatin1Char('/') + settingsName;
}

QString VokFiles::definitionCache(const QString &productKey)
{
    // A key is a file name inside json/, never a way out of it.
    if (productKey.contains(QLatin1Char('/')) || productKey.contains(QLatin1Char('\\'))
        || productKey.contains(QChar(0)))
        return QString();
    return dataRoot() + QStringLiteral("/json/") + productKey + QStringLiteral(".json");
}

QString VokFiles::backgroundImage()
{
    return shippedRoot() + QStringLiteral("/image/background.png");
}
