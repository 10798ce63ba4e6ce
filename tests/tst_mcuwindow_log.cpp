#include "pages/mcu/framelog.h"
#include "protocol/frame.h"
#include "protocol/voktool.h"

#include <QAction>
#include <QClipboard>
#include <QListWidget>
#include <QScrollBar>
#include <QtTest>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
} // namespace

// The MCU page's log on its own list widget.
class TestMcuLog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void keepsItsPlaceUntilScrolledBackToTheEnd();
    void copiesEverySelectedLine();
    void wrongChecksumsAreMarked_data();
    void wrongChecksumsAreMarked();

private:
    void addFrames(int count);
    int topRow() const { return list->indexAt(QPoint(0, 0)).row(); }
    bool lastRowShown() const
    {
        return list->viewport()->rect().contains(list->visualItemRect(list->item(list->count() - 1)).center());
    }

    VokTool tool;
    QListWidget *list = nullptr;
    FrameLog *log = nullptr;
};

void TestMcuLog::init()
{
    list = new QListWidget;
    list->resize(300, 200);
    log = new FrameLog(list, &tool, list);
    list->show();
}

void TestMcuLog::cleanup()
{
    delete list;
}

void TestMcuLog::addFrames(int count)
{
    const int rows = list->count() + 2 * count;
    for (int i = 0; i < count; ++i)
        log->add(QStringLiteral("WIFI:"), VokFrame::build(0x07, quint8(i), {}));
    QTRY_COMPARE(list->count(), rows);
}

void TestMcuLog::keepsItsPlaceUntilScrolledBackToTheEnd()
{
    addFrames(100);
    QVERIFY(lastRowShown());

    // Reading older lines: new frames do not move them.
    list->scrollToItem(list->item(20), QAbstractItemView::PositionAtTop);
    QCOMPARE(topRow(), 20);
    addFrames(100);
    QCOMPARE(topRow(), 20);
    QVERIFY(!lastRowShown());

    // Back at the end, the list follows again.
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    addFrames(100);
    QVERIFY(lastRowShown());
}

void TestMcuLog::copiesEverySelectedLine()
{
    log->add(QStringLiteral("WIFI:"), hex("FFFF0005 07 01 0000 0D"));
    log->add(QStringLiteral("MCU:"), hex("FFFF0005 08 01 0000 0E"));
    log->add(QStringLiteral("SEND:"), hex("0102"));
    QTRY_COMPARE(list->count(), 6);
    // The first and the third entry, selected as a user would with Ctrl.
    for (int row : {4, 5, 0, 1})
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);

    QAction *copy = list->actions().value(0);
    QVERIFY(copy && list->contextMenuPolicy() == Qt::ActionsContextMenu);
    QCOMPARE(copy->text(), QStringLiteral("复制"));
    QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    list->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(list));
    list->setFocus();
    QTest::keySequence(list, QKeySequence::Copy);
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    QCOMPARE(lines.size(), 4);
    // Headers carry the time to the millisecond.
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));
    QVERIFY2(lines[0].startsWith("WIFI:") && time.match(lines[0].mid(5)).hasMatch(), qPrintable(lines[0]));
    QVERIFY2(lines[2].startsWith("SEND:") && time.match(lines[2].mid(5)).hasMatch(), qPrintable(lines[2]));
    QCOMPARE(lines[1], QStringLiteral("FF FF 00 05 07 01 00 00 0D "));
    QCOMPARE(lines[3], QStringLiteral("01 02 "));
}

void TestMcuLog::wrongChecksumsAreMarked_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("note"); // empty: not marked
    QTest::newRow("right") << hex("FFFF0007 0D 02 0000 00 32 48") << "";
    QTest::newRow("wrong") << hex("FFFF0007 0D 02 0000 00 32 00") << "校验和不符：帧内 00，计算值 48";
    // Written escaped: 0x55 after each FF, checksum FF included.
    QTest::newRow("escaped, right") << hex("FFFF000A 04 A8 0000 03 01FF551234 FF55") << "";
    QTest::newRow("escaped, wrong") << hex("FFFF000A 04 A8 0000 03 01FF551234 0F")
                                    << "校验和不符：帧内 0f，计算值 ff";
    // Received: the splitter has removed the escapes, an FF 55 is data.
    QTest::newRow("unescaped FF 55") << hex("FFFF0007 05 00 0000 FF55 60") << "";
    QTest::newRow("no whole frame") << hex("FFFF0009 05 00 0000 00") << "";
    QTest::newRow("short") << hex("0102") << "";
}

void TestMcuLog::wrongChecksumsAreMarked()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, note);
    log->add(QStringLiteral("WIFI:"), bytes);
    QTRY_COMPARE(list->count(), 2);
    QListWidgetItem *header = list->item(0);
    QListWidgetItem *data = list->item(1);
    const QString text = QString::fromLatin1(bytes.toHex(' ').toUpper() + ' ');
    QCOMPARE(data->text(), text); // the texts stay as they are
    QCOMPARE(header->toolTip(), note);
    QCOMPARE(data->toolTip(), note.isEmpty() ? text : text + '\n' + note);
    const QColor red(220, 0, 0);
    QCOMPARE(data->foreground().color() == red, !note.isEmpty());
    QCOMPARE(header->foreground().color() == red, !note.isEmpty());
}

QTEST_MAIN(TestMcuLog)
#include "tst_mcuwindow_log.moc"
