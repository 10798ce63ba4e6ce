// The MCU page inside the main window: what selecting tabs and F5 do to it.

#include "app/mainwindow.h"
#include "pages/mcu/mcuwindow.h"
#include "tests/tst_mcuwindow_fixture.h"

#include "support/modalcloser.h"
#include "support/ptypair.h"

#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

using namespace McuFixture;

class TestMcuWindowInMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void promptTimedUploadAndF5()
    {
        TestRoot root;
        PtyPair pty;
        std::unique_ptr<MainWindow> window;
        auto tab = [&](int index) { window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(index); };
        // Until a key of the user's own is stored, entering the page asks for one, every time.
        for (const QString &key : {QStringLiteral("11223344556677889900112233445566"), abcKey}) {
            writeSettings(key);
            window = std::make_unique<MainWindow>();
            ModalCloser closer;
            tab(1), tab(2), tab(1);
            QCOMPARE(closer.seen, QVector<QString>(key == abcKey ? 0 : 2, "提示|第一次使用请输入product_key！").toList());
        }

        // Timed upload counts 3 units of 10 ms here. The user has emptied the
        // interval box: the accepted value is used, not the empty text.
        auto *page = window->findChild<McuWindow *>();
        page->setUploadUnit(10);
        auto *toggle = child<QPushButton>(page, "pushButton_autoupload");
        QVERIFY(openPort(page, pty.slavePath()));
        child<QSpinBox>(page, "spinBox")->clear();
        toggle->click();
        QCOMPARE(pty.read(0, 0), QByteArray()); // the first report comes after one interval
        QCOMPARE(pty.readAtLeast(10, 5000).left(10), hex("FFFF0006 05 00 0000 04 0F")); // no definition: empty
        // Leaving the page closes the port, and timed upload stays on.
        tab(0);
        QCOMPARE(child<QPushButton>(page, "pushButton_open3")->text() + toggle->text(), "打开串口定时上报关");
        // Back on the page, reopening the port resumes the reports by itself, until switched off.
        tab(1);
        pty.read(20); // what was sent before the page was left
        QVERIFY(openPort(page, pty.slavePath()));
        QCOMPARE(pty.readAtLeast(10, 5000).left(10), hex("FFFF0006 05 00 0000 04 0F"));
        toggle->click();
        pty.read(30); // one sent just before
        QCOMPARE(pty.read(100), QByteArray());
        // Closing with the open button ends timed upload.
        toggle->click();
        child<QPushButton>(page, "pushButton_open3")->click();
        QCOMPARE(toggle->text(), QStringLiteral("定时上报开"));
        // F5 clears the page's log from any tab.
        tab(2);
        QTest::keyClick(window.get(), Qt::Key_F5);
        QVERIFY(logLines(page).isEmpty());
    }
};

QTEST_MAIN(TestMcuWindowInMainWindow)
#include "tst_mcuwindow_mainwindow.moc"
