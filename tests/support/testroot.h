#ifndef TESTROOT_H
#define TESTROOT_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A test's own copy of the program's files: a temporary folder holding the
// shipped auto_analyze.ini, image/ and an empty json/, made VokFiles' root
// while the object lives. Tests then never touch the files beside the
// executables and can run side by side.
class TestRoot
{
public:
    TestRoot();
    ~TestRoot();
    TestRoot(const TestRoot &) = delete;
    TestRoot &operator=(const TestRoot &) = delete;

    // False when the folder could not be made or seeded.
    bool isValid() const { return valid; }
    QString filePath(const QString &relative) const { return dir.filePath(relative); }

    // A file of install/ in the source tree, as shipped.
    static QString shipped(const QString &relative);

private:
    QTemporaryDir dir;
    bool valid = false;
};

// Whole-file reads and writes. A missing file reads as "<missing>", so that
// it never compares equal to an empty one.
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

#endif // TESTROOT_H
