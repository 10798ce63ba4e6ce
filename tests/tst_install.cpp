// The build installed into a temporary prefix: the programs run from its bin/
// and the tool finds the files shipped under share/ and writes to a per-user
// folder (a temporary XDG_DATA_HOME), unless a portable settings file lies
// beside it.
#include "support/framestream.h"
#include "support/ptypair.h"

#include <QtTest>

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void toolAnswersFromShippedSettings_data();
    void toolAnswersFromShippedSettings();
    void savedKeyLandsInDataFolder_data();
    void savedKeyLandsInDataFolder();

private:
    QString program(const QString &name) const { return prefix.filePath("bin/" + name); }

    QString userData(const QString &name) const
    {
        return QDir(home.filePath("data/vok/vok-serial-tool")).filePath(name);
    }
    bool placePortableSettings(const QByteArray &from, const QByteArray &to) const;

    QTemporaryDir prefix;
    QTemporaryDir home;
};

void TestInstall::initTestCase()
{
    QVERIFY(prefix.isValid() && home.isValid());
    // The tools started below inherit these; the user's own files stay untouched.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    install.start("cmake", {"--install", QCoreApplication::applicationDirPath() + "/..",
                            "--prefix", prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QCOMPARE(install.exitCode(), 0);
    QVERIFY(QFile::exists(prefix.filePath("share/vok-serial-tool/auto_analyze.ini")));
    QVERIFY(!QFile::exists(prefix.filePath("bin/auto_analyze.ini")));
}

void TestInstall::commandLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");

    for (const char *name : {"vok-serial-tool", "vok-module-sim", "vok-datapoint-service"}) {
        QTest::addRow("%s version", name) << name << "--version"
                                          << QString("%1 %2\n").arg(name, VOK_VERSION);
        // The help lists every option, --version among them.
        QTest::addRow("%s help", name) << name << "--help" << "-v, --version";
    }
}

void TestInstall::commandLine()
{
    QFETCH(QString, name);
    QFETCH(QString, argument);
    QFETCH(QString, expected);

    // Printing help or the version needs no display.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(variable);
    process.setProcessEnvironment(environment);
    process.start(program(name), {argument});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(output.contains(expected), qPrintable(output));
}

void TestInstall::toolAnswersFromShippedSettings_data()
{
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QByteArray>("productKey");

    QTest::newRow("installed") << false << QByteArray("11223344556677889900112233445566");
    QTest::newRow("portable beside the program")
        << true << QByteArray("AABB3344556677889900AABB33445566");
}

void TestInstall::toolAnswersFromShippedSettings()
{
    QFETCH(bool, portable);
    QFETCH(QByteArray, productKey);

    const QString besideProgram = program("auto_analyze.ini");
    // The product information reply's key holds "AABB" where it held "1122".
    if (portable)
        QVERIFY(placePortableSettings("31 31 32 32 33 33", "41 41 42 42 33 33"));

    PtyPair pty;
    QVERIFY(pty.isValid());
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(program("vok-serial-tool"), {"--port", pty.slavePath(), "--open"});
    QVERIFY(tool.waitForStarted());

    // The request is repeated until the tool, once it has opened the port,
    // answers it from the reply template of the settings file it found.
    const QByteArray request = FrameStream::frame(0x01, 0x07, {});
    QByteArray received;
    for (int attempt = 0; attempt < 150 && !received.contains(productKey); ++attempt) {
        QVERIFY(pty.write(request));
        received += pty.read(200);
    }
    tool.kill();
    tool.waitForFinished();
    QFile::remove(besideProgram);
    QVERIFY2(received.contains(productKey), received.toHex(' ').constData());
}

bool TestInstall::placePortableSettings(const QByteArray &from, const QByteArray &to) const
{
    QFile shipped(prefix.filePath("share/vok-serial-tool/auto_analyze.ini"));
    if (!shipped.open(QIODevice::ReadOnly))
        return false;
    QByteArray settings = shipped.readAll();
    settings.replace(from, to);
    QFile copy(program("auto_analyze.ini"));
    return copy.open(QIODevice::WriteOnly) && copy.write(settings) == settings.size();
}

void TestInstall::savedKeyLandsInDataFolder_data()
{
    QTest::addColumn<bool>("portable");
    QTest::newRow("installed: per-user folder") << false;
    QTest::newRow("portable: beside the program") << true;
}

// Saving a product key rewrites the analysis settings where the program
// keeps its writable files; the shipped defaults never change.
void TestInstall::savedKeyLandsInDataFolder()
{
    QFETCH(bool, portable);

    QDir(home.filePath("data")).removeRecursively();
    if (portable)
        QVERIFY(placePortableSettings("", ""));
    const QString written = portable ? program("auto_analyze.ini") : userData("auto_analyze.ini");
    const QString untouched = portable ? userData("auto_analyze.ini") : program("auto_analyze.ini");
    const QString shippedPath = prefix.filePath("share/vok-serial-tool/auto_analyze.ini");
    const QByteArray shipped = readAll(shippedPath);
    const QByteArray key = "0123456789abcdef0123456789abcdef";

    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(program("vok-serial-tool"), {"--product-key", key});
    QVERIFY(tool.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(readAll(written).contains(key), 30000);
    tool.kill();
    tool.waitForFinished();
    QFile::remove(program("auto_analyze.ini"));

    QVERIFY(!QFile::exists(untouched));
    // The definition cache is made beside the per-user settings.
    if (!portable)
        QVERIFY(QFileInfo(userData("json")).isDir());
    QCOMPARE(readAll(shippedPath), shipped);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
