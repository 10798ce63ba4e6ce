#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "pages/common/rememberedfields.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QBrush>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

#include <limits>
#include <memory>

using namespace McuFixture;

namespace {

const QString richKey = QStringLiteral("0123456789abcdef0123456789abcdef");
const QString noDefinitionKey = QStringLiteral("ffffffffffffffffffffffffffffffff");

const QColor grey(221, 221, 221);
const QColor white(255, 255, 255);
const QColor orange(252, 222, 156);

// P bool and E enum share the writable bit area; U uint32, H binary (3
// bytes), R a read-only uint8 with range 10..20, X a type the page has no
// editor for.
QJsonArray richDefinition()
{
    QJsonObject enumPoint = attr("E", "enum", "status_writable", "bit", 2, 0, 1);
    enumPoint.insert("enum", QJsonArray{"low", "mid", "high"});
    return QJsonArray{attr("P", "bool", "status_writable", "bit", 1, 0, 0), enumPoint,
                      withRange(attr("U", "uint32", "status_writable", "byte", 4, 1), 0, 4294967295LL),
                      attr("H", "binary", "status_writable", "byte", 3, 5),
                      withRange(attr("R", "uint8", "status_readonly", "byte", 1, 8), 10, 20),
                      attr("X", "string", "status_readonly", "byte", 1, 9)};
}

// Line `at` is "<prefix>hh:mm:ss.zzz" and the next line holds the frame's bytes.
bool isEntry(const QStringList &lines, int at, const QString &prefix, const QString &bytes)
{
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
    const QString header = lines.value(at);
    return header.startsWith(prefix) && time.match(header.mid(prefix.size())).hasMatch()
           && lines.value(at + 1) == bytes;
}

} // namespace

class TestMcuWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void portBox();
    void statusReadIsAnsweredFromTheTable();
    void controlFramesUpdateTheTable();
    void everyEditorKindFollowsTheDefinition();
    void emptyTableReport();
    void productInfoAndOtherReplies();
    void userFramesOnlyWithThePortOpen();
    void refusedHexIsNeitherSentNorLogged();
    void brokenTemplateIsReportedOnce();
    void clickedLinesFillTheAnalysisPanel();
    void settingsComeBackAfterARestart();

private:
    void makePage(const QString &productKey);
    QTableWidget *table() const { return child<QTableWidget>(page.get(), "datapoint_table"); }
    QSpinBox *spin(int row) const { return qobject_cast<QSpinBox *>(table()->cellWidget(row, 1)); }
    QColor nameColour(int row) const { return table()->item(row, 0)->background().color(); }
    void click(const char *button) { child<QPushButton>(page.get(), button)->click(); }
    QByteArray readExactly(int count);

    TestRoot root;
    std::unique_ptr<McuWindow> page;
    std::unique_ptr<PtyPair> pty;
};

void TestMcuWindow::initTestCase()
{
    QVERIFY(root.isValid());
    writeDefinition(abcKey, abcDefinition());
    writeDefinition(richKey, richDefinition());
}

void TestMcuWindow::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    makePage(abcKey);
    QCOMPARE(table()->rowCount(), 3); // the editors of A, B and C
}

void TestMcuWindow::cleanup()
{
    page.reset();
    pty.reset();
}

void TestMcuWindow::makePage(const QString &productKey)
{
    page.reset();
    writeSettings(productKey);
    RememberedFields::userSettings().remove("mcu"); // every test starts from the form
    page = std::make_unique<McuWindow>();
    page->show();
}

void TestMcuWindow::settingsComeBackAfterARestart()
{
    child<QComboBox>(page.get(), "com_3")->setEditText("/dev/ttyTEST9");
    child<QComboBox>(page.get(), "rate_3")->setEditText("921600");
    child<QComboBox>(page.get(), "check_3")->setCurrentIndex(2);
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("FF FF 00 05 01 00 00 00 06");
    child<QSpinBox>(page.get(), "spinBox")->setValue(42);
    QCoreApplication::processEvents(); // the settings are saved from the event loop
    page = std::make_unique<McuWindow>();
    QCOMPARE(child<QComboBox>(page.get(), "com_3")->currentText(), QString("/dev/ttyTEST9"));
    QCOMPARE(child<QComboBox>(page.get(), "rate_3")->currentText(), QString("921600"));
    QCOMPARE(child<QComboBox>(page.get(), "check_3")->currentIndex(), 2);
    QCOMPARE(child<QTextEdit>(page.get(), "textEdit_send3")->toPlainText(),
             QString("FF FF 00 05 01 00 00 00 06"));
    QCOMPARE(child<QSpinBox>(page.get(), "spinBox")->value(), 42);
}

QByteArray TestMcuWindow::readExactly(int count)
{
    QByteArray bytes = pty->readAtLeast(count, 10000);
    bytes += pty->read(50, 10); // anything beyond the expected bytes is a fault
    return bytes;
}

void TestMcuWindow::portBox()
{
    QCOMPARE(child<QComboBox>(page.get(), "rate_3")->currentText(), QStringLiteral("9600"));
    auto *interval = child<QSpinBox>(page.get(), "spinBox");
    QCOMPARE(QList<int>({interval->minimum(), interval->maximum(), interval->value()}), QList<int>({3, 99, 3}));

    ModalCloser closer;
    QVERIFY(!openPort(page.get(), QString()));
    QCOMPARE(closer.seen, QStringList({QStringLiteral("错误|打开失败！\n没有串口名")}));
    QVERIFY(!openPort(page.get(), "/dev/no-such-port"));
    QCOMPARE(closer.seen.value(1), QStringLiteral("错误|打开失败！\nNo such file or directory"));

    // A path typed by hand survives the port list refreshes, even empty ones.
    auto *ports = child<QComboBox>(page.get(), "com_3");
    ports->setEditText(pty->slavePath());
    for (const QList<QString> &names : {QList<QString>(), QList<QString>({"ttyS0", "ttyUSB0"})})
        QVERIFY(QMetaObject::invokeMethod(page.get(), "UpdateUi", Q_ARG(QList<QString>, names)));
    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->currentText(), pty->slavePath());
}

void TestMcuWindow::statusReadIsAnsweredFromTheTable()
{
    spin(0)->setValue(1);
    spin(1)->setValue(200);
    spin(2)->setValue(4660);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    const QByteArray request = stamped(hex("FFFF0006 03 21 0000 02 00"));
    QVERIFY(pty->write(request));
    QCOMPARE(readExactly(14).toHex(' '), hex("FFFF000A 04 21 0000 03 01C81234 41").toHex(' '));
    QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 4);
    QVERIFY2(isEntry(lines, 0, "WIFI:", hexText(request)), qPrintable(lines.join('\n')));
    QVERIFY2(isEntry(lines, 2, "MCU:", "FF FF 00 0A 04 21 00 00 03 01 C8 12 34 41 "), qPrintable(lines.join('\n')));

    click("pushButton_upload");
    QCOMPARE(readExactly(14).toHex(' '), hex("FFFF000A 05 00 0000 04 01C81234 22").toHex(' '));
    lines = logLines(page.get());
    QCOMPARE(lines.size(), 6);
    QVERIFY(isEntry(lines, 4, "SEND:", "FF FF 00 0A 05 00 00 00 04 01 C8 12 34 22 "));

    // B = 255 puts an FF in the payload; sn A8 makes the checksum FF as well.
    spin(1)->setValue(255);
    QVERIFY(pty->write(stamped(hex("FFFF0006 03 A8 0000 02 00"))));
    const QByteArray wire = hex("FFFF000A 04 A8 0000 03 01FF551234 FF55");
    QCOMPARE(readExactly(wire.size()).toHex(' '), wire.toHex(' '));
    QCOMPARE(logLines(page.get()).value(9), hexText(wire)); // logged as written

    // A row whose name no longer matches the definition is left out (B = 0).
    table()->item(1, 0)->setText("B2");
    click("pushButton_upload");
    const QByteArray report = stamped(hex("FFFF000A 05 00 0000 04 01 00 1234 00"));
    QCOMPARE(readExactly(report.size()).toHex(' '), report.toHex(' '));
}

void TestMcuWindow::controlFramesUpdateTheTable()
{
    spin(2)->setValue(7);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QCOMPARE(nameColour(2), grey);

    // Mask 03: A and B present; A = 1 in the bit area, B = 0x64.
    const QByteArray control = stamped(hex("FFFF0009 03 10 0000 01 03 01 64 00"));
    const QByteArray ack = stamped(hex("FFFF0005 04 10 0000 00"));
    QVERIFY(pty->write(control));
    QCOMPARE(readExactly(9).toHex(' '), ack.toHex(' '));
    QCOMPARE(QList<int>({spin(0)->value(), spin(1)->value(), spin(2)->value()}), QList<int>({1, 100, 7}));
    QCOMPARE(QList<QColor>({nameColour(0), nameColour(1), nameColour(2)}), QList<QColor>({orange, orange, grey}));
    const QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 4);
    QVERIFY(isEntry(lines, 0, "WIFI:", hexText(control)));
    QVERIFY(isEntry(lines, 2, "MCU:", hexText(ack)));

    // A alone: B turns white again and keeps its value; C stays grey.
    QVERIFY(pty->write(stamped(hex("FFFF0009 03 11 0000 01 01 00 00 00"))));
    QCOMPARE(readExactly(9).size(), 9);
    QCOMPARE(QList<int>({spin(0)->value(), spin(1)->value(), spin(2)->value()}), QList<int>({0, 100, 7}));
    QCOMPARE(QList<QColor>({nameColour(0), nameColour(1), nameColour(2)}), QList<QColor>({orange, white, grey}));

    // With sn FA the acknowledgement's checksum is 03 and sits in byte 8,
    // where a status reply has its action: it must still go out as the
    // 9-byte acknowledgement.
    QVERIFY(pty->write(stamped(hex("FFFF0009 03 FA 0000 01 03 01 64 00"))));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 FA 0000 03").toHex(' '));
    QCOMPARE(spin(1)->value(), 100);
    QCOMPARE(logLines(page.get()).value(11), QStringLiteral("FF FF 00 05 04 FA 00 00 03 "));

    // A 03 frame without payload has no action, whatever its checksum byte
    // holds: 02 (sn FA) is no status read, 01 (sn F9) no control.
    QVERIFY(pty->write(hex("FFFF0005 03 FA 0000 02")));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 FA 0000 03").toHex(' '));
    QVERIFY(pty->write(hex("FFFF0005 03 F9 0000 01")));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 F9 0000 02").toHex(' '));
    QCOMPARE(QList<QColor>({nameColour(0), nameColour(1)}), QList<QColor>({orange, orange}));
}

void TestMcuWindow::everyEditorKindFollowsTheDefinition()
{
    makePage(richKey);
    QCOMPARE(table()->rowCount(), 6);
    QCOMPARE(spin(0)->maximum(), 1);
    auto *combo = qobject_cast<QComboBox *>(table()->cellWidget(1, 1));
    auto *edit = qobject_cast<QLineEdit *>(table()->cellWidget(3, 1));
    QVERIFY(combo && edit);
    QCOMPARE(combo->currentText(), QStringLiteral("low"));
    // A uint32 range beyond what a spin box holds ends at its maximum.
    QCOMPARE(spin(2)->maximum(), std::numeric_limits<int>::max());
    QCOMPARE(edit->maxLength(), 6);
    QVERIFY(edit->validator());
    QCOMPARE(spin(4)->value(), 10); // 0 brought into 10..20
    QVERIFY(!table()->cellWidget(5, 1) && !table()->item(5, 1));
    QCOMPARE(nameColour(5), grey);

    // E = 2 (bits 1-2), U = FFFFFFFF, H = 0A B0 FF; P absent.
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QVERIFY(pty->write(escaped(stamped(hex("FFFF000F 03 05 0000 01 0E 04 FFFFFFFF 0AB0FF 00")))));
    QCOMPARE(readExactly(9).size(), 9);
    QCOMPARE(combo->currentText(), QStringLiteral("high"));
    QCOMPARE(spin(2)->value(), std::numeric_limits<int>::max());
    QCOMPARE(edit->text(), QStringLiteral("0ab0ff"));
    QCOMPARE(QList<QColor>({nameColour(0), nameColour(1), nameColour(2), nameColour(3), nameColour(4)}),
             QList<QColor>({white, orange, orange, orange, grey}));

    // A short hex text is padded with zeros on the right: 1 gives 10 00 00.
    spin(0)->setValue(1);
    edit->setText("1");
    click("pushButton_upload");
    const QByteArray report = escaped(stamped(hex("FFFF0010 05 00 0000 04 05 7FFFFFFF 100000 0A 00 00")));
    QCOMPARE(readExactly(report.size()).toHex(' '), report.toHex(' '));
}

void TestMcuWindow::emptyTableReport()
{
    makePage(noDefinitionKey);
    QCOMPARE(table()->rowCount(), 0);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    click("pushButton_upload");
    QCOMPARE(readExactly(10).toHex(' '), hex("FFFF0006 05 00 0000 04 0F").toHex(' '));
}

void TestMcuWindow::productInfoAndOtherReplies()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));

    QVERIFY(pty->write(hex("FFFF0005 01 07 0000 0D")));
    QByteArray info = productInfoTemplate(abcKey);
    info[5] = 0x07;
    QCOMPARE(readExactly(75).toHex(), stamped(info).toHex());

    QVERIFY(pty->write(stamped(hex("FFFF0007 0D 02 0000 00 32 00"))));
    QCOMPARE(readExactly(9).toHex(), stamped(hex("FFFF0005 0E 02 0000 00")).toHex());

    // 05 and 0B have no reply; the 07 after them is answered with 08 only.
    QVERIFY(pty->write(stamped(hex("FFFF0006 05 03 0000 04 00")) + hex("FFFF0005 0B 00 0000 10")
                       + stamped(hex("FFFF0005 07 09 0000 00"))));
    QCOMPARE(readExactly(9).toHex(), stamped(hex("FFFF0005 08 09 0000 00")).toHex());
    QCOMPARE(headerCount(page.get(), "WIFI:"), 5);
    QCOMPARE(headerCount(page.get(), "MCU:"), 3);
}

void TestMcuWindow::userFramesOnlyWithThePortOpen()
{
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("FF FF 00 05 01 00 00 00 06");
    for (const char *name : {"pushButton_send3", "pushButton_easylink", "pushButton_init",
                             "pushButton_upload", "pushButton_autoupload"})
        click(name);
    QTest::qWait(50);
    QVERIFY(logLines(page.get()).isEmpty());
    QCOMPARE(child<QPushButton>(page.get(), "pushButton_autoupload")->text(), QStringLiteral("定时上报开"));

    // Opened now, nothing that was clicked before reaches the line.
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QVERIFY(pty->read(200).isEmpty());

    // With the port open they send exactly their bytes and log them.
    click("pushButton_send3");
    QCOMPARE(readExactly(9).toHex(), hex("FFFF00050100000006").toHex());
    click("pushButton_easylink");
    QCOMPARE(readExactly(10).toHex(), hex("FFFF0006090000000211").toHex());
    click("pushButton_init");
    QCOMPARE(readExactly(9).toHex(), hex("FFFF0005 0B00000010").toHex());
    const QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 6);
    QVERIFY(isEntry(lines, 0, "SEND:", "FF FF 00 05 01 00 00 00 06 "));
    QVERIFY(isEntry(lines, 2, "SEND:", "FF FF 00 06 09 00 00 00 02 11 "));
    QVERIFY(isEntry(lines, 4, "SEND:", "FF FF 00 05 0B 00 00 00 10 "));
}

// Typed or stored text that cannot be read one way only.
void TestMcuWindow::refusedHexIsNeitherSentNorLogged()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QSettings settings(VokFiles::analyzeSettings(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue("Defaule/4B", "FF FF 00 05 0B 00 00 00 1");
    settings.sync();

    ModalCloser closer;
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("0x55 0xAA hello");
    click("pushButton_send3");
    click("pushButton_init");
    QCOMPARE(closer.seen,
             QStringList({"错误|十六进制输入有误：第 11 个字符 “h” 不是十六进制数字或分隔符。",
                          "错误|十六进制输入有误：第 25 个字符起的“1”有奇数个数字，每个字节要写两位。"}));
    QCOMPARE(pty->read(200), QByteArray());
    QCOMPARE(logLines(page.get()), QStringList());
}

// A reply template that is not whole bytes would go out shifted by half a
// byte: it is not sent, and the log names it once however often it is asked for.
void TestMcuWindow::brokenTemplateIsReportedOnce()
{
    QSettings settings(VokFiles::analyzeSettings(), QSettings::IniFormat);
    settings.setValue("Respond/08", "FF FF 00 05 08 00 00 00 0");
    settings.sync();
    QVERIFY(openPort(page.get(), pty->slavePath()));
    const QByteArray heartbeat = stamped(hex("FFFF0005 07 09 0000 00"));
    QVERIFY(pty->write(heartbeat + heartbeat));
    QTRY_COMPARE(headerCount(page.get(), "WIFI:"), 2);
    QCOMPARE(pty->read(50, 200), QByteArray());
    const QStringList notices = logLines(page.get()).filter("Respond/08");
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.first().contains(QStringLiteral("第 25 个字符起的“0”有奇数个数字")), qPrintable(notices.first()));
}

void TestMcuWindow::clickedLinesFillTheAnalysisPanel()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    // A 0D frame with a wrong checksum (00), then a product-information request.
    QVERIFY(pty->write(hex("FFFF0007 0D 02 0000 00 32 00") + hex("FFFF0005 01 07 0000 0D")));
    QCOMPARE(readExactly(9 + 75).size(), 84);
    auto *list = child<QListWidget>(page.get(), "listWidget");
    QCOMPARE(list->count(), 8);

    auto clickLine = [&](int row) {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    };
    auto labels = [&] {
        QStringList texts;
        for (const char *name : {"label_analyze", "label_length", "label_cmd", "label_sn", "label_checksum_2",
                                 "label_checksum_mismatch", "label_wifistate", "label_connect", "label_productkey"})
            texts << child<QLabel>(page.get(), name)->text();
        return texts;
    };
    // The computed checksum beside the 00 received, marked as not matching.
    const QStringList wifiFrame{"wifi状态", "07", "0d", "02", "48 / 帧内 00", "不符", "已连接路由器", "已连接云端", ""};

    clickLine(1);
    QCOMPARE(labels(), wifiFrame);
    clickLine(4); // a header line changes nothing
    QCOMPARE(labels(), wifiFrame);
    clickLine(7); // the product-information reply
    const QStringList info = labels();
    QCOMPARE(info[0], QStringLiteral("产品信息应答"));
    QCOMPARE(info[2], QStringLiteral("02"));
    // Stamped by the page: the two agree.
    QVERIFY(QRegularExpression("^([0-9a-f]{2}) / 帧内 \\1$").match(info[4]).hasMatch());
    QCOMPARE(info.mid(5), QStringList({"", "", "", abcKey}));
    clickLine(1);
    QCOMPARE(labels(), wifiFrame);

    // A line shorter than a frame has no checksum byte to compare.
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("01 02");
    click("pushButton_send3");
    QTRY_COMPARE(list->count(), 10);
    clickLine(9);
    QCOMPARE(labels().mid(4, 2), QStringList({"", ""}));

    // A status reply written escaped (FF 55 in its payload) is explained as
    // the frame it carries: its checksum agrees.
    spin(1)->setValue(255);
    QVERIFY(pty->write(stamped(hex("FFFF0006 03 A8 0000 02 00"))));
    QCOMPARE(readExactly(2 + 15).right(6).toHex(' '), hex("00 FF 55 0000 B8").toHex(' '));
    QTRY_COMPARE(list->count(), 14);
    clickLine(13);
    QCOMPARE(labels().mid(1, 5), QStringList({"0a", "04", "a8", "b8 / 帧内 b8", ""}));
}

QTEST_MAIN(TestMcuWindow)
#include "tst_mcuwindow.moc"
