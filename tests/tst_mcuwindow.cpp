#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "pages/common/rememberedfields.h"
#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

using namespace McuFixture;

const QColor grey(221, 221, 221), white(255, 255, 255), orange(252, 222, 156);

class TestMcuWindow : public QObject
{
    Q_OBJECT
    TestRoot root;
    PtyPair pty;
    std::unique_ptr<McuWindow> page;
    QTableWidget *table = nullptr;

    void makePage(const QJsonArray &definition)
    {
        page.reset();
        writeDefinition(abcKey, definition);
        writeSettings(abcKey);
        RememberedFields::userSettings().remove("mcu"); // every test starts from the form
        page = std::make_unique<McuWindow>();
        page->show();
        table = w<QTableWidget>("datapoint_table");
    }
    template<class T> T *w(const char *name) const { return child<T>(page.get(), name); }
    QSpinBox *spin(int row) const { return qobject_cast<QSpinBox *>(table->cellWidget(row, 1)); }
    // Each row's spin box value (-1: another editor) and name colour.
    QList<QVariant> rows(int count) const
    {
        QList<QVariant> list;
        for (int row = 0; row < count; ++row)
            list << (spin(row) ? spin(row)->value() : -1) << table->item(row, 0)->background().color();
        return list;
    }
    // Writes the request (none: clicks "上报数据") and returns the count bytes that come back.
    QString exchange(const QByteArray &request, int count)
    {
        if (request.isEmpty())
            w<QPushButton>("pushButton_upload")->click();
        return pty.write(request) ? hexText(pty.readAtLeast(count, 10000)) : QString();
    }
    // The analysis panel's labels, joined by "|", once the log's line is clicked.
    QString labelsOf(int row) const
    {
        auto *list = w<QListWidget>("listWidget");
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        QStringList texts;
        for (const char *name : {"label_analyze", "label_length", "label_cmd", "label_sn", "label_checksum_2",
                                 "label_checksum_mismatch", "label_wifistate", "label_connect", "label_productkey"})
            texts << w<QLabel>(name)->text();
        return texts.join('|');
    }
    // The log with every time of day (hh:mm:ss.zzz) replaced by "T".
    QStringList maskedLog() const { return logLines(page.get()).replaceInStrings(QRegExp("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"), "T"); }

private slots:
    void init() { makePage(abcDefinition), pty.read(0, 0); } // and nothing left over from the test before

    void portBoxUserFramesAndRememberedFields()
    {
        auto *interval = w<QSpinBox>("spinBox");
        QCOMPARE(QList<int>({interval->minimum(), interval->maximum(), interval->value()}), QList<int>({3, 99, 3}));
        w<QTextEdit>("textEdit_send3")->setPlainText("FF FF 00 05 01 00 00 00 06");
        const QList<const char *> senders{"pushButton_send3", "pushButton_easylink", "pushButton_init"};
        for (const char *name : senders + QList<const char *>{"pushButton_upload", "pushButton_autoupload"})
            w<QPushButton>(name)->click(); // the port is closed: nothing is sent or logged
        QCOMPARE(w<QPushButton>("pushButton_autoupload")->text(), QStringLiteral("定时上报开"));
        ModalCloser closer;
        QVERIFY(!openPort(page.get(), QString()) && !openPort(page.get(), "/dev/no-such-port") && openPort(page.get(), pty.slavePath()));
        for (const char *name : senders)
            w<QPushButton>(name)->click();
        const QStringList sent{"FF FF 00 05 01 00 00 00 06 ", "FF FF 00 06 09 00 00 00 02 11 ", "FF FF 00 05 0B 00 00 00 10 "};
        QCOMPARE(hexText(pty.readAtLeast(28, 10000)), sent.join(""));
        // Text that cannot be read one way only is neither sent nor logged; a
        // reply template is named once in the log, however often it is asked for.
        QSettings settings(VokFiles::analyzeSettings(), QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        settings.setValue("Defaule/4B", "FF FF 00 05 0B 00 00 00 1");
        settings.setValue("Respond/08", "FF FF 00 05 08 00 00 00 0");
        w<QTextEdit>("textEdit_send3")->setPlainText("0x55 0xAA hello");
        w<QPushButton>("pushButton_send3")->click();
        w<QPushButton>("pushButton_init")->click();
        const QString odd = "十六进制输入有误：第 25 个字符起的“%1”有奇数个数字，每个字节要写两位。";
        QCOMPARE(closer.seen, QStringList({"错误|打开失败！\n没有串口名", "错误|打开失败！\nNo such file or directory",
                                           "错误|十六进制输入有误：第 11 个字符 “h” 不是十六进制数字或分隔符。", "错误|" + odd.arg(1)}));
        const QByteArray beat = stamped(hex("FFFF0005 07 09 0000 00")), wifi = stamped(hex("FFFF0007 0D 02 0000 00 32 00"));
        const QString wifiReply = hexText(stamped(hex("FFFF0005 0E 02 0000 00")));
        QCOMPARE(exchange(beat + beat + wifi, 9), wifiReply); // and no 08 before it
        QTRY_COMPARE(maskedLog(), QStringList({"SEND:T", sent[0], "SEND:T", sent[1], "SEND:T", sent[2], "WIFI:T", hexText(beat),
                                               "T auto_analyze.ini 中的应答模板 Respond/08 不是完整的十六进制字节，未发送："
                                                   + odd.arg(0),
                                               "WIFI:T", hexText(beat), "WIFI:T", hexText(wifi), "MCU:T", wifiReply}));
        // A path typed by hand survives the port list refreshes, even empty ones.
        for (const QList<QString> &names : {QList<QString>(), QList<QString>({"ttyS0", "ttyUSB0"})})
            QVERIFY(QMetaObject::invokeMethod(page.get(), "UpdateUi", Q_ARG(QList<QString>, names)));
        QCOMPARE(w<QComboBox>("com_3")->count(), 2);
        // The fields come back in the next run.
        w<QComboBox>("rate_3")->setEditText("921600");
        w<QComboBox>("check_3")->setCurrentIndex(2);
        interval->setValue(42);
        QCoreApplication::processEvents(); // they are saved from the event loop
        for (int run = 0; run < 2; ++run, page = std::make_unique<McuWindow>())
            QCOMPARE(QStringList({w<QComboBox>("com_3")->currentText(), w<QComboBox>("rate_3")->currentText(),
                                  QString::number(w<QComboBox>("check_3")->currentIndex()),
                                  w<QTextEdit>("textEdit_send3")->toPlainText(), w<QSpinBox>("spinBox")->text()}),
                     QStringList({pty.slavePath(), "921600", "2", "0x55 0xAA hello", "42"}));
    }

    void tableAndAnalysisPanelFollowTheFrames()
    {
        spin(2)->setValue(0x1234);
        QVERIFY(openPort(page.get(), pty.slavePath()));
        // Mask 03: A = 1 in the bit area, B = 0x64; then A alone: B turns white
        // again and keeps its value; C is read-only and stays grey.
        QCOMPARE(exchange(stamped(hex("FFFF0009 03 10 0000 01 03 01 64 00")), 9), hexText(hex("FFFF0005 04 10 0000 19")));
        QCOMPARE(rows(3), QList<QVariant>({1, orange, 100, orange, 0x1234, grey}));
        QCOMPARE(exchange(stamped(hex("FFFF0009 03 11 0000 01 01 00 00 00")), 9), hexText(hex("FFFF0005 04 11 0000 1A")));
        QCOMPARE(rows(3), QList<QVariant>({0, orange, 100, white, 0x1234, grey}));
        // With sn FA the acknowledgement's checksum 03 sits where a status reply
        // has its action. A frame without payload has no action, whatever its
        // checksum byte holds: 02 is no status read, 01 no control.
        QCOMPARE(exchange(stamped(hex("FFFF0009 03 FA 0000 01 03 01 64 00")) + hex("FFFF0005 03 FA 0000 02 FFFF0005 03 F9 0000 01"), 27),
                 hexText(hex("FFFF0005 04 FA 0000 03 FFFF0005 04 FA 0000 03 FFFF0005 04 F9 0000 02")));

        // A status read, then "上报数据"; B = 255 puts an FF in the payload, sn A8
        // makes the checksum FF as well; a row whose name no longer matches the
        // definition is left out: B = 0. The log shows what went out.
        const QByteArray read = stamped(hex("FFFF0006 03 21 0000 02 00")), readA8 = stamped(hex("FFFF0006 03 A8 0000 02 00"));
        QStringList wire{exchange(read, 14), exchange({}, 14)};
        spin(1)->setValue(255);
        wire << exchange(readA8, 16);
        table->item(1, 0)->setText("B2");
        wire << exchange({}, 14);
        QCOMPARE(wire, QStringList({hexText(hex("FFFF000A 04 21 0000 03 01641234 DD")), hexText(hex("FFFF000A 05 00 0000 04 01641234 BE")),
                                    hexText(hex("FFFF000A 04 A8 0000 03 01FF551234 FF55")), hexText(stamped(hex("FFFF000A 05 00 0000 04 01 00 1234 00")))}));
        QTRY_COMPARE(maskedLog().mid(20), QStringList({"WIFI:T", hexText(read), "MCU:T", wire[0], "SEND:T", wire[1], "WIFI:T",
                                                      hexText(readA8), "MCU:T", wire[2], "SEND:T", wire[3]}));
        // A status reply logged escaped is explained as the frame it carries.
        QCOMPARE(labelsOf(29).section('|', 1, 5), "0a|04|a8|ff / 帧内 ff|");

        // A 0D frame with a wrong checksum (00), then a product-information request.
        page->clearLog();
        const QByteArray info = stamped(productInfoTemplate(abcKey).replace(VokFrame::SnPos, 1, "\x07"));
        QCOMPARE(exchange(hex("FFFF0007 0D 02 0000 00 32 00 FFFF0005 01 07 0000 0D"), 9 + 75).mid(27), hexText(info));
        page->sendHexText("01 02"); // a line shorter than a frame has no checksum byte to compare
        QTRY_COMPARE(w<QListWidget>("listWidget")->count(), 10);
        // The computed checksum beside the 00 received, marked as not matching;
        // a header line (4) changes nothing; the 0D frame's labels again after another frame's.
        const QString wifiFrame = "wifi状态|07|0d|02|48 / 帧内 00|不符|已连接路由器|已连接云端|";
        const QString sum = QString::asprintf("%02x", quint8(info.back()));
        QCOMPARE(QStringList({labelsOf(1), labelsOf(4), labelsOf(7), labelsOf(1), labelsOf(9).section('|', 4, 5)}),
                 QStringList({wifiFrame, wifiFrame, "产品信息应答|47|02|07|" + sum + " / 帧内 " + sum + "||||" + abcKey, wifiFrame, "|"}));
    }

    void everyEditorKindFollowsTheDefinition()
    {
        // P bool and E enum share the bit area; U uint32, H binary (3 bytes), R
        // a read-only uint8 in 10..20, X a type the page has no editor for.
        QJsonObject e = attr("E", "enum", "status_writable", "bit", 2, 0, 1);
        e.insert("enum", QJsonArray{"low", "mid", "high"});
        makePage({attr("P", "bool", "status_writable", "bit", 1, 0), e,
                  attr("U", "uint32", "status_writable", "byte", 4, 1, 0, 0, 4294967295.0),
                  attr("H", "binary", "status_writable", "byte", 3, 5),
                  attr("R", "uint8", "status_readonly", "byte", 1, 8, 0, 10, 20),
                  attr("X", "string", "status_readonly", "byte", 1, 9)});
        auto *combo = qobject_cast<QComboBox *>(table->cellWidget(1, 1));
        auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(3, 1));
        QVERIFY(table->rowCount() == 6 && combo && edit && edit->validator() && !table->cellWidget(5, 1));
        QCOMPARE(QList<int>({spin(0)->maximum(), edit->maxLength()}), QList<int>({1, 6}));
        // E = 2 (bits 1-2), U = FFFFFFFF, H = 0A B0 FF; P absent. A uint32 range
        // beyond a spin box ends at its maximum; R's 0 is brought into 10..20.
        QVERIFY(openPort(page.get(), pty.slavePath()));
        QCOMPARE(exchange(escaped(stamped(hex("FFFF000F 03 05 0000 01 0E 04 FFFFFFFF 0AB0FF 00"))), 9),
                 hexText(stamped(hex("FFFF0005 04 05 0000 00"))));
        QCOMPARE(rows(6) << combo->currentText() << edit->text(),
                 QList<QVariant>({0, white, -1, orange, INT_MAX, orange, -1, orange, 10, grey, -1, grey, "high", "0ab0ff"}));
        // A short hex text is padded with zeros on the right: 1 gives 10 00 00.
        spin(0)->setValue(1);
        edit->setText("1");
        QCOMPARE(exchange({}, 23), hexText(escaped(stamped(hex("FFFF0010 05 00 0000 04 05 7FFFFFFF 100000 0A 00 00")))));
    }

};

QTEST_MAIN(TestMcuWindow)
#include "tst_mcuwindow.moc"
