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
    void helpListsTheCommands();

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
    const auto writeFile = [this](const QString &name, const QByteArray &content) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
                   ? file.fileName()
                   : QString();
    };
    const QString notJson = writeFile("broken.json", "{\"entities\": [");
    const QString empty = writeFile("empty.json", "{}");
    // The line could not be opened: every input fault must be found first.
    const QStringList noPort{"--port", "/nonexistent/tty"};

    QTest::newRow("no line") << QStringList() << QByteArray() << 2 << "exactly one of --port";
    QTest::newRow("two lines") << QStringList{"--pty", "--port", "x"} << QByteArray() << 2
                               << "exactly one of --port";
    QTest::newRow("unknown option") << QStringList{"--pty", "--speed", "9"} << QByteArray() << 2
                                    << "Unknown option 'speed'";
    QTest::newRow("stray argument") << QStringList{"--pty", "extra"} << QByteArray() << 2
                                    << "unexpected argument 'extra'";
    QTest::newRow("baud") << noPort + QStringList{"--baud", "fast"} << QByteArray() << 2
                          << "--baud 'fast' is not a positive number";
    QTest::newRow("data bits") << noPort + QStringList{"--data-bits", "9"} << QByteArray() << 2
                               << "--data-bits '9' is not one of 5, 6, 7, 8";
    QTest::newRow("parity") << noPort + QStringList{"--parity", "mark"} << QByteArray() << 2
                            << "--parity 'mark' is not one of none, odd, even, space";
    QTest::newRow("timeout") << noPort + QStringList{"--timeout", "-5"} << QByteArray() << 2
                             << "--timeout '-5' is not a positive number";
    QTest::newRow("demo and script") << noPort + QStringList{"--demo"} << QByteArray("info\n")
                                     << 2 << "--demo and --script cannot be used together";
    QTest::newRow("missing definition")
        << noPort + QStringList{"--definition", dir.filePath("none.json")} << QByteArray() << 2
        << "cannot read the definition";
    QTest::newRow("definition not JSON") << noPort + QStringList{"--definition", notJson}
                                         << QByteArray() << 2 << "is not valid JSON";
    QTest::newRow("definition without datapoints")
        << noPort + QStringList{"--definition", empty} << QByteArray() << 2
        << "defines no datapoints";
    QTest::newRow("missing script")
        << noPort + QStringList{"--script", dir.filePath("none.txt")} << QByteArray() << 2
        << "cannot read the script";

    const QStringList withDefinition = noPort + QStringList{"--definition", definition};
    QTest::newRow("unknown command") << noPort << QByteArray("info\n# fine so far\nfly away\n")
                                     << 2 << "script.txt:3: unknown command 'fly'";
    QTest::newRow("control without definition")
        << noPort << QByteArray("control 开关=1\n") << 2
        << "script.txt:1: control needs a product definition";
    QTest::newRow("unknown datapoint") << withDefinition << QByteArray("control 音量=3\n") << 2
                                       << "the definition has no datapoint named '音量'";
    QTest::newRow("read-only datapoint") << withDefinition << QByteArray("control 缺水=1\n") << 2
                                         << "'缺水' is not writable (status_readonly)";
    QTest::newRow("value out of range") << withDefinition
                                        << QByteArray("control 目标湿度=256\n") << 2
                                        << "目标湿度: '256' is not a value from 0 to 255";
    QTest::newRow("unknown enum text") << withDefinition << QByteArray("control 风速=最高\n") << 2
                                       << "风速: '最高' is not a value from 0 to 2";
    QTest::newRow("binary too long") << withDefinition
                                     << QByteArray("control 灯光颜色=0102030405\n") << 2
                                     << "is not hexadecimal of at most 3 bytes";
    QTest::newRow("datapoint twice") << withDefinition
                                     << QByteArray("control 开关=1 开关=0\n") << 2
                                     << "'开关' is given twice";
    QTest::newRow("wifi state") << noPort << QByteArray("wifi 16 0\n") << 2
                                << "each 0 to 15";
    QTest::newRow("raw not hex") << noPort << QByteArray("raw FF FG\n") << 2
                                 << "raw needs hexadecimal bytes";
    QTest::newRow("raw odd digits") << noPort << QByteArray("raw FFF\n") << 2
                                    << "raw needs hexadecimal bytes";
    QTest::newRow("payload too long")
        << noPort << "control-hex " + QByteArray(0xFFFF - 5, '\0').toHex() + "\n" << 2
        << "a payload of 65531 bytes does not fit a frame (at most 65530)";
    QTest::newRow("expect code") << noPort << QByteArray("expect 1FF\n") << 2
                                 << "expect needs a command code";
    QTest::newRow("wait") << noPort << QByteArray("wait soon\n") << 2
                          << "wait needs one number of milliseconds";
    QTest::newRow("info with arguments") << noPort << QByteArray("info now\n") << 2
                                         << "info takes no arguments";

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

void TestModuleSimOptions::helpListsTheCommands()
{
    QProcess sim;
    sim.start(simProgram(), {"--help"});
    QVERIFY(sim.waitForFinished(60000));
    QCOMPARE(sim.exitCode(), 0);
    const QString help = QString::fromUtf8(sim.readAllStandardOutput());
    for (const char *word : {"--pty", "--check", "control-hex HEX", "expect CMD [MS]", "Exit status"})
        QVERIFY2(help.contains(word), word);
}

QTEST_GUILESS_MAIN(TestModuleSimOptions)
#include "tst_modulesim_options.moc"
