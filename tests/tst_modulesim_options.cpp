// The module simulator's answers to bad options, definitions and scripts:
// a message naming the fault and the exit status, before the line is used.
#include "support/ptypair.h"

#include <QtTest>

namespace {
QString simProgram()
{
    return QCoreApplication::applicationDirPath() + "/vok-module-sim";
}
} // namespace

class TestModuleSimOptions : public QObject
{
    Q_OBJECT
private slots:
    void badInputIsRefused_data();
    void badInputIsRefused();
    void pipedInputStopsAtABadLine();

private:
    QTemporaryDir dir;
};

void TestModuleSimOptions::badInputIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("script"); // written to script.txt when not empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QVERIFY(dir.isValid());
    const QString definition = QCoreApplication::applicationDirPath()
                               + "/datapoints/5f0c2e7d9b1a4c83a6e2d4f7b8c90e15.json";
    const QString notJson = dir.filePath("broken.json");
    QFile broken(notJson);
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("{\"entities\": [") > 0);
    // The line could not be opened: every input fault must be found first.
    const QStringList noPort{"--port", "/nonexistent/tty"};

    QTest::newRow("no line") << QStringList() << QByteArray() << 2 << "exactly one of --port";
    QTest::newRow("unknown option") << QStringList{"--pty", "--speed", "9"} << QByteArray() << 2
                                    << "Unknown option 'speed'";
    QTest::newRow("timeout") << noPort + QStringList{"--timeout", "-5"} << QByteArray() << 2
                             << "--timeout '-5' is not a positive number";
    QTest::newRow("parity") << noPort + QStringList{"--parity", "mark"} << QByteArray() << 2
                            << "--parity 'mark' is not one of none, odd, even, space";
    QTest::newRow("demo and script") << noPort + QStringList{"--demo"} << QByteArray("info\n")
                                     << 2 << "--demo and --script cannot be used together";
    QTest::newRow("definition not JSON") << noPort + QStringList{"--definition", notJson}
                                         << QByteArray() << 2 << "is not valid JSON";
    QTest::newRow("missing script")
        << noPort + QStringList{"--script", dir.filePath("none.txt")} << QByteArray() << 2
        << "cannot read the script";

    const QStringList withDefinition = noPort + QStringList{"--definition", definition};
    QTest::newRow("unknown command") << noPort << QByteArray("info\n# fine so far\nfly away\n")
                                     << 2 << "script.txt:3: unknown command 'fly'";
    QTest::newRow("control without definition")
        << noPort << QByteArray("control 开关=1\n") << 2
        << "script.txt:1: control needs a product definition";
    QTest::newRow("read-only datapoint") << withDefinition << QByteArray("control 缺水=1\n") << 2
                                         << "'缺水' is not writable (status_readonly)";
    QTest::newRow("value out of range") << withDefinition
                                        << QByteArray("control 目标湿度=256\n") << 2
                                        << "目标湿度: '256' is not a value from 0 to 255";
    QTest::newRow("raw odd digits") << noPort << QByteArray("raw FFF\n") << 2
                                    << "raw needs hexadecimal bytes";
    QTest::newRow("payload too long")
        << noPort << "control-hex " + QByteArray(0xFFFF - 5, '\0').toHex() + "\n" << 2
        << "a payload of 65531 bytes does not fit a frame (at most 65530)";

    QTest::newRow("port cannot be opened") << noPort << QByteArray("info\n") << 3
                                           << "cannot open the port /nonexistent/tty";
}

void TestModuleSimOptions::badInputIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, script);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    if (!script.isEmpty()) {
        QFile file(dir.filePath("script.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(script), qint64(script.size()));
        arguments << "--script" << file.fileName();
    }
    QProcess sim;
    sim.start(simProgram(), arguments);
    QVERIFY(sim.waitForFinished(60000));
    const QString errors = QString::fromUtf8(sim.readAllStandardError());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QVERIFY2(errors.startsWith("vok-module-sim: ") && errors.contains(message), qPrintable(errors));
    QCOMPARE(sim.exitCode(), exitCode);
}

void TestModuleSimOptions::pipedInputStopsAtABadLine()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QProcess sim;
    sim.start(simProgram(), {"--port", pty.slavePath()});
    QVERIFY(sim.waitForStarted(60000));
    sim.write("heartbeat\n\nbogus 1\nheartbeat\n");
    sim.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(sim.state() == QProcess::NotRunning, 60000);
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(QString::fromUtf8(sim.readAllStandardError()).contains("stdin:3: unknown command 'bogus'"));
    // What came before the bad line was sent; nothing after it.
    QCOMPARE(pty.read(1000).toHex(' '), QByteArray::fromHex("FFFF 0005 07 01 0000 0D").toHex(' '));
}

QTEST_GUILESS_MAIN(TestModuleSimOptions)
#include "tst_modulesim_options.moc"
