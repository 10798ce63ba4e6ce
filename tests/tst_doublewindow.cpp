#include "pages/dual/doublewindow.h"
#include "serial/portlistwatcher.h"
#include "support/capturelines.h"
#include "support/dualpane.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"
#include "support/testroot.h"

#include <QtTest>
#include <QtWidgets>

const QByteArray initFrame = QByteArray::fromHex("FFFF00050B00000010"), reply = QByteArray::fromHex("FFFF00050C00000011");
const QString frameLine = "TFF FF 00 05 0B 00 00 00 10 ";
static QStringList warnings;
static QSettings userSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "vok", "vok-serial-tool"); }

class TestDoubleWindow : public QObject
{
    Q_OBJECT
    TestRoot home; // the program's files, and the per-user settings and files of this run
    std::unique_ptr<DoubleWindow> page;
    std::unique_ptr<PtyPair> pty1, pty2;

    template<class T> T *w(const QString &name) { return child<T>(page.get(), name); }
    bool open(int pane, const QString &path) { return openDualPane(page.get(), pane, path); }
    bool openBoth() { return open(1, pty1->slavePath()) && open(2, pty2->slavePath()); }
    // A pane's area with every time stamp written as "T".
    QString shown(int pane)
    {
        return w<QTextEdit>(QString("textEdit_rec%1").arg(pane))->toPlainText().replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d{3}:"), "T");
    }
    // Hands a chunk to a pane's receive handler, so that no flush tick falls
    // between chunks; flush=true then runs the flush tick.
    void feed(int pane, const QByteArray &chunk, bool flush = false)
    {
        QMetaObject::invokeMethod(page.get(), qPrintable(QString("com%1OnDataReady").arg(pane)), Q_ARG(QByteArray, chunk));
        if (flush)
            QMetaObject::invokeMethod(page.get(), qPrintable(QString("readbuf%1").arg(pane)));
    }

private slots:
    void init()
    {
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        userSettings().clear();
        page.reset(new DoubleWindow);
        pty1.reset(new PtyPair);
        pty2.reset(new PtyPair);
    }

    // A line with the time at every frame header; the last 3 bytes wait for
    // the next chunk or the flush; a run without a header is cut every 1024
    // bytes; the text views escape what is not printable, end a line at a
    // line feed and show a character cut between chunks whole. A null
    // "before" is not checked (later chunks are shown at the next tick).
    void display()
    {
        const QByteArray word("\xE6\xB8\xA9\xE5\xBA\xA6!"), known = QByteArray("AT\r\nOK\0\\", 8) + initFrame;
        const QString run = QString("5A ").repeated(1024) + "\n", a = "61 ", h = " \\xFF\\xFF\\x00\\x05\\x0B\\x00\\x00\\x00\\x10";
        const struct { int pane, view; QList<QByteArray> chunks; const char *before; QString after; } rows[] = {
            {1, 0, {initFrame}, "TFF FF 00 05 0B 00 ", frameLine},
            {2, 0, {QByteArray::fromHex("FFFF00")}, "", "FF FF 00 "},
            {1, 0, {QByteArray::fromHex("0102FF"), initFrame.mid(1)}, "01 02 \nTFF FF 00 05 0B 00 ", "01 02 \n" + frameLine},
            {2, 0, {QByteArray(3, 0), QByteArray::fromHex("0300020308")}, "T00 00 00 03 00 ", "T00 00 00 03 00 02 03 08 "},
            {1, 0, {QByteArray(1500, 'Z'), QByteArray(1000, 'Z'), initFrame}, nullptr, run + run + QString("5A ").repeated(452) + "\n" + frameLine},
            {2, 1, {known}, nullptr, "AT\\r\\n\nOK\\x00\\\\\nT" + h.mid(1)},
            {1, 2, {known}, nullptr, QString("41 54 0D 0A ").leftJustified(48) + " AT\\r\\n\n" + QString("4F 4B 00 5C ").leftJustified(48)
                                         + " OK\\x00\\\\\nT" + frameLine.mid(1).leftJustified(48) + h},
            {2, 2, {QByteArray(20, 'a')}, nullptr, a.repeated(16) + " " + QString(16, 'a') + "\n" + a.repeated(4).leftJustified(48) + " aaaa"},
            {1, 1, {word.left(1), word.mid(1, 3), word.mid(4)}, nullptr, "温度!"},
            {2, 1, {word.left(4)}, nullptr, "温\\xE5"}};
        for (const auto &row : rows) {
            page.reset(new DoubleWindow);
            w<QComboBox>(QString("comboBox_view%1").arg(row.pane))->setCurrentIndex(row.view);
            for (const QByteArray &chunk : row.chunks)
                feed(row.pane, chunk);
            if (row.before)
                QCOMPARE(shown(row.pane), QString(row.before));
            feed(row.pane, {}, true);
            QCOMPARE(shown(row.pane) + shown(3 - row.pane), row.after);
        }
        QVERIFY(QFontInfo(w<QTextEdit>("textEdit_rec1")->font()).fixedPitch());
        // The area keeps its newest 2,000 lines; chunks coming faster than
        // they are shown leave out the oldest text, a line says how many
        // bytes, and every byte is either shown or counted once.
        init();
        feed(1, QByteArray::fromHex("FFFF00050100000006").repeated(2500) + initFrame, true);
        QCOMPARE(w<QTextEdit>("textEdit_rec1")->document()->blockCount(), 2000);
        QCOMPARE(shown(1).section('\n', -1), frameLine);
        page->clearReceive();
        for (int i = 0; i < 10; ++i)
            feed(1, QByteArray(20000, char(0x40 + i)));
        feed(1, {}, true);
        QString text = shown(1);
        qint64 skipped = 0;
        for (auto it = QRegularExpression("（(\\d+) 字节未显示）").globalMatch(text); it.hasNext();)
            skipped += it.next().captured(1).toLongLong();
        QVERIFY(skipped > 0 && text.endsWith("49 ") && text.count("49 ") == 20000);
        QCOMPARE(skipped + text.remove(QRegularExpression("（\\d+ 字节未显示）|\\s")).size() / 2, 200000);
    }

    // In double mode each port's chunks go to the other port, never to a
    // closed one (the write would warn); both ports' traffic goes into one
    // capture file named after the first port; a typed rate reaches the
    // port. A folder that cannot be written is said on the page.
    void relayIsShownAndCaptured()
    {
        userSettings().setValue("capture/folder", home.filePath("captures"));
        userSettings().setValue("dual/autoRecord", true);
        page.reset(new DoubleWindow);
        w<QComboBox>("rate_1")->setEditText("1500000");
        QSignalSpy received(page.get(), &DoubleWindow::bytesReceived);
        QVERIFY(openBoth() && pty1->write(initFrame) && pty2->readAtLeast(9) == initFrame);
        QVERIFY(pty2->write(reply) && pty1->readAtLeast(9) == reply && received.first() == QVariantList({0, initFrame}));
        w<QPushButton>("pushButton_double")->click();
        QVERIFY(w<QPushButton>("pushButton_double")->text() == "打开双串口" && pty1->write(initFrame) && received.wait());
        w<QPushButton>("pushButton_double")->click();
        QCOMPARE(w<QPushButton>("pushButton_double")->text(), QStringLiteral("关闭双串口"));
        w<QPushButton>("pushButton_open2")->click();
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            warnings << (type == QtWarningMsg ? text : QString()); // a write to the closed port would warn
        });
        QVERIFY(pty1->write(initFrame) && received.wait());
        qInstallMessageHandler(nullptr);
        QCOMPARE(warnings.join(QString()), QString());
        w<QToolButton>("toolButton_record")->click(); // stop
        const QString p1 = "T " + pty1->slavePath(), p2 = "T " + pty2->slavePath(), rx = " RX FF FF 00 05 0B 00 00 00 10";
        const QStringList files = captureFiles(home.filePath("captures"));
        QVERIFY2(files.size() == 1 && files[0].endsWith("_" + pty1->slavePath().section('/', -1) + ".txt"), qPrintable(files.join(' ')));
        QCOMPARE(maskedCaptureLines(files[0]),
                 QStringList({"# vok-serial-tool capture 1", "T - -- recording started", p1 + " -- opened 1500000 8N1",
                              p2 + " -- opened 9600 8N1", p1 + rx, p2 + " TX FF FF 00 05 0B 00 00 00 10",
                              p2 + " RX FF FF 00 05 0C 00 00 00 11", p1 + " TX FF FF 00 05 0C 00 00 00 11", p1 + rx,
                              p2 + " -- closed", p1 + rx, "T - -- recording stopped", ""}));
        userSettings().setValue("capture/folder", "/proc/vok-captures");
        page.reset(new DoubleWindow);
        QVERIFY(openBoth()); // no box: the failure is a line on the page
        QVERIFY(shown(1).contains("录制失败，已停止") && !w<QToolButton>("toolButton_record")->isChecked());
    }

    // A send box goes out as typed: hexadecimal with separators anywhere, or
    // UTF-8 text with escapes and the chosen line ending (mode -1 is hex,
    // 0..3 text with that ending). Refused text sends nothing and says why.
    // Sent bytes appear in the sender's pane only when asked for, on a marked
    // line in another colour. Repeated sending: every interval until switched
    // off or the port is closed; refused while it is closed.
    void sending()
    {
        const struct { int pane, mode; QString text; QByteArray bytes; } rows[] = {
            {1, -1, "FFFF0005\n0b,00:00-00 10", initFrame}, {2, -1, "0x55 0xAA 1", ""}, {2, 1, "AT\\", ""},
            {1, 0, "a\\r\\n\\t\\\\\\x00\\xfF", QByteArray("a\r\n\t\\\0\xFF", 7)}, {1, 1, "AT", "AT\r"},
            {2, 2, "温度 1", "\xE6\xB8\xA9\xE5\xBA\xA6 1\n"}, {2, 3, "AT", "AT\r\n"}, {2, 3, "AT\\q", ""},
            {1, 0, "A\\x4", ""}, {1, -1, "55", "U"}};
        QVERIFY(openBoth());
        ModalCloser closer;
        for (const auto &row : rows) {
            const QString n = QString::number(row.pane);
            w<QComboBox>("comboBox_sendMode" + n)->setCurrentIndex(row.mode >= 0);
            w<QComboBox>("comboBox_lineEnd" + n)->setCurrentIndex(qMax(row.mode, 0));
            w<QTextEdit>("textEdit_send" + n)->setPlainText(row.text);
            w<QPushButton>("pushButton_send" + n)->click();
            page->sendHex("COM" + n, "7E"); // whatever went out before arrives first
            QCOMPARE((row.pane == 1 ? pty1 : pty2)->readAtLeast(row.bytes.size() + 1), row.bytes + '\x7E');
        }
        const QString text = "错误|文本输入有误：第 ", escapes = "”不是可用的转义（可用 \\r \\n \\t \\\\ \\xNN）。";
        QCOMPARE(closer.seen, QStringList({"错误|十六进制输入有误：第 11 个字符起的“1”有奇数个数字，每个字节要写两位。", text + "3 个字符起的“\\" + escapes,
                                           text + "3 个字符起的“\\q" + escapes, text + "2 个字符起的“\\x4" + escapes}));
        feed(1, initFrame, true); // the first line: nothing sent was shown
        w<QCheckBox>("checkBox_echo1")->setChecked(true);
        w<QComboBox>("comboBox_view1")->setCurrentIndex(2);
        page->sendHex("COM1", "41 0D");
        QVERIFY(pty2->write("xyz") && pty1->readAtLeast(5) == "A\rxyz"); // relayed bytes are not the user's
        feed(1, QByteArray("OK"), true);
        feed(2, {}, true);
        QCOMPARE(shown(1) + shown(2), frameLine + "\n→ T 41 0D  A\\r\n" + QString("4F 4B ").leftJustified(48) + " OK78 79 7A ");
        QCOMPARE(w<QTextEdit>("textEdit_rec1")->toHtml().count("color:"), 1); // the sent line only
        auto *repeat = w<QCheckBox>("checkBox_repeat1");
        w<QSpinBox>("spinBox_repeat1")->setValue(20);
        repeat->setChecked(true);
        QVERIFY(pty1->readAtLeast(3).startsWith("UUU"));
        repeat->setChecked(false);
        QVERIFY(pty1->readAtLeast(1 << 20, 50).size() < 5); // once an interval, no faster
        QCOMPARE(pty1->readAtLeast(1, 100), QByteArray());
        repeat->setChecked(true);
        w<QPushButton>("pushButton_open1")->click();
        repeat->setChecked(true);
        QTRY_VERIFY(!repeat->isChecked() && shown(1).contains("串口未打开，不能重复发送"));
    }

    // A port that cannot be opened says why. The preset rows of either
    // protocol version go out as they stand, or as edited; a row that is no
    // hexadecimal says why.
    void openFailureAndPresets()
    {
        const QByteArray key = QByteArray("5f0c2e7d9b1a4c83a6e2d4f7b8c90e15").toHex(' ') + " 00 ";
        const QByteArray v3 = QByteArray::fromHex("00 00 00 03 00 02 03 0b 00 00 00 03 00 02 03 08 00 00 00 03 00 02 03 06 "
                                                  "00 00 00 03 00 28 03 07 00 20 " + key + "02 00 01");
        const QByteArray v4 = QByteArray::fromHex("FF FF 00 05 0B 00 00 00 10 FF FF 00 06 09 00 00 00 02 11 FF FF 00 05 01 00 00 00 06 "
                                                  "FF FF 00 47 02 01 00 00 " + QByteArray("00000004000000040000000100000001").toHex() + key + "00 77");
        ModalCloser closer;
        QVERIFY(!open(1, "/dev/vok-no-such-port") && !open(2, ""));
        QVERIFY(open(1, pty1->slavePath()) && !open(2, pty1->slavePath()) && open(2, pty2->slavePath())); // one device, one pane
        for (const QString button : {"left1", "left2", "left3", "left4", "v4", "right1", "right2", "right3", "right4"})
            w<QPushButton>("pushButton_" + button)->click();
        QCOMPARE(pty1->readAtLeast(v3.size()) + pty2->readAtLeast(v4.size()), v3 + v4);
        QCOMPARE(w<QLineEdit>("lineEdit_default4")->text(), QString(v4.mid(28).toHex(' ').toUpper()));
        w<QLineEdit>("lineEdit_default3")->setText("FF FF 00 05 0G");
        for (const QString button : {"right3", "v3", "left3"})
            w<QPushButton>("pushButton_" + button)->click();
        QCOMPARE(pty1->readAtLeast(8) + pty2->read(50), QByteArray::fromHex("0000000300020306"));
        w<QPushButton>("pushButton_open2")->click();
        w<QComboBox>("rate_2")->setEditText("");
        QVERIFY(!open(2, pty2->slavePath()));
        QCOMPARE(closer.seen, QStringList({"错误|打开失败！\nNo such file or directory", "错误|打开失败！\n没有串口名",
                                           "错误|打开失败！\nPermission error while locking the device",
                                           "错误|十六进制输入有误：第 14 个字符 “G” 不是十六进制数字或分隔符。", "错误|打开失败！\n波特率无效"}));
    }

    // A lost port is closed and said once; a device that comes back at the
    // same path is opened again, unless the user closed the port. (The port
    // list, due once a second, is announced at once here.)
    void lostPortComesBack()
    {
        const QString device = home.filePath("ttyA"), peer = home.filePath("ttyB");
        QProcess link;
        auto makeLink = [&] {
            link.start("socat", {"pty,raw,echo=0,link=" + device, "pty,raw,echo=0,link=" + peer});
            return QTest::qWaitFor([&] { return QFile::exists(device) && QFile::exists(peer); }, 5000);
        };
        QVERIFY(makeLink() && open(1, device) && open(2, pty2->slavePath()));
        link.terminate();
        QVERIFY(link.waitForFinished());
        QTRY_COMPARE(shown(1).count("串口已断开"), 1);
        QCOMPARE(w<QPushButton>("pushButton_open1")->text() + page->portName(0) + page->portName(1), "打开串口" + pty2->slavePath());
        QVERIFY(makeLink());
        emit PortListWatcher::shared()->listed({});
        QCOMPARE(w<QPushButton>("pushButton_open1")->text() + page->portName(0), "关闭串口" + device);
        QTRY_VERIFY(shown(1).contains("串口已重新打开"));
        w<QPushButton>("pushButton_open1")->click();
        emit PortListWatcher::shared()->listed({});
        QCOMPARE(w<QPushButton>("pushButton_open1")->text(), QStringLiteral("打开串口"));
        link.close();
    }

    // What the user set comes back in the next run, each pane its own. The
    // port list comes every second and whenever it changes: a listed choice
    // still listed stays, a typed path stays as typed.
    void settingsAndPortList()
    {
        const QList<std::tuple<QString, const char *, QVariant>> fields = {
            {"com_2", "currentText", "/dev/ttyUSB7"}, {"rate_1", "currentText", "921600"}, {"rate_2", "currentText", "9600"},
            {"stop_2", "currentIndex", 2}, {"comboBox_sendMode1", "currentIndex", 1}, {"comboBox_lineEnd1", "currentIndex", 3},
            {"comboBox_view2", "currentIndex", 2}, {"textEdit_send1", "plainText", "AT+RST"}, {"checkBox_echo1", "checked", false},
            {"checkBox_echo2", "checked", true}, {"checkBox_reopen1", "checked", false}, {"checkBox_reopen2", "checked", true},
            {"spinBox_repeat2", "value", 250}, {"lineEdit_default3", "text", "FF FF 00 05 01 00 00 00 06"}};
        for (const auto &[name, property, value] : fields)
            w<QWidget>(name)->setProperty(property, value);
        page.reset(new DoubleWindow);
        for (const auto &[name, property, value] : fields)
            QCOMPARE(w<QWidget>(name)->property(property), value);
        feed(2, QByteArray("hi\n"), true); // the view is in effect, not only in its box
        QCOMPARE(shown(2), QString("68 69 0A ").leftJustified(48) + " hi\\n");
        auto *com1 = w<QComboBox>("com_1");
        auto refresh = [this](const QList<QString> &names) { QMetaObject::invokeMethod(page.get(), "UpdateUi", Q_ARG(QList<QString>, names)); };
        refresh({"ttyS0", "ttyUSB0"});
        com1->setCurrentIndex(1);
        refresh({"ttyACM0", "ttyS0", "ttyUSB0"});
        QCOMPARE(com1->currentText() + w<QComboBox>("com_2")->itemText(2), QStringLiteral("ttyUSB0ttyUSB0"));
        refresh({});
        QCOMPARE(com1->currentText() + w<QComboBox>("com_2")->currentText(), QStringLiteral("/dev/ttyUSB7"));
    }
};

QTEST_MAIN(TestDoubleWindow)
#include "tst_doublewindow.moc"
