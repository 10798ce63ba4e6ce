#include "pages/dual/doublewindow.h"

#include "support/capturelines.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/dualpane.h"
#include "support/widgetlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTextBlock>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

namespace {

const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d:");
const QByteArray initFrame = QByteArray::fromHex("FFFF00050B00000010");
// The preset lines of the two protocol versions.
const QStringList version3 = {
    "00 00 00 03 00 02 03 0b", "00 00 00 03 00 02 03 08", "00 00 00 03 00 02 03 06",
    "00 00 00 03 00 28 03 07 00 20 35 66 30 63 32 65 37 64 39 62 31 61 34 63 38 33 61 36 65 32 "
    "64 34 66 37 62 38 63 39 30 65 31 35 00 02 00 01"};
const QStringList version4 = {
    "FF FF 00 05 0B 00 00 00 10", "FF FF 00 06 09 00 00 00 02 11", "FF FF 00 05 01 00 00 00 06",
    "FF FF 00 47 02 01 00 00 30 30 30 30 30 30 30 34 30 30 30 30 30 30 30 34 30 30 30 30 30 30 "
    "30 31 30 30 30 30 30 30 30 31 35 66 30 63 32 65 37 64 39 62 31 61 34 63 38 33 61 36 65 32 "
    "64 34 66 37 62 38 63 39 30 65 31 35 00 00 77"};

bool matches(const QString &text, const QString &pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch();
}

QStringList warningsSeen;
void recordWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warningsSeen << message;
}

} // namespace

class TestDoubleWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chunkFromThePort_data();
    void chunkFromThePort();
    void chunksAndFlush_data();
    void chunksAndFlush();
    void relayFollowsDoubleMode();
    void sendBoxesWriteExactBytes();
    void presetTexts();
    void presetButtonsWriteExactBytes();
    void openFailureIsReported();
    void portListRefreshKeepsChoice();
    void clearReceiveAndClosePorts();
    void boundedViewKeepsTheNewest();
    void exchangeIsCaptured();
    void unwritableFolderIsReported();
    void lostPortIsClosedAndNoticed();
    void portComesBackAtTheSamePath();
    void textSend_data();
    void textSend();
    void views_data();
    void views();
    void echoOfSentBytes();
    void repeatSend();
    void settingsComeBack();
    void typedBaudRate_data();
    void typedBaudRate();

private:
    static QSettings userSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool"); }
    // A fresh page recording into folder, starting whenever a port opens.
    void recordInto(const QString &folder);
    QTemporaryDir home;
    QString received(int pane) { return child<QTextEdit>(page, "textEdit_rec" + QString::number(pane))->toPlainText(); }
    // Hands a chunk to the pane's receive handler; flush=true then runs the flush tick.
    void feed(int pane, const QByteArray &chunk, bool flush = false);
    void clickButton(const QString &name) { child<QPushButton>(page, name)->click(); }
    template<class T>
    T *widget(const QString &name) { return child<T>(page, name); }
    // The area's text with every time stamp written as "T".
    QString masked(int pane) { return received(pane).replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d:"), "T"); }
    bool openBoth() { return openDualPane(page, 1, pty1->slavePath()) && openDualPane(page, 2, pty2->slavePath()); }

    DoubleWindow *page = nullptr;
    PtyPair *pty1 = nullptr;
    PtyPair *pty2 = nullptr;
};

void TestDoubleWindow::initTestCase()
{
    // The per-user settings and files of this run stay in a folder of its own.
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
}

void TestDoubleWindow::recordInto(const QString &folder)
{
    userSettings().setValue("capture/folder", folder);
    userSettings().setValue("dual/autoRecord", true);
    delete page;
    page = new DoubleWindow;
}

void TestDoubleWindow::init()
{
    userSettings().clear();
    page = new DoubleWindow;
    pty1 = new PtyPair;
    pty2 = new PtyPair;
    QVERIFY(pty1->isValid() && pty2->isValid());
}

void TestDoubleWindow::cleanup()
{
    delete page;
    delete pty1;
    delete pty2;
}

// Driving the handler directly means no flush tick can fall between chunks.
void TestDoubleWindow::feed(int pane, const QByteArray &chunk, bool flush)
{
    const QByteArray n = QByteArray::number(pane);
    if (!chunk.isEmpty())
        QMetaObject::invokeMethod(page, ("com" + n + "OnDataReady").constData(), Q_ARG(QByteArray, chunk));
    if (flush)
        QMetaObject::invokeMethod(page, ("readbuf" + n).constData());
}

void TestDoubleWindow::chunkFromThePort_data()
{
    QTest::addColumn<int>("pane");
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("one frame") << 1 << initFrame << stamp + "FF FF 00 05 0B 00 00 00 10 ";
    QTest::newRow("two frames") << 2 << initFrame + QByteArray::fromHex("FFFF00050100000006")
                                << stamp + "FF FF 00 05 0B 00 00 00 10 \n" + stamp + "FF FF 00 05 01 00 00 00 06 ";
    QTest::newRow("version 3 header") << 1 << QByteArray::fromHex("1234 0000000300020308")
                                      << "12 34 \n" + stamp + "00 00 00 03 00 02 03 08 ";
}

void TestDoubleWindow::chunkFromThePort()
{
    QFETCH(int, pane);
    QFETCH(QByteArray, chunk);
    QFETCH(QString, pattern);
    PtyPair *pty = pane == 1 ? pty1 : pty2;
    QVERIFY(openDualPane(page, pane, pty->slavePath()));
    QVERIFY(pty->write(chunk));
    QTRY_VERIFY2_WITH_TIMEOUT(matches(received(pane), pattern), qPrintable(received(pane)), 5000);
    QCOMPARE(received(3 - pane), QString());
}

// The handler is driven directly here, so that no flush tick can fall
// between the chunks: the last 3 bytes wait for the flush, a header split
// across chunks still starts a line, and a run without any header is cut
// every 1024 bytes (one endless line would be laid out again per chunk).
void TestDoubleWindow::chunksAndFlush_data()
{
    QTest::addColumn<int>("pane");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("beforeFlush");
    QTest::addColumn<QString>("afterFlush");
    QTest::newRow("frame") << 1 << QList<QByteArray>{initFrame} << stamp + "FF FF 00 05 0B 00 "
                           << stamp + "FF FF 00 05 0B 00 00 00 10 ";
    QTest::newRow("header held at the flush") << 2 << QList<QByteArray>{QByteArray::fromHex("FFFF00")}
                                              << QString() << "FF FF 00 ";
    QTest::newRow("FF | FF split") << 1 << QList<QByteArray>{QByteArray::fromHex("0102FF"), initFrame.mid(1)}
                                   << "01 02 \n" + stamp + "FF FF 00 05 0B 00 "
                                   << "01 02 \n" + stamp + "FF FF 00 05 0B 00 00 00 10 ";
    QTest::newRow("00 00 00 | 03 split")
        << 2 << QList<QByteArray>{QByteArray::fromHex("000000"), QByteArray::fromHex("0300020308")}
        << stamp + "00 00 00 03 00 " << stamp + "00 00 00 03 00 02 03 08 ";
    const QString run = QString("5A ").repeated(1024) + "\n" + QString("5A ").repeated(1024) + "\n"
                        + QString("5A ").repeated(2500 - 2048) + "\n" + stamp;
    QTest::newRow("headerless run") << 1 << QList<QByteArray>{QByteArray(1500, 0x5A), QByteArray(1000, 0x5A), initFrame}
                                    << "[\\s\\S]*" << run + "FF FF 00 05 0B 00 00 00 10 "; // shown in part by then
}

void TestDoubleWindow::chunksAndFlush()
{
    QFETCH(int, pane);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, beforeFlush);
    QFETCH(QString, afterFlush);
    for (const QByteArray &chunk : chunks)
        feed(pane, chunk);
    QVERIFY2(matches(received(pane), beforeFlush), qPrintable(received(pane)));
    feed(pane, {}, true);
    feed(pane, {}, true); // an empty buffer adds nothing
    QVERIFY2(matches(received(pane), afterFlush), qPrintable(received(pane)));
    QCOMPARE(received(3 - pane), QString());
}

void TestDoubleWindow::relayFollowsDoubleMode()
{
    QVERIFY(openBoth());
    QVERIFY(pty1->write(initFrame));
    QCOMPARE(pty2->readAtLeast(initFrame.size()), initFrame);
    const QByteArray reply = QByteArray::fromHex("FFFF00050C0000 0011");
    QVERIFY(pty2->write(reply));
    QCOMPARE(pty1->readAtLeast(reply.size()), reply);
    QTRY_VERIFY_WITH_TIMEOUT(received(1).endsWith("00 00 10 ") && received(2).endsWith("00 00 11 "), 5000);

    auto *doubleButton = child<QPushButton>(page, "pushButton_double");
    QCOMPARE(doubleButton->text(), QStringLiteral("关闭双串口"));
    doubleButton->click();
    QCOMPARE(doubleButton->text(), QStringLiteral("打开双串口"));
    QVERIFY(pty1->write(QByteArray::fromHex("FFFF0005010000 0006")));
    QTRY_VERIFY_WITH_TIMEOUT(received(1).count('\n') == 1 && received(1).endsWith("00 00 06 "), 5000);
    QCOMPARE(pty2->read(300), QByteArray());

    doubleButton->click();
    QCOMPARE(doubleButton->text(), QStringLiteral("关闭双串口"));
    QVERIFY(pty1->write(initFrame));
    QCOMPARE(pty2->readAtLeast(initFrame.size()), initFrame);

    // Relay on, COM2 closed: the frame is shown and dropped without a warning.
    clickButton("pushButton_open2");
    warningsSeen.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarnings);
    QVERIFY(pty1->write(initFrame));
    QTRY_VERIFY_WITH_TIMEOUT(received(1).count('\n') == 3 && received(1).endsWith("00 00 10 "), 5000);
    qInstallMessageHandler(previous);
    QCOMPARE(warningsSeen, QStringList());
    QCOMPARE(pty2->read(200), QByteArray());
}

void TestDoubleWindow::sendBoxesWriteExactBytes()
{
    QVERIFY(openBoth());
    auto send = [this](int pane, const QString &text) {
        child<QTextEdit>(page, "textEdit_send" + QString::number(pane))->setPlainText(text);
        clickButton("pushButton_send" + QString::number(pane));
    };
    send(2, "ff ff 00 05 0b 00 00 00 10");
    QCOMPARE(pty2->readAtLeast(9), initFrame);
    QCOMPARE(child<QTextEdit>(page, "textEdit_send2")->toPlainText(), QStringLiteral("ff ff 00 05 0b 00 00 00 10"));
    send(1, "FFFF0005\n0b,00:00-00 10"); // separators anywhere
    QCOMPARE(pty1->readAtLeast(9), initFrame);

    // Refused text, typed or in a preset row: nothing goes out, the user is
    // told what is wrong. Sent bytes are never echoed.
    ModalCloser closer;
    send(1, "0x55 0xAA 1");
    QCOMPARE(closer.seen.value(0), QStringLiteral("错误|十六进制输入有误：第 11 个字符起的“1”有奇数个数字，每个字节要写两位。"));
    child<QLineEdit>(page, "lineEdit_default2")->setText("FF FF 00 05 0G");
    clickButton("pushButton_right2");
    QVERIFY(closer.seen.value(1).contains("第 14 个字符 “G”"));
    QCOMPARE(pty1->read(200) + pty2->read(50), QByteArray());
    QCOMPARE(received(1) + received(2), QString());
}

void TestDoubleWindow::presetTexts()
{
    auto lines = [this] {
        QStringList texts;
        for (int i = 1; i <= 4; ++i)
            texts << child<QLineEdit>(page, "lineEdit_default" + QString::number(i))->text();
        return texts;
    };
    QCOMPARE(lines(), version3);
    clickButton("pushButton_v4");
    QCOMPARE(lines(), version4);
    child<QLineEdit>(page, "lineEdit_default2")->setText("edited");
    clickButton("pushButton_v3");
    QCOMPARE(lines(), version3);
}

void TestDoubleWindow::presetButtonsWriteExactBytes()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    clickButton("pushButton_v4");
    clickButton("pushButton_left1");
    QCOMPARE(pty1->readAtLeast(9), initFrame);

    // COM2 closed: the right buttons do nothing.
    clickButton("pushButton_right4");
    QCOMPARE(pty2->read(200), QByteArray());

    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    clickButton("pushButton_right4");
    QCOMPARE(pty2->readAtLeast(75), QByteArray::fromHex(version4[3].toLatin1()));

    // An edited line goes out as typed, wrong checksum and all.
    child<QLineEdit>(page, "lineEdit_default3")->setText("FF FF 00 05 01 00 00 00 99");
    clickButton("pushButton_left3");
    QCOMPARE(pty1->readAtLeast(9), QByteArray::fromHex("FFFF00050100000099"));
    clickButton("pushButton_right2");
    QCOMPARE(pty2->readAtLeast(10), QByteArray::fromHex("FFFF0006090000000211"));
    QCOMPARE(pty1->read(100), QByteArray());
}

void TestDoubleWindow::openFailureIsReported()
{
    // The title and first line stay; the second says why.
    ModalCloser closer;
    QVERIFY(!openDualPane(page, 1, "/dev/vok-no-such-port"));
    QVERIFY(!openDualPane(page, 2, QString()));
    // One device cannot be held by both panes.
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(!openDualPane(page, 2, pty1->slavePath()));
    QCOMPARE(closer.seen, QStringList({"错误|打开失败！\nNo such file or directory", "错误|打开失败！\n没有串口名",
                                       "错误|打开失败！\nPermission error while locking the device"}));
}

void TestDoubleWindow::portListRefreshKeepsChoice()
{
    auto *com1 = child<QComboBox>(page, "com_1");
    auto *com2 = child<QComboBox>(page, "com_2");
    auto refresh = [this](const QList<QString> &names) {
        QVERIFY(QMetaObject::invokeMethod(page, "UpdateUi", Q_ARG(QList<QString>, names)));
    };
    refresh({"ttyS0", "ttyUSB0"});
    com1->setCurrentIndex(1);
    com2->setEditText("/dev/pts/77");
    refresh({"ttyACM0", "ttyS0", "ttyUSB0"});
    QCOMPARE(com2->count(), 3);
    QCOMPARE(com1->currentText(), QStringLiteral("ttyUSB0"));
    refresh({"ttyS0"}); // the selected adapter is unplugged: back to the first port
    QCOMPARE(com1->currentText(), QStringLiteral("ttyS0"));
    // No port at all, announced every second: a typed path survives.
    refresh({});
    refresh({});
    QCOMPARE(com1->currentText(), QString());
    QCOMPARE(com2->currentText(), QStringLiteral("/dev/pts/77"));
}

void TestDoubleWindow::clearReceiveAndClosePorts()
{
    feed(1, initFrame);
    feed(2, initFrame);
    page->clearReceive();
    QCOMPARE(received(1) + received(2), QString());
    // Held-back bytes appear in the emptied area at the next tick.
    QTRY_COMPARE_WITH_TIMEOUT(received(1), QStringLiteral("00 00 10 "), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(received(2), QStringLiteral("00 00 10 "), 3000);

    // Closed ports are released: the next click opens again. (Closing
    // itself is covered with the main window's tab change.)
    QVERIFY(openBoth());
    page->closePorts();
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    page->sendHex("COM1", "01");
    QCOMPARE(pty1->readAtLeast(1), QByteArray::fromHex("01"));
}

void TestDoubleWindow::boundedViewKeepsTheNewest()
{
    // 2,500 frames in one chunk: the area keeps the newest 2,000 lines.
    QByteArray frames;
    for (int i = 0; i < 2500; ++i)
        frames += QByteArray::fromHex("FFFF0005") + char(i % 256) + QByteArray::fromHex("00000000");
    feed(1, frames + initFrame, true);
    auto *area = child<QTextEdit>(page, "textEdit_rec1");
    QCOMPARE(area->document()->blockCount(), 2000);
    QVERIFY(received(1).endsWith("\n" + received(1).section('\n', -1)));
    QVERIFY(matches(received(1).section('\n', -1), stamp + "FF FF 00 05 0B 00 00 00 10 "));

    // Chunks that come faster than they are shown: the newest stays, one
    // line says how many bytes were left out, and nothing is lost twice.
    page->clearReceive();
    for (int i = 0; i < 10; ++i)
        feed(1, QByteArray(20000, char(0x40 + i)));
    feed(1, {}, true);
    QTRY_VERIFY_WITH_TIMEOUT(received(1).endsWith("49 "), 3000);
    QCOMPARE(received(1).count("49 "), 20000);
    const QRegularExpression skipped("（(\\d+) 字节未显示）");
    qint64 skippedBytes = 0;
    for (auto it = skipped.globalMatch(received(1)); it.hasNext();)
        skippedBytes += it.next().captured(1).toLongLong();
    QVERIFY2(skippedBytes > 0, qPrintable(received(1).left(200)));
    const QString shownBytes = QString(received(1)).remove(skipped).remove(QRegularExpression(stamp)).remove(QRegularExpression("\\s"));
    QCOMPARE(skippedBytes + shownBytes.size() / 2, qint64(10 * 20000));
}

void TestDoubleWindow::exchangeIsCaptured()
{
    QTemporaryDir folder;
    recordInto(folder.path());
    QVERIFY(openBoth());
    const QByteArray reply = QByteArray::fromHex("FFFF00050C00000011");
    QByteArray longChunk;
    for (int i = 0; i < 70; ++i)
        longChunk += char(i);
    QVERIFY(pty1->write(initFrame));
    QCOMPARE(pty2->readAtLeast(initFrame.size()), initFrame);
    QVERIFY(pty2->write(reply));
    QCOMPARE(pty1->readAtLeast(reply.size()), reply);
    page->sendHex("COM1", "FF FF 00 05 01 00 00 00 06");
    QCOMPARE(pty1->readAtLeast(9), QByteArray::fromHex("FFFF00050100000006"));
    QVERIFY(pty2->write(longChunk));
    QCOMPARE(pty1->readAtLeast(longChunk.size()), longChunk);
    clickButton("pushButton_open2");
    child<QToolButton>(page, "toolButton_record")->click(); // stop

    const QString p1 = pty1->slavePath(), p2 = pty2->slavePath();
    const QString first = longChunk.left(64).toHex(' ').toUpper(), rest = longChunk.mid(64).toHex(' ').toUpper();
    const QStringList files = captureFiles(folder.path());
    QCOMPARE(files.size(), 1);
    QVERIFY2(files[0].endsWith("_" + p1.section('/', -1) + ".txt"), qPrintable(files[0]));
    QCOMPARE(maskedCaptureLines(files[0]),
             QStringList({"# vok-serial-tool capture 1", "T - -- recording started", "T " + p1 + " -- opened 9600 8N1",
                          "T " + p2 + " -- opened 9600 8N1", "T " + p1 + " RX FF FF 00 05 0B 00 00 00 10",
                          "T " + p2 + " TX FF FF 00 05 0B 00 00 00 10", "T " + p2 + " RX FF FF 00 05 0C 00 00 00 11",
                          "T " + p1 + " TX FF FF 00 05 0C 00 00 00 11", "T " + p1 + " TX FF FF 00 05 01 00 00 00 06",
                          "T " + p2 + " RX " + first, "T " + p2 + " RX " + rest, "T " + p1 + " TX " + first,
                          "T " + p1 + " TX " + rest, "T " + p2 + " -- closed", "T - -- recording stopped", ""}));
}

void TestDoubleWindow::unwritableFolderIsReported()
{
    QTemporaryDir folder;
    QVERIFY(QFile(folder.filePath("file")).open(QIODevice::WriteOnly));
    recordInto(folder.filePath("file/captures"));
    QVERIFY(openBoth()); // no box: the failure is a line on the page
    QVERIFY(received(1).contains("录制失败，已停止"));
    QVERIFY(!child<QToolButton>(page, "toolButton_record")->isChecked());
    QVERIFY(pty1->write(initFrame));
    QCOMPARE(pty2->readAtLeast(initFrame.size()), initFrame);
}

void TestDoubleWindow::lostPortIsClosedAndNoticed()
{
    QVERIFY(openBoth());
    pty1->hangUp();
    auto *open1 = child<QPushButton>(page, "pushButton_open1");
    QTRY_COMPARE_WITH_TIMEOUT(open1->text(), QStringLiteral("打开串口"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(received(1).contains("串口已断开"), 3000);
    QTest::qWait(200); // the error keeps coming while the port is open: said once
    QCOMPARE(received(1).count("串口已断开"), 1);
    QCOMPARE(page->portName(0), QString());
    QCOMPARE(page->portName(1), pty2->slavePath());
    // Relay and sending go nowhere now; the other pane goes on.
    QVERIFY(pty2->write(initFrame));
    QTRY_VERIFY_WITH_TIMEOUT(received(2).endsWith("00 00 10 "), 3000);
}

void TestDoubleWindow::portComesBackAtTheSamePath()
{
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyA"), peer = dir.filePath("ttyB");
    QProcess link;
    auto makeLink = [&] {
        link.start("socat", {"pty,raw,echo=0,link=" + device, "pty,raw,echo=0,link=" + peer});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(device) && QFile::exists(peer), 5000);
    };
    makeLink();
    QVERIFY(openDualPane(page, 1, device));
    auto *open1 = child<QPushButton>(page, "pushButton_open1");
    link.terminate();
    QVERIFY(link.waitForFinished(5000));
    QTRY_COMPARE_WITH_TIMEOUT(open1->text(), QStringLiteral("打开串口"), 5000);
    QVERIFY(!QFile::exists(device));
    makeLink();
    QTRY_COMPARE_WITH_TIMEOUT(open1->text(), QStringLiteral("关闭串口"), 5000);
    QVERIFY(received(1).contains("串口已重新打开"));
    QCOMPARE(page->portName(0), device);

    QSerialPort other;
    other.setPortName(peer);
    QVERIFY(other.open(QIODevice::ReadWrite));
    other.write(initFrame);
    QTRY_VERIFY_WITH_TIMEOUT(received(1).endsWith("00 00 10 "), 5000);
    other.close();

    // Closed by the user: it stays closed when the device comes back.
    open1->click();
    link.terminate();
    QVERIFY(link.waitForFinished(5000));
    makeLink();
    QTest::qWait(1500);
    QCOMPARE(open1->text(), QStringLiteral("打开串口"));
    link.terminate();
    link.waitForFinished(5000);
}

// Text mode sends UTF-8 with escapes and the chosen line ending; a bad
// escape is refused like bad hex, and nothing is sent.
void TestDoubleWindow::textSend_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineEnd");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("no ending") << "AT+GMR" << 0 << QByteArray("AT+GMR") << QString();
    QTest::newRow("CR") << "AT" << 1 << QByteArray("AT\r") << QString();
    QTest::newRow("LF") << "AT" << 2 << QByteArray("AT\n") << QString();
    QTest::newRow("CR LF") << "AT" << 3 << QByteArray("AT\r\n") << QString();
    QTest::newRow("escapes") << "a\\r\\n\\t\\\\\\x00\\xfF" << 0 << QByteArray("a\r\n\t\\\0\xFF", 7) << QString();
    QTest::newRow("UTF-8") << "温度 1" << 2 << QByteArray("\xE6\xB8\xA9\xE5\xBA\xA6 1\n") << QString();
    QTest::newRow("unknown escape") << "AT\\q" << 3 << QByteArray() << "第 3 个字符起的“\\q”";
    QTest::newRow("short \\x") << "A\\x4" << 0 << QByteArray() << "第 2 个字符起的“\\x4”";
    QTest::newRow("backslash at the end") << "AT\\" << 1 << QByteArray() << "第 3 个字符起的“\\”";
}

void TestDoubleWindow::textSend()
{
    QFETCH(QString, text);
    QFETCH(int, lineEnd);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, refusal);
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    widget<QComboBox>("comboBox_sendMode2")->setCurrentIndex(1);
    widget<QComboBox>("comboBox_lineEnd2")->setCurrentIndex(lineEnd);
    widget<QTextEdit>("textEdit_send2")->setPlainText(text);
    ModalCloser closer;
    clickButton("pushButton_send2");
    QCOMPARE(pty2->read(bytes.isEmpty() ? 200 : 1000), bytes);
    if (refusal.isEmpty())
        QCOMPARE(closer.seen, QStringList());
    else
        QVERIFY2(closer.seen.value(0).startsWith("错误|文本输入有误：" + refusal), qPrintable(closer.seen.value(0)));
}

// One byte string in the three views; a character cut between chunks is
// shown whole, a line feed ends a line of the text views.
void TestDoubleWindow::views_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("shown");
    const QList<QByteArray> known{QByteArray("AT\r\nOK\0\\", 8) + initFrame};
    QTest::newRow("hex") << 0 << known << "41 54 0D 0A 4F 4B 00 5C \nTFF FF 00 05 0B 00 00 00 10 ";
    QTest::newRow("text") << 1 << known << "AT\\r\\n\nOK\\x00\\\\\nT\\xFF\\xFF\\x00\\x05\\x0B\\x00\\x00\\x00\\x10";
    QTest::newRow("both") << 2 << known
                          << QString("41 54 0D 0A ").leftJustified(48) + " AT\\r\\n\n"
                                 + QString("4F 4B 00 5C ").leftJustified(48) + " OK\\x00\\\\\n"
                                 + "T" + QString("FF FF 00 05 0B 00 00 00 10 ").leftJustified(48)
                                 + " \\xFF\\xFF\\x00\\x05\\x0B\\x00\\x00\\x00\\x10";
    const QByteArray word("\xE6\xB8\xA9\xE5\xBA\xA6!"); // 温度!
    QTest::newRow("text, character cut") << 1 << QList<QByteArray>{word.left(1), word.mid(1, 3), word.mid(4)} << "温度!";
    QTest::newRow("both, 16 bytes a line") << 2 << QList<QByteArray>{QByteArray(20, 'a')}
                                           << QString("61 ").repeated(16) + " " + QString(16, 'a') + "\n"
                                                  + QString("61 ").repeated(4).leftJustified(48) + " aaaa";
    QTest::newRow("text, cut at the flush") << 1 << QList<QByteArray>{word.left(4)} << "温\\xE5";
}

void TestDoubleWindow::views()
{
    QFETCH(int, view);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, shown);
    widget<QComboBox>("comboBox_view1")->setCurrentIndex(view);
    for (const QByteArray &chunk : chunks)
        feed(1, chunk);
    feed(1, {}, true);
    QCOMPARE(masked(1), shown);
    QVERIFY(QFontInfo(widget<QTextEdit>("textEdit_rec1")->font()).fixedPitch());
}

// Off by default: the area shows only what was received. On: a marked line
// in another colour in the sender's pane; relayed bytes are not the user's.
void TestDoubleWindow::echoOfSentBytes()
{
    QVERIFY(openBoth());
    page->sendHex("COM1", "01 02");
    QCOMPARE(pty1->readAtLeast(2), QByteArray::fromHex("0102"));
    feed(1, initFrame, true);
    QCOMPARE(masked(1), QStringLiteral("TFF FF 00 05 0B 00 00 00 10 "));

    widget<QCheckBox>("checkBox_echo1")->setChecked(true);
    widget<QComboBox>("comboBox_view1")->setCurrentIndex(2);
    page->sendHex("COM1", "41 0D");
    QCOMPARE(pty1->readAtLeast(2), QByteArray("A\r"));
    feed(1, QByteArray("OK"), true);
    QVERIFY(pty2->write("xyz"));
    QCOMPARE(pty1->readAtLeast(3), QByteArray("xyz"));
    QTRY_VERIFY_WITH_TIMEOUT(received(2).endsWith("78 79 7A "), 3000);
    QCOMPARE(masked(1), "TFF FF 00 05 0B 00 00 00 10 \n→ T 41 0D  A\\r\n" + QString("4F 4B ").leftJustified(48) + " OK");
    QCOMPARE(received(2).count("→"), 0);

    QTextDocument *document = widget<QTextEdit>("textEdit_rec1")->document();
    const auto colour = [document](int line) {
        QTextCursor cursor(document->findBlockByNumber(line));
        cursor.movePosition(QTextCursor::NextCharacter);
        return cursor.charFormat().foreground().color();
    };
    QVERIFY(colour(1) != colour(0));
    QCOMPARE(colour(2), colour(0));
}

// Every interval until switched off, the port closed or lost.
void TestDoubleWindow::repeatSend()
{
    ModalCloser closer; // a box here would be a fault: seen, not waited on
    auto *repeat = widget<QCheckBox>("checkBox_repeat1");
    widget<QSpinBox>("spinBox_repeat1")->setValue(50);
    widget<QTextEdit>("textEdit_send1")->setPlainText("55");
    repeat->setChecked(true); // port closed: refused
    QVERIFY(!repeat->isChecked());
    QVERIFY(received(1).contains("不能重复发送"));

    QVERIFY(openBoth());
    repeat->setChecked(true);
    QTest::qWait(300);
    repeat->setChecked(false);
    const QByteArray sent = pty1->read(300);
    QVERIFY2(sent.size() >= 3 && sent.size() <= 10 && sent.count('\x55') == sent.size(), sent.toHex().constData());
    QCOMPARE(pty1->read(200), QByteArray());

    repeat->setChecked(true);
    clickButton("pushButton_open1");
    QVERIFY(!repeat->isChecked());

    auto *repeat2 = widget<QCheckBox>("checkBox_repeat2");
    widget<QTextEdit>("textEdit_send2")->setPlainText("66");
    repeat2->setChecked(true);
    QVERIFY(pty2->readAtLeast(1).startsWith('\x66'));
    pty2->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!repeat2->isChecked(), 5000);
    QCOMPARE(closer.seen, QStringList());
}

void TestDoubleWindow::settingsComeBack()
{
    widget<QComboBox>("com_2")->setEditText("/dev/ttyUSB7");
    widget<QComboBox>("rate_1")->setEditText("921600");
    widget<QComboBox>("stop_2")->setCurrentIndex(2);
    widget<QComboBox>("comboBox_sendMode1")->setCurrentIndex(1);
    widget<QComboBox>("comboBox_lineEnd1")->setCurrentIndex(3);
    widget<QComboBox>("comboBox_view2")->setCurrentIndex(2);
    widget<QTextEdit>("textEdit_send1")->setPlainText("AT+RST");
    widget<QCheckBox>("checkBox_echo2")->setChecked(true);
    widget<QCheckBox>("checkBox_reopen1")->setChecked(false);
    widget<QSpinBox>("spinBox_repeat2")->setValue(250);
    widget<QLineEdit>("lineEdit_default3")->setText("FF FF 00 05 01 00 00 00 06");
    delete page;
    page = new DoubleWindow;
    QCOMPARE(widget<QComboBox>("com_2")->currentText(), QStringLiteral("/dev/ttyUSB7"));
    QCOMPARE(widget<QComboBox>("rate_1")->currentText(), QStringLiteral("921600"));
    QCOMPARE(widget<QComboBox>("rate_2")->currentText(), QStringLiteral("9600"));
    QCOMPARE(widget<QComboBox>("stop_2")->currentIndex(), 2);
    QCOMPARE(widget<QComboBox>("comboBox_sendMode1")->currentIndex(), 1);
    QCOMPARE(widget<QComboBox>("comboBox_lineEnd1")->currentIndex(), 3);
    QCOMPARE(widget<QComboBox>("comboBox_view2")->currentIndex(), 2);
    QCOMPARE(widget<QTextEdit>("textEdit_send1")->toPlainText(), QStringLiteral("AT+RST"));
    QVERIFY(widget<QCheckBox>("checkBox_echo2")->isChecked() && !widget<QCheckBox>("checkBox_echo1")->isChecked());
    QVERIFY(!widget<QCheckBox>("checkBox_reopen1")->isChecked() && widget<QCheckBox>("checkBox_reopen2")->isChecked());
    QCOMPARE(widget<QSpinBox>("spinBox_repeat2")->value(), 250);
    QCOMPARE(widget<QLineEdit>("lineEdit_default3")->text(), QStringLiteral("FF FF 00 05 01 00 00 00 06"));
    // The view comes back in effect, not only in its box.
    feed(2, QByteArray("hi\n"), true);
    QCOMPARE(received(2), QString("68 69 0A ").leftJustified(48) + " hi\\n");
}

// A typed rate reaches the port; a box without a rate opens nothing.
void TestDoubleWindow::typedBaudRate_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("opened");
    QTest::newRow("listed") << "115200" << "opened 115200 8N1";
    QTest::newRow("typed 921600") << "921600" << "opened 921600 8N1";
    QTest::newRow("typed 1500000") << "1500000" << "opened 1500000 8N1";
    QTest::newRow("empty") << "" << "";
}

void TestDoubleWindow::typedBaudRate()
{
    QFETCH(QString, rate);
    QFETCH(QString, opened);
    QTemporaryDir folder;
    recordInto(folder.path());
    widget<QComboBox>("rate_1")->setEditText(rate);
    ModalCloser closer;
    QCOMPARE(openDualPane(page, 1, pty1->slavePath()), !opened.isEmpty());
    if (opened.isEmpty()) {
        QCOMPARE(closer.seen, QStringList("错误|打开失败！\n波特率无效"));
        return;
    }
    child<QToolButton>(page, "toolButton_record")->click(); // stop
    QCOMPARE(maskedCaptureLines(captureFiles(folder.path()).value(0)).value(2), "T " + pty1->slavePath() + " -- " + opened);
}

QTEST_MAIN(TestDoubleWindow)
#include "tst_doublewindow.moc"
