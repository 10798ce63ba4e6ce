#include "pages/tool/toolwindow.h"
#include "support/testroot.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

class TestToolWindow : public QObject
{
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void backgroundPicture();

private:
    ToolWindow page;
};

void TestToolWindow::checksum_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("note"); // on characters the sum skipped
    QTest::newRow("sample 01") << "00 05 01 00 00 00" << "06" << "";
    QTest::newRow("sample 0D") << "00 07 0D 02 00 00 00 32" << "48" << "";
    QTest::newRow("header summed too") << "FF FF 00 05 01 00 00 00" << "04" << "";
    QTest::newRow("separators anywhere") << "0005010000 00" << "06" << "";
    QTest::newRow("odd digit count") << "1 23" << "24" << "";
    QTest::newRow("empty") << "" << "00" << "";
    QTest::newRow("no digits") << "校验 xyz\n" << "00" << "已忽略 5 个非十六进制字符，第一个是第 1 个字符。";
    QTest::newRow("uppercase out") << "ff" << "FF" << "";
    QTest::newRow("low 8 bits") << "FF FF 03" << "01" << "";
    QTest::newRow("lines and separators") << "00 07\n0D,01\r\n00:00-00\t12" << "27" << "";
    QTest::newRow("0x prefixes") << "0x55 0xAA" << "FF" << "已忽略 2 个非十六进制字符，第一个是第 2 个字符。";
    QTest::newRow("character beyond 16 bits") << QStringLiteral("01 \U0001F600 02") << "03"
                                              << "已忽略 1 个非十六进制字符，第一个是第 4 个字符。";
}

void TestToolWindow::checksum()
{
    QFETCH(QString, input);
    QFETCH(QString, result);
    QFETCH(QString, note);
    page.findChild<QTextEdit *>("textEdit_checksum")->setPlainText(input);
    page.findChild<QPushButton *>("pushButton_run")->click();
    QCOMPARE(page.findChild<QLabel *>("label_result")->text(), result);
    QCOMPARE(page.findChild<QLabel *>("label_ignored")->text(), note);
}

// The picture in the files' root, under every other widget.
void TestToolWindow::backgroundPicture()
{
    TestRoot root;
    ToolWindow fresh;
    auto *background = fresh.findChild<QLabel *>("label_background");
    QCOMPARE(fresh.findChildren<QWidget *>().first(), background);
    QVERIFY(background->styleSheet().contains(root.filePath("image/background.png")));
}

QTEST_MAIN(TestToolWindow)
#include "tst_toolwindow.moc"
