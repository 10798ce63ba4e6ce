#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

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
                      withRange(attr("U", "uint32", "status_writable", "byte", 4, 1), 0,
                                4294967295LL),
                      attr("H", "binary", "status_writable", "byte", 3, 5),
                      withRange(attr("R", "uint8", "status_readonly", "byte", 1, 8), 10, 20),
                      attr("X", "string", "status_readonly", "byte", 1, 9)};
}

bool isTimeHeader(const QString &line, const QString &prefix)
{
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    return line.startsWith(prefix) && time.match(line.mid(prefix.size())).hasMatch();
}

} // namespace

class TestMcuWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void formAsLaidOut();
    void statusReadIsAnsweredFromTheTable();
    void statusFramesAreEscaped();
    void controlFramesUpdateTheTable();
    void controlAcknowledgementIsNotMistakenForStatus();
    void editorsFollowTheDefinition();
    void controlAndStatusWithEveryEditorKind();
    void renamedRowIsSkipped();
    void emptyTableReport();
    void productInfoAndOtherReplies();
    void buttonsDoNothingWhilePortClosed();
    void userFramesAreSentAndLogged();
    void timedUploadOnOffAndAcrossLeavingThePage();
    void clickedLinesFillTheAnalysisPanel();
    void portListRefreshKeepsTypedPath();
    void openFailureIsReported();
    void clearLogEmptiesTheList();
    void longLogEndsAtItsLastLine();

private:
    void makePage(const QString &productKey);
    QSpinBox *spin(int row) const;
    QColor nameColour(int row) const;
    QByteArray readExactly(int count);

    std::unique_ptr<SavedFiles> saved;
    std::unique_ptr<McuWindow> page;
    std::unique_ptr<PtyPair> pty;
};

void TestMcuWindow::initTestCase()
{
    saved = std::make_unique<SavedFiles>();
    for (const QString &path : {iniPath(), definitionPath(abcKey), definitionPath(richKey),
                                definitionPath(noDefinitionKey)})
        saved->keep(path);
    QFile::remove(definitionPath(noDefinitionKey));
    writeDefinition(abcKey, abcDefinition());
    writeDefinition(richKey, richDefinition());
}

void TestMcuWindow::cleanupTestCase()
{
    saved.reset();
}

void TestMcuWindow::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    makePage(abcKey);
    // Every test below may use the three editors of A, B and C.
    QCOMPARE(child<QTableWidget>(page.get(), "datapoint_table")->rowCount(), 3);
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
    page = std::make_unique<McuWindow>();
    page->show();
}

QSpinBox *TestMcuWindow::spin(int row) const
{
    return qobject_cast<QSpinBox *>(child<QTableWidget>(page.get(), "datapoint_table")->cellWidget(row, 1));
}

QColor TestMcuWindow::nameColour(int row) const
{
    return child<QTableWidget>(page.get(), "datapoint_table")->item(row, 0)->background().color();
}

QByteArray TestMcuWindow::readExactly(int count)
{
    QByteArray bytes = pty->readAtLeast(count, 10000);
    bytes += pty->read(300, 50); // anything beyond the expected bytes is a fault
    return bytes;
}

void TestMcuWindow::formAsLaidOut()
{
    // The settings a port is opened with when the user changes nothing.
    QWidget *p = page.get();
    QCOMPARE(child<QComboBox>(p, "rate_3")->currentText(), QStringLiteral("9600"));
    QCOMPARE(child<QComboBox>(p, "rate_3")->count(), 11);
    QCOMPARE(child<QComboBox>(p, "data_3")->currentText(), QStringLiteral("8"));
    QCOMPARE(child<QComboBox>(p, "stop_3")->currentText(), QStringLiteral("1"));
    QCOMPARE(child<QComboBox>(p, "check_3")->currentText(), QStringLiteral("None"));
    QVERIFY(child<QComboBox>(p, "com_3")->isEditable());
    auto *interval = child<QSpinBox>(p, "spinBox");
    QCOMPARE(interval->minimum(), 3);
    QCOMPARE(interval->maximum(), 99);
    QCOMPARE(interval->value(), 3);

    // The background label is the lowest widget and shows the picture beside the program.
    auto *background = child<QLabel>(p, "label_background2");
    QWidget *lowest = nullptr;
    for (QObject *object : p->children()) {
        if ((lowest = qobject_cast<QWidget *>(object)))
            break;
    }
    QCOMPARE(lowest, background);
    QVERIFY(background->styleSheet().startsWith(QStringLiteral("border-image:url(")));
    QVERIFY(background->styleSheet().contains(binDir() + QStringLiteral("/image/background.png")));
}

void TestMcuWindow::statusReadIsAnsweredFromTheTable()
{
    spin(0)->setValue(1);
    spin(1)->setValue(200);
    spin(2)->setValue(4660);
    QVERIFY(openPort(page.get(), pty->slavePath()));

    const QByteArray request = stamped(hex("FFFF0006 03 21 0000 02 00"));
    QVERIFY(pty->write(request));
    const QByteArray reply = readExactly(14);
    QCOMPARE(reply.toHex(' '), hex("FFFF000A 04 21 0000 03 01C81234 41").toHex(' '));

    QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 4);
    QVERIFY2(isTimeHeader(lines[0], "WIFI:"), qPrintable(lines[0]));
    QCOMPARE(lines[1], hexText(request));
    QVERIFY2(isTimeHeader(lines[2], "MCU:"), qPrintable(lines[2]));
    QCOMPARE(lines[3], QStringLiteral("FF FF 00 0A 04 21 00 00 03 01 C8 12 34 41 "));

    child<QPushButton>(page.get(), "pushButton_upload")->click();
    QCOMPARE(readExactly(14).toHex(' '), hex("FFFF000A 05 00 0000 04 01C81234 22").toHex(' '));
    lines = logLines(page.get());
    QCOMPARE(lines.size(), 6);
    QVERIFY(isTimeHeader(lines[4], "SEND:"));
    QCOMPARE(lines[5], QStringLiteral("FF FF 00 0A 05 00 00 00 04 01 C8 12 34 22 "));
}

void TestMcuWindow::statusFramesAreEscaped()
{
    // B = 255 puts an FF in the payload; sn A8 makes the checksum FF as well.
    spin(0)->setValue(1);
    spin(1)->setValue(255);
    spin(2)->setValue(4660);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QVERIFY(pty->write(stamped(hex("FFFF0006 03 A8 0000 02 00"))));
    const QByteArray wire = hex("FFFF000A 04 A8 0000 03 01FF551234 FF55");
    QCOMPARE(readExactly(wire.size()).toHex(' '), wire.toHex(' '));
    // The log shows the bytes exactly as written.
    QCOMPARE(logLines(page.get()).value(3), hexText(wire));
}

void TestMcuWindow::controlFramesUpdateTheTable()
{
    spin(2)->setValue(7);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QCOMPARE(nameColour(2), grey);

    // Mask 03: A and B present; A = 1 in the bit area, B = 0x64.
    const QByteArray control = stamped(hex("FFFF0009 03 10 0000 01 03 01 64 00"));
    QVERIFY(pty->write(control));
    QCOMPARE(readExactly(9).toHex(' '), stamped(hex("FFFF0005 04 10 0000 00")).toHex(' '));
    QCOMPARE(spin(0)->value(), 1);
    QCOMPARE(spin(1)->value(), 100);
    QCOMPARE(nameColour(0), orange);
    QCOMPARE(nameColour(1), orange);
    QCOMPARE(nameColour(2), grey);
    QCOMPARE(spin(2)->value(), 7);
    const QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 4);
    QVERIFY(isTimeHeader(lines[0], "WIFI:"));
    QCOMPARE(lines[1], hexText(control));
    QVERIFY(isTimeHeader(lines[2], "MCU:"));

    // A alone: B turns white again and keeps its value; C stays grey.
    QVERIFY(pty->write(stamped(hex("FFFF0009 03 11 0000 01 01 00 00 00"))));
    QCOMPARE(readExactly(9).size(), 9);
    QCOMPARE(spin(0)->value(), 0);
    QCOMPARE(spin(1)->value(), 100);
    QCOMPARE(nameColour(0), orange);
    QCOMPARE(nameColour(1), white);
    QCOMPARE(nameColour(2), grey);
    QCOMPARE(spin(2)->value(), 7);
}

void TestMcuWindow::controlAcknowledgementIsNotMistakenForStatus()
{
    // With sn FA the acknowledgement's checksum is 03 and sits in byte 8,
    // where a status reply has its action: it must still go out as the
    // 9-byte acknowledgement.
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QVERIFY(pty->write(stamped(hex("FFFF0009 03 FA 0000 01 03 01 64 00"))));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 FA 0000 03").toHex(' '));
    QCOMPARE(spin(1)->value(), 100);
    QCOMPARE(logLines(page.get()).value(3), QStringLiteral("FF FF 00 05 04 FA 00 00 03 "));

    // A 03 frame without payload has no action, whatever its checksum byte
    // holds: 02 (sn FA) is no status read, 01 (sn F9) no control.
    QVERIFY(pty->write(hex("FFFF0005 03 FA 0000 02")));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 FA 0000 03").toHex(' '));
    QVERIFY(pty->write(hex("FFFF0005 03 F9 0000 01")));
    QCOMPARE(readExactly(9).toHex(' '), hex("FFFF0005 04 F9 0000 02").toHex(' '));
    QCOMPARE(nameColour(0), orange); // still from the control frame above
    QCOMPARE(nameColour(1), orange);
}

void TestMcuWindow::editorsFollowTheDefinition()
{
    makePage(richKey);
    auto *table = child<QTableWidget>(page.get(), "datapoint_table");
    QCOMPARE(table->rowCount(), 6);
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(table->columnWidth(0), 220);
    QStringList names;
    for (int row = 0; row < table->rowCount(); ++row)
        names.append(table->item(row, 0)->text());
    QCOMPARE(names, QStringList({"P", "E", "U", "H", "R", "X"}));

    QCOMPARE(spin(0)->minimum(), 0);
    QCOMPARE(spin(0)->maximum(), 1);
    auto *combo = qobject_cast<QComboBox *>(table->cellWidget(1, 1));
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentText(), QStringLiteral("low"));
    // A uint32 range beyond what a spin box holds ends at its maximum.
    QCOMPARE(spin(2)->minimum(), 0);
    QCOMPARE(spin(2)->maximum(), std::numeric_limits<int>::max());
    auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(3, 1));
    QVERIFY(edit);
    QCOMPARE(edit->maxLength(), 6);
    QVERIFY(edit->validator());
    QCOMPARE(spin(4)->value(), 10); // 0 brought into 10..20
    QCOMPARE(nameColour(4), grey);
    QCOMPARE(nameColour(5), grey);
    QVERIFY(!table->cellWidget(5, 1));
    QVERIFY(!table->item(5, 1));
}

void TestMcuWindow::controlAndStatusWithEveryEditorKind()
{
    makePage(richKey);
    auto *table = child<QTableWidget>(page.get(), "datapoint_table");
    QCOMPARE(table->rowCount(), 6);
    auto *combo = qobject_cast<QComboBox *>(table->cellWidget(1, 1));
    auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(3, 1));
    QVERIFY(combo && edit);
    QVERIFY(openPort(page.get(), pty->slavePath()));

    // E = 2 (bits 1-2), U = FFFFFFFF, H = 0A B0 FF; P absent.
    const QByteArray control = stamped(hex("FFFF000F 03 05 0000 01 0E 04 FFFFFFFF 0AB0FF 00"));
    QVERIFY(pty->write(escaped(control)));
    QCOMPARE(readExactly(9).size(), 9);
    QCOMPARE(combo->currentText(), QStringLiteral("high"));
    QCOMPARE(spin(2)->value(), std::numeric_limits<int>::max());
    QCOMPARE(edit->text(), QStringLiteral("0ab0ff"));
    QCOMPARE(nameColour(0), white);
    for (int row : {1, 2, 3})
        QCOMPARE(nameColour(row), orange);
    QCOMPARE(nameColour(4), grey);

    // A short hex text is padded with zeros on the right: 1 gives 10 00 00.
    spin(0)->setValue(1);
    edit->setText("1");
    child<QPushButton>(page.get(), "pushButton_upload")->click();
    const QByteArray report =
        escaped(stamped(hex("FFFF0010 05 00 0000 04 05 7FFFFFFF 100000 0A 00 00")));
    QCOMPARE(readExactly(report.size()).toHex(' '), report.toHex(' '));
}

void TestMcuWindow::renamedRowIsSkipped()
{
    spin(0)->setValue(1);
    spin(1)->setValue(200);
    spin(2)->setValue(4660);
    child<QTableWidget>(page.get(), "datapoint_table")->item(1, 0)->setText("B2");
    QVERIFY(openPort(page.get(), pty->slavePath()));
    child<QPushButton>(page.get(), "pushButton_upload")->click();
    const QByteArray report = stamped(hex("FFFF000A 05 00 0000 04 01 00 1234 00"));
    QCOMPARE(readExactly(report.size()).toHex(' '), report.toHex(' '));
}

void TestMcuWindow::emptyTableReport()
{
    makePage(noDefinitionKey);
    QCOMPARE(child<QTableWidget>(page.get(), "datapoint_table")->rowCount(), 0);
    QVERIFY(openPort(page.get(), pty->slavePath()));
    child<QPushButton>(page.get(), "pushButton_upload")->click();
    QCOMPARE(readExactly(10).toHex(' '), hex("FFFF0006 05 00 0000 04 0F").toHex(' '));
}

void TestMcuWindow::productInfoAndOtherReplies()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));

    QVERIFY(pty->write(hex("FFFF0005 01 07 0000 0D")));
    const QByteArray info = readExactly(75);
    QCOMPARE(info.size(), 75);
    QCOMPARE(info.toHex(), stamped([&] {
                 QByteArray expected = productInfoTemplate(abcKey);
                 expected[5] = 0x07;
                 return expected;
             }()).toHex());
    QCOMPARE(info.mid(40, 32), abcKey.toLatin1());

    QVERIFY(pty->write(stamped(hex("FFFF0007 0D 02 0000 00 32 00"))));
    QCOMPARE(readExactly(9).toHex(), stamped(hex("FFFF0005 0E 02 0000 00")).toHex());

    // 05 and 0B have no reply; the 07 after them is answered with 08 only.
    QVERIFY(pty->write(stamped(hex("FFFF0006 05 03 0000 04 00")) + hex("FFFF0005 0B 00 0000 10")
                       + stamped(hex("FFFF0005 07 09 0000 00"))));
    QCOMPARE(readExactly(9).toHex(), stamped(hex("FFFF0005 08 09 0000 00")).toHex());
    const QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 4 * 2 + 3 * 2 + 2);
    QVERIFY(isTimeHeader(lines[8], "WIFI:"));
    QVERIFY(isTimeHeader(lines[10], "WIFI:"));
    QVERIFY(isTimeHeader(lines[12], "WIFI:"));
    QVERIFY(isTimeHeader(lines[14], "MCU:"));
}

void TestMcuWindow::buttonsDoNothingWhilePortClosed()
{
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("FF FF 00 05 01 00 00 00 06");
    for (const char *name : {"pushButton_send3", "pushButton_easylink", "pushButton_init",
                             "pushButton_upload", "pushButton_autoupload"})
        child<QPushButton>(page.get(), name)->click();
    QTest::qWait(200);
    QVERIFY(logLines(page.get()).isEmpty());
    QCOMPARE(child<QPushButton>(page.get(), "pushButton_autoupload")->text(),
             QStringLiteral("定时上报开"));

    // Opened now, nothing that was clicked before reaches the line.
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QTest::qWait(300);
    QVERIFY(pty->read(200).isEmpty());
}

void TestMcuWindow::userFramesAreSentAndLogged()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    child<QTextEdit>(page.get(), "textEdit_send3")->setPlainText("FF FF 00 05 01 00 00 00 06");
    child<QPushButton>(page.get(), "pushButton_send3")->click();
    QCOMPARE(readExactly(9).toHex(), hex("FFFF00050100000006").toHex());

    child<QPushButton>(page.get(), "pushButton_easylink")->click();
    QCOMPARE(readExactly(10).toHex(), hex("FFFF0006090000000211").toHex());
    child<QPushButton>(page.get(), "pushButton_init")->click();
    QCOMPARE(readExactly(9).toHex(), hex("FFFF0005 0B00000010").toHex());

    const QStringList lines = logLines(page.get());
    QCOMPARE(lines.size(), 6);
    for (int i : {0, 2, 4})
        QVERIFY2(isTimeHeader(lines[i], "SEND:"), qPrintable(lines[i]));
    QCOMPARE(lines[1], QStringLiteral("FF FF 00 05 01 00 00 00 06 "));
    QCOMPARE(lines[3], QStringLiteral("FF FF 00 06 09 00 00 00 02 11 "));
    QCOMPARE(lines[5], QStringLiteral("FF FF 00 05 0B 00 00 00 10 "));
}

void TestMcuWindow::timedUploadOnOffAndAcrossLeavingThePage()
{
    auto *toggle = child<QPushButton>(page.get(), "pushButton_autoupload");
    auto *interval = child<QSpinBox>(page.get(), "spinBox");
    auto reports = [&] { return logLines(page.get()).filter(QRegularExpression("^SEND:")).size(); };

    // Off with the port closed: the switch stays off.
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));

    QVERIFY(openPort(page.get(), pty->slavePath()));
    // The user has emptied the box and not typed a new value yet: the
    // accepted value (3 s) is used, not the empty text.
    interval->findChild<QLineEdit *>()->clear();
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    QTest::qWait(1000);
    QCOMPARE(reports(), 0); // the first report comes after one interval
    QTRY_VERIFY_WITH_TIMEOUT(reports() >= 1, 15000);
    QByteArray sent = readExactly(14);
    QVERIFY(!sent.isEmpty() && sent.size() % 14 == 0);

    // Leaving the page closes the port but keeps timed upload on.
    page->closePort();
    QCOMPARE(child<QPushButton>(page.get(), "pushButton_open3")->text(), QStringLiteral("打开串口"));
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    QTest::qWait(200); // a report sent just before is shown by now
    const int beforeReopen = reports();
    QTest::qWait(3500);
    QCOMPARE(reports(), beforeReopen); // ticks do nothing while closed
    QVERIFY(openPort(page.get(), pty->slavePath()));
    QTRY_VERIFY_WITH_TIMEOUT(reports() > beforeReopen, 15000);
    sent = readExactly(14);
    QVERIFY(!sent.isEmpty() && sent.size() % 14 == 0);

    // Switched off: no more reports.
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));
    QTest::qWait(200);
    const int afterOff = reports();
    QTest::qWait(3500);
    QCOMPARE(reports(), afterOff);

    // Closing with the open button ends timed upload.
    toggle->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报关"));
    child<QPushButton>(page.get(), "pushButton_open3")->click();
    QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));
}

void TestMcuWindow::clickedLinesFillTheAnalysisPanel()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    // A 0D frame with a wrong checksum (00), then a product-information request.
    QVERIFY(pty->write(hex("FFFF0007 0D 02 0000 00 32 00") + hex("FFFF0005 01 07 0000 0D")));
    QCOMPARE(readExactly(9 + 75).size(), 84);
    auto *list = child<QListWidget>(page.get(), "listWidget");
    QCOMPARE(list->count(), 8);

    auto click = [&](int row) {
        QListWidgetItem *item = list->item(row);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    };
    auto label = [&](const char *name) { return child<QLabel>(page.get(), name)->text(); };

    click(1); // the 0D frame
    QCOMPARE(label("label_analyze"), QStringLiteral("wifi状态"));
    QCOMPARE(label("label_length"), QStringLiteral("07"));
    QCOMPARE(label("label_cmd"), QStringLiteral("0d"));
    QCOMPARE(label("label_sn"), QStringLiteral("02"));
    QCOMPARE(label("label_checksum_2"), QStringLiteral("48")); // computed, not the 00 received
    QCOMPARE(label("label_wifistate"), QStringLiteral("已连接路由器"));
    QCOMPARE(label("label_connect"), QStringLiteral("已连接云端"));
    QCOMPARE(label("label_productkey"), QString());

    click(4); // a header line changes nothing
    QCOMPARE(label("label_cmd"), QStringLiteral("0d"));

    click(7); // the product-information reply
    QCOMPARE(label("label_cmd"), QStringLiteral("02"));
    QCOMPARE(label("label_productkey"), abcKey);
    QCOMPARE(label("label_analyze"), QStringLiteral("产品信息应答"));
    QCOMPARE(label("label_wifistate"), QString());
    QCOMPARE(label("label_connect"), QString());

    click(1);
    QCOMPARE(label("label_productkey"), QString());
    QCOMPARE(label("label_cmd"), QStringLiteral("0d"));
}

void TestMcuWindow::portListRefreshKeepsTypedPath()
{
    auto *ports = child<QComboBox>(page.get(), "com_3");
    auto refresh = [&](const QList<QString> &names) {
        QVERIFY(QMetaObject::invokeMethod(page.get(), "UpdateUi", Q_ARG(QList<QString>, names)));
    };
    refresh({"ttyS0", "ttyUSB0"});
    ports->setCurrentIndex(1);
    refresh({"ttyS0", "ttyUSB0", "ttyUSB1"});
    QCOMPARE(ports->count(), 3);
    QCOMPARE(ports->currentText(), QStringLiteral("ttyS0"));

    // A path typed by hand survives refreshes, including empty lists.
    ports->setEditText(pty->slavePath());
    refresh({});
    refresh({"ttyS0"});
    QCOMPARE(ports->currentText(), pty->slavePath());
    QVERIFY(openPort(page.get(), pty->slavePath()));
}

void TestMcuWindow::openFailureIsReported()
{
    ModalCloser closer;
    child<QComboBox>(page.get(), "com_3")->setEditText(QString());
    child<QPushButton>(page.get(), "pushButton_open3")->click();
    QCOMPARE(closer.seen, QStringList({QStringLiteral("错误|打开失败！")}));
    child<QComboBox>(page.get(), "com_3")->setEditText("/dev/no-such-port");
    child<QPushButton>(page.get(), "pushButton_open3")->click();
    QCOMPARE(closer.seen.size(), 2);
    QCOMPARE(child<QPushButton>(page.get(), "pushButton_open3")->text(), QStringLiteral("打开串口"));
}

void TestMcuWindow::clearLogEmptiesTheList()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    child<QPushButton>(page.get(), "pushButton_upload")->click();
    QTRY_COMPARE(logLines(page.get()).size(), 2);
    // Also what was logged but not yet shown.
    child<QPushButton>(page.get(), "pushButton_upload")->click();
    page->clearLog();
    QTest::qWait(200);
    QVERIFY(logLines(page.get()).isEmpty());
}

void TestMcuWindow::longLogEndsAtItsLastLine()
{
    QVERIFY(openPort(page.get(), pty->slavePath()));
    auto *list = child<QListWidget>(page.get(), "listWidget");
    auto lastLineShown = [&] {
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        return list->viewport()->rect().contains(last.center());
    };
    // Unanswered frames, many at once and then a few more: the view follows
    // the end of the log however many rows it has.
    const QByteArray init = hex("FFFF0005 0B 00 0000 10");
    QVERIFY(pty->write(init.repeated(400)));
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), 800, 20000);
    QTRY_VERIFY(lastLineShown());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(pty->write(init));
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 800 + 2 * (i + 1), 10000);
        QTRY_VERIFY(lastLineShown());
    }
}

QTEST_MAIN(TestMcuWindow)
#include "tst_mcuwindow.moc"
