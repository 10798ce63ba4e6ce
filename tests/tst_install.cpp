// The build installed into a temporary prefix: the programs run from its bin/,
// and the tool finds the files shipped under share/ and writes to a per-user
// folder (a temporary XDG_DATA_HOME), unless a settings file lies beside it.
#include "support/framestream.h"
#include "support/ptypair.h"
#include "support/testroot.h"

#include <QtTest>

class TestInstall : public QObject
{
    Q_OBJECT

    QString program(const QString &name) const { return prefix.filePath("bin/" + name); }

    QTemporaryDir prefix, home;

private slots:
    void initTestCase()
    {
        // The programs started below inherit these; the user's own files stay untouched.
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        QProcess install;
        install.start("cmake", {"--install", QCoreApplication::applicationDirPath() + "/..", "--prefix", prefix.path()});
        QVERIFY(install.waitForFinished(120000) && install.exitCode() == 0);
    }

    void commandLine()
    {
        // Printing help or the version needs no display.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(variable);
        for (const QString name : {"vok-serial-tool", "vok-module-sim", "vok-datapoint-service"}) {
            for (const QString option : {"--version", "--help"}) {
                QProcess process;
                process.setProcessEnvironment(environment);
                process.start(program(name), {option});
                QVERIFY(process.waitForFinished(30000));
                const QString output = process.readAllStandardOutput();
                QVERIFY2(output.contains(option == "--help" ? "-v, --version" : name + " " VOK_VERSION "\n"),
                         qPrintable(name + ": " + output));
            }
        }
    }

    // A saved product key goes into the settings where the program keeps its
    // writable files, and the reply templates the tool answers with come from
    // there; the shipped settings never change.
    void savedKeyAnswersFromTheDataFolder_data()
    {
        QTest::addColumn<bool>("portable");
        QTest::newRow("installed: per-user folder") << false;
        QTest::newRow("portable: beside the program") << true;
    }
    void savedKeyAnswersFromTheDataFolder()
    {
        QFETCH(bool, portable);
        const QString shipped = prefix.filePath("share/vok-serial-tool/auto_analyze.ini");
        const QString userData = home.filePath("data/vok/vok-serial-tool/");
        const QByteArray shippedBytes = readFile(shipped);
        QDir(home.filePath("data")).removeRecursively();
        QVERIFY(!portable || writeFile(program("auto_analyze.ini"), shippedBytes));

        const QByteArray key = "0123456789abcdef0123456789abcdef";
        PtyPair pty;
        QProcess tool;
        tool.start(program("vok-serial-tool"), {"--product-key", key, "--port", pty.slavePath(), "--open"});
        // The product information request is repeated until the tool has opened the port.
        QByteArray received;
        for (int attempt = 0; attempt < 150 && !received.contains(key); ++attempt) {
            QVERIFY(pty.write(FrameStream::frame(0x01, 0x07, {})));
            received += pty.read(200);
        }
        tool.kill();
        tool.waitForFinished();
        QVERIFY2(received.contains(key), received.toHex(' ').constData());
        QCOMPARE(QFile::remove(program("auto_analyze.ini")), portable);
        QCOMPARE(QFile::exists(userData + "auto_analyze.ini"), !portable);
        QCOMPARE(QFileInfo(userData + "json").isDir(), !portable); // the definition cache
        QCOMPARE(readFile(shipped), shippedBytes);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
