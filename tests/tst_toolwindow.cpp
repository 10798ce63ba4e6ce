#include "pages/tool/toolwindow.h"
#include "support/testroot.h"

#include <QtTest>
#include <QtWidgets>

class TestToolWindow : public QObject
{
    Q_OBJECT
    TestRoot root;
    ToolWindow page;

private slots:
    // Every typed byte is summed, header and all, into two hexadecimal
    // digits; what is neither a digit nor a separator is skipped, and a note
    // says how much and from where (a character beyond 16 bits counts once).
    void checksum()
    {
        const struct { QString input, result; } rows[] = {
            {"FF FF 00 05 01 00 00 00", "04|"}, {"00 07\n0D,01\r\n00:00-00\t12", "27|"}, {"FF FF 03", "01|"},
            {"校验 xyz\n", "00|已忽略 5 个非十六进制字符，第一个是第 1 个字符。"}, {"0x55 0xAA", "FF|已忽略 2 个非十六进制字符，第一个是第 2 个字符。"},
            {"01 \U0001F600 02", "03|已忽略 1 个非十六进制字符，第一个是第 4 个字符。"}};
        for (const auto &row : rows) {
            page.findChild<QTextEdit *>("textEdit_checksum")->setPlainText(row.input);
            page.findChild<QPushButton *>("pushButton_run")->click();
            QCOMPARE(page.findChild<QLabel *>("label_result")->text() + "|" + page.findChild<QLabel *>("label_ignored")->text(), row.result);
        }
    }

    // The picture in the files' root, under every other widget.
    void backgroundPicture()
    {
        QCOMPARE(page.findChildren<QWidget *>().first(), page.findChild<QLabel *>("label_background"));
        QVERIFY(page.findChild<QLabel *>("label_background")->styleSheet().contains(root.filePath("image/background.png")));
    }
};

QTEST_MAIN(TestToolWindow)
#include "tst_toolwindow.moc"
