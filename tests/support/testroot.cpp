#include "support/testroot.h"

#include "protocol/vokfiles.h"

#include <QDir>
#include <QFile>

TestRoot::TestRoot()
{
    valid = dir.isValid() && QDir(dir.path()).mkpath("json") && QDir(dir.path()).mkpath("image");
    // Copies keep the source's read-only mode; the tests rewrite them.
    for (const char *copied : {"auto_analyze.ini", "image/background.png"})
        valid = valid && QFile::copy(shipped(copied), filePath(copied))
                && QFile::setPermissions(filePath(copied), QFile::ReadOwner | QFile::WriteOwner);
    VokFiles::setRoot(dir.path());
    // Settings the pages remember per user stay inside the test, unless the
    // test chose a place for them itself.
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", filePath("config").toUtf8());
}

TestRoot::~TestRoot()
{
    VokFiles::setRoot(QString());
}

QString TestRoot::shipped(const QString &relative)
{
    return QStringLiteral(VOK_SHIPPED_FILES "/") + relative;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}
