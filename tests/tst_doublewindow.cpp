#include "pages/dual/doublewindow.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/dualpane.h"
#include "support/widgetlookup.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QtTest>

namespace {

const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d:");
const QByteArray initFrame = QByteArray::fromHex("FFFF00050B00000010");

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
    void init();
    void cleanup();

    void frameShowsWithStampAfterFlush();
    void lastThreeBytesWaitForFlush();
    void headerSplitAcrossChunks();
    void twoFramesInOneChunk();
    void headerlessRunIsCutIntoLines();
    void version3HeaderStartsLine();
    void relayFollowsDoubleMode();
    void relayToClosedPortIsSilent();
    void sendBoxesWriteExactBytes();
    void presetTexts();
    void presetButtonsWriteExactBytes();
    void openFailureIsReported();
    void portListRefreshKeepsChoice();
    void clearReceiveAndClosePorts();

private:
    QString received(int pane) { return child<QTextEdit>(page, pane == 1 ? "textEdit_rec1" : "textEdit_rec2")->toPlainText(); }

    DoubleWindow *page = nullptr;
    PtyPair *pty1 = nullptr;
    PtyPair *pty2 = nullptr;
};

void TestDoubleWindow::init()
{
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

void TestDoubleWindow::frameShowsWithStampAfterFlush()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(pty1->write(initFrame));
    QTRY_VERIFY_WITH_TIMEOUT(matches(received(1), stamp + "FF FF 00 05 0B 00 00 00 10 "), 5000);
    QCOMPARE(received(2), QString());
}

// The handler itself is driven here, so that no flush tick can fall between
// the chunks.
void TestDoubleWindow::lastThreeBytesWaitForFlush()
{
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, initFrame));
    QVERIFY2(matches(received(1), stamp + "FF FF 00 05 0B 00 "), qPrintable(received(1)));
    QMetaObject::invokeMethod(page, "readbuf1");
    QVERIFY(matches(received(1), stamp + "FF FF 00 05 0B 00 00 00 10 "));

    // A header still held back at the flush is shown as plain bytes.
    QMetaObject::invokeMethod(page, "com2OnDataReady", Q_ARG(QByteArray, QByteArray::fromHex("FFFF00")));
    QCOMPARE(received(2), QString());
    QMetaObject::invokeMethod(page, "readbuf2");
    QCOMPARE(received(2), QStringLiteral("FF FF 00 "));
    QMetaObject::invokeMethod(page, "readbuf2"); // empty buffer: nothing more
    QCOMPARE(received(2), QStringLiteral("FF FF 00 "));
}

void TestDoubleWindow::headerSplitAcrossChunks()
{
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, QByteArray::fromHex("0102FF")));
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, initFrame.mid(1)));
    QMetaObject::invokeMethod(page, "readbuf1");
    QVERIFY2(matches(received(1), "01 02 \n" + stamp + "FF FF 00 05 0B 00 00 00 10 "),
             qPrintable(received(1)));

    // 00 00 00 | 03 split the same way.
    QMetaObject::invokeMethod(page, "com2OnDataReady", Q_ARG(QByteArray, QByteArray::fromHex("000000")));
    QMetaObject::invokeMethod(page, "com2OnDataReady", Q_ARG(QByteArray, QByteArray::fromHex("0300020308")));
    QMetaObject::invokeMethod(page, "readbuf2");
    QVERIFY2(matches(received(2), stamp + "00 00 00 03 00 02 03 08 "), qPrintable(received(2)));
}

void TestDoubleWindow::twoFramesInOneChunk()
{
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    QVERIFY(pty2->write(initFrame + QByteArray::fromHex("FFFF00050100000006")));
    const QString expected = stamp + "FF FF 00 05 0B 00 00 00 10 \n" + stamp
                             + "FF FF 00 05 01 00 00 00 06 ";
    QTRY_VERIFY_WITH_TIMEOUT(matches(received(2), expected), 5000);
}

// A run without any header must not grow one line without end: every chunk
// would lay out that whole line again.
void TestDoubleWindow::headerlessRunIsCutIntoLines()
{
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, QByteArray(1500, 0x5A)));
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, QByteArray(1000, 0x5A)));
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, initFrame));
    QMetaObject::invokeMethod(page, "readbuf1");
    const QStringList lines = received(1).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QString("5A ").repeated(1024));
    QCOMPARE(lines[1], QString("5A ").repeated(1024));
    QCOMPARE(lines[2], QString("5A ").repeated(2500 - 2048));
    QVERIFY(matches(lines[3], stamp + "FF FF 00 05 0B 00 00 00 10 "));
}

void TestDoubleWindow::version3HeaderStartsLine()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(pty1->write(QByteArray::fromHex("1234 0000000300020308")));
    QTRY_VERIFY_WITH_TIMEOUT(matches(received(1), "12 34 \n" + stamp + "00 00 00 03 00 02 03 08 "),
                             5000);
}

void TestDoubleWindow::relayFollowsDoubleMode()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
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
}

void TestDoubleWindow::relayToClosedPortIsSilent()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    child<QPushButton>(page, "pushButton_open2")->click();
    QCOMPARE(child<QPushButton>(page, "pushButton_open2")->text(), QStringLiteral("打开串口"));

    warningsSeen.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarnings);
    QVERIFY(pty1->write(initFrame));
    QTRY_VERIFY_WITH_TIMEOUT(received(1).endsWith("00 00 10 "), 5000);
    qInstallMessageHandler(previous);
    QCOMPARE(warningsSeen, QStringList());
    QCOMPARE(pty2->read(200), QByteArray());
}

void TestDoubleWindow::sendBoxesWriteExactBytes()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    auto *send2 = child<QTextEdit>(page, "textEdit_send2");
    send2->setPlainText("ff ff 00 05 0b 00 00 00 10");
    child<QPushButton>(page, "pushButton_send2")->click();
    QCOMPARE(pty2->readAtLeast(9), initFrame);
    QCOMPARE(send2->toPlainText(), QStringLiteral("ff ff 00 05 0b 00 00 00 10"));

    // Separators anywhere, odd digit count: the first digit stands alone.
    child<QTextEdit>(page, "textEdit_send1")->setPlainText("FF F");
    child<QPushButton>(page, "pushButton_send1")->click();
    QCOMPARE(pty1->readAtLeast(2), QByteArray::fromHex("0FFF"));
    child<QTextEdit>(page, "textEdit_send1")->setPlainText("FFFF0005\n0b,00:00-00 10");
    child<QPushButton>(page, "pushButton_send1")->click();
    QCOMPARE(pty1->readAtLeast(9), initFrame);

    // No digits: nothing goes out. Sent bytes are never echoed.
    child<QTextEdit>(page, "textEdit_send1")->setPlainText("发送 xyz");
    child<QPushButton>(page, "pushButton_send1")->click();
    QCOMPARE(pty1->read(200), QByteArray());
    QCOMPARE(received(1) + received(2), QString());

    // Only the exact port names reach a port.
    page->sendHex("com1", "01");
    page->sendHex("COM3", "01");
    QCOMPARE(pty1->read(200) + pty2->read(50), QByteArray());
}

void TestDoubleWindow::presetTexts()
{
    const QStringList version3 = {
        "00 00 00 03 00 02 03 0b", "00 00 00 03 00 02 03 08", "00 00 00 03 00 02 03 06",
        "00 00 00 03 00 28 03 07 00 20 35 66 30 63 32 65 37 64 39 62 31 61 34 63 38 33 61 36 65 32 "
        "64 34 66 37 62 38 63 39 30 65 31 35 00 02 00 01"};
    const QStringList version4 = {
        "FF FF 00 05 0B 00 00 00 10", "FF FF 00 06 09 00 00 00 02 11", "FF FF 00 05 01 00 00 00 06",
        "FF FF 00 47 02 01 00 00 30 30 30 30 30 30 30 34 30 30 30 30 30 30 30 34 30 30 30 30 30 30 "
        "30 31 30 30 30 30 30 30 30 31 35 66 30 63 32 65 37 64 39 62 31 61 34 63 38 33 61 36 65 32 "
        "64 34 66 37 62 38 63 39 30 65 31 35 00 00 77"};
    QCOMPARE(version3[3].size(), 137);
    QCOMPARE(version4[3].size(), 224);

    auto lines = [this] {
        QStringList texts;
        for (const char *name : {"lineEdit_default1", "lineEdit_default2", "lineEdit_default3",
                                 "lineEdit_default4"})
            texts << child<QLineEdit>(page, name)->text();
        return texts;
    };
    QCOMPARE(lines(), version3);
    child<QPushButton>(page, "pushButton_v4")->click();
    QCOMPARE(lines(), version4);
    child<QLineEdit>(page, "lineEdit_default2")->setText("edited");
    child<QPushButton>(page, "pushButton_v3")->click();
    QCOMPARE(lines(), version3);
}

void TestDoubleWindow::presetButtonsWriteExactBytes()
{
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    child<QPushButton>(page, "pushButton_v4")->click();
    child<QPushButton>(page, "pushButton_left1")->click();
    QCOMPARE(pty1->readAtLeast(9), initFrame);

    // COM2 closed: the right buttons do nothing.
    child<QPushButton>(page, "pushButton_right4")->click();
    QCOMPARE(pty2->read(200), QByteArray());

    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    child<QPushButton>(page, "pushButton_right4")->click();
    const QByteArray productInfo = pty2->readAtLeast(75);
    QCOMPARE(productInfo.size(), 75);
    QCOMPARE(productInfo.mid(40, 32), QByteArray("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15"));
    QCOMPARE(productInfo.back(), char(0x77));

    // An edited line goes out as typed, wrong checksum and all.
    child<QLineEdit>(page, "lineEdit_default3")->setText("FF FF 00 05 01 00 00 00 99");
    child<QPushButton>(page, "pushButton_left3")->click();
    QCOMPARE(pty1->readAtLeast(9), QByteArray::fromHex("FFFF00050100000099"));
    child<QPushButton>(page, "pushButton_right2")->click();
    QCOMPARE(pty2->readAtLeast(10), QByteArray::fromHex("FFFF0006090000000211"));
    QCOMPARE(pty1->read(100), QByteArray());
}

void TestDoubleWindow::openFailureIsReported()
{
    ModalCloser closer;
    auto *button = child<QPushButton>(page, "pushButton_open1");
    child<QComboBox>(page, "com_1")->setEditText("/dev/vok-no-such-port");
    button->click();
    QCOMPARE(closer.seen, QStringList{"错误|打开失败！"});
    QCOMPARE(button->text(), QStringLiteral("打开串口"));

    child<QComboBox>(page, "com_2")->setEditText(QString());
    child<QPushButton>(page, "pushButton_open2")->click();
    QCOMPARE(closer.seen.size(), 2);

    // One device cannot be held by both panes.
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    child<QComboBox>(page, "com_2")->setEditText(pty1->slavePath());
    child<QPushButton>(page, "pushButton_open2")->click();
    QCOMPARE(closer.seen.size(), 3);
    QCOMPARE(child<QPushButton>(page, "pushButton_open2")->text(), QStringLiteral("打开串口"));
}

void TestDoubleWindow::portListRefreshKeepsChoice()
{
    auto *com1 = child<QComboBox>(page, "com_1");
    auto *com2 = child<QComboBox>(page, "com_2");
    auto refresh = [this](const QList<QString> &names) {
        QMetaObject::invokeMethod(page, "UpdateUi", Q_ARG(QList<QString>, names));
    };
    auto items = [](QComboBox *box) {
        QStringList names;
        for (int i = 0; i < box->count(); ++i)
            names << box->itemText(i);
        return names;
    };

    refresh({"ttyS0", "ttyUSB0"});
    QCOMPARE(items(com1), QStringList({"ttyS0", "ttyUSB0"}));
    QCOMPARE(items(com2), items(com1));
    QCOMPARE(com1->currentText(), QStringLiteral("ttyS0"));

    com1->setCurrentIndex(1);
    com2->setEditText("/dev/pts/77");
    refresh({"ttyACM0", "ttyS0", "ttyUSB0"});
    QCOMPARE(items(com1), QStringList({"ttyACM0", "ttyS0", "ttyUSB0"}));
    QCOMPARE(com1->currentText(), QStringLiteral("ttyUSB0"));
    QCOMPARE(com2->currentText(), QStringLiteral("/dev/pts/77"));

    // The selected adapter is unplugged: fall back to the first port.
    refresh({"ttyS0"});
    QCOMPARE(com1->currentText(), QStringLiteral("ttyS0"));
    QCOMPARE(com2->currentText(), QStringLiteral("/dev/pts/77"));

    // No port at all, announced every second: a typed path survives.
    refresh({});
    refresh({});
    QCOMPARE(com1->count(), 0);
    QCOMPARE(com1->currentText(), QString());
    QCOMPARE(com2->currentText(), QStringLiteral("/dev/pts/77"));
}

void TestDoubleWindow::clearReceiveAndClosePorts()
{
    QMetaObject::invokeMethod(page, "com1OnDataReady", Q_ARG(QByteArray, initFrame));
    QMetaObject::invokeMethod(page, "com2OnDataReady", Q_ARG(QByteArray, initFrame));
    page->clearReceive();
    QCOMPARE(received(1) + received(2), QString());
    // Held-back bytes appear in the emptied area at the next tick.
    QTRY_COMPARE_WITH_TIMEOUT(received(1), QStringLiteral("00 00 10 "), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(received(2), QStringLiteral("00 00 10 "), 3000);

    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    QVERIFY(openDualPane(page, 2, pty2->slavePath()));
    page->closePorts();
    QCOMPARE(child<QPushButton>(page, "pushButton_open1")->text(), QStringLiteral("打开串口"));
    QCOMPARE(child<QPushButton>(page, "pushButton_open2")->text(), QStringLiteral("打开串口"));
    page->sendHex("COM1", "01");
    page->sendHex("COM2", "02");
    QCOMPARE(pty1->read(200) + pty2->read(50), QByteArray());
    // Released: the next click opens again.
    QVERIFY(openDualPane(page, 1, pty1->slavePath()));
    page->sendHex("COM1", "01");
    QCOMPARE(pty1->readAtLeast(1), QByteArray::fromHex("01"));
}

QTEST_MAIN(TestDoubleWindow)
#include "tst_doublewindow.moc"
