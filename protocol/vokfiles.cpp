#include "protocol/vokfiles.h"

#include <QCoreApplication>

namespace {
QString chosenRoot;
}

QString VokFiles::root()
{
    return chosenRoot.isEmpty() ? QCoreApplication::applicationDirPath() : chosenRoot;
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
