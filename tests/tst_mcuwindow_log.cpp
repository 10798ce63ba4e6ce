#include "pages/mcu/framelog.h"
#include "protocol/voktool.h"

#include <QAction>
#include <QClipboard>
#include <QListWidget>
#include <QScrollBar>
#include <QtTest>

// The MCU page's log on its own list widget.
class TestMcuLog : public QObject
{
    Q_OBJECT
    VokTool tool;
    QListWidget list;
    FrameLog *log = new FrameLog(&list, &tool, &list);

private slots:
    void init() { log->clear(), list.resize(300, 200), list.show(); }

    void keepsItsPlaceUntilScrolledBackToTheEnd()
    {
        auto addAndShowsLast = [&](int rows) {
            for (int i = 0; i < 100; ++i)
                log->add("WIFI:", QByteArray::fromHex("FFFF0005 07 01 0000 0D"));
            return QTest::qWaitFor([&] { return list.count() == rows; })
                   && list.viewport()->rect().contains(list.visualItemRect(list.item(rows - 1)).center());
        };
        QVERIFY(addAndShowsLast(200));
        // Reading older lines: new frames do not move them; back at the end, the list follows again.
        list.scrollToItem(list.item(20), QAbstractItemView::PositionAtTop);
        QVERIFY(!addAndShowsLast(400) && list.count() == 400 && list.indexAt(QPoint(0, 0)).row() == 20);
        list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
        QVERIFY(addAndShowsLast(600));
    }

    void wrongChecksumsAreMarkedAndSelectedLinesCopied()
    {
        const QStringList rows{"FFFF0007 0D 02 0000 00 32 48|", "FFFF0007 0D 02 0000 00 32 00|校验和不符：帧内 00，计算值 48",
                               // Written escaped: 0x55 after each FF, checksum FF included.
                               "FFFF000A 04 A8 0000 03 01FF551234 FF55|", "FFFF000A 04 A8 0000 03 01FF551234 0F|校验和不符：帧内 0f，计算值 ff",
                               // Received: the splitter has removed the escapes, an FF 55 is data.
                               "FFFF0007 05 00 0000 FF55 60|", "FFFF0009 05 00 0000 00|"}; // the last: no whole frame
        for (const QString &row : rows)
            log->add(row.startsWith("FFFF0009") ? "SEND:" : "WIFI:", QByteArray::fromHex(row.section('|', 0, 0).toLatin1()));
        QTRY_COMPARE(list.count(), 2 * rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QString text = QByteArray::fromHex(rows[i].section('|', 0, 0).toLatin1()).toHex(' ').toUpper() + ' ';
            const QString note = rows[i].section('|', 1), colour = note.isEmpty() ? "#000000" : "#dc0000";
            QListWidgetItem *header = list.item(2 * i), *data = list.item(2 * i + 1);
            QCOMPARE(QStringList({data->text(), header->toolTip(), data->toolTip(), header->foreground().color().name(), data->foreground().color().name()}),
                     QStringList({text, note, note.isEmpty() ? text : text + '\n' + note, colour, colour}));
        }
        // The second and the last entry, selected as a user would with Ctrl, copied with their times.
        for (int row : {10, 11, 2, 3})
            list.selectionModel()->select(list.model()->index(row, 0), QItemSelectionModel::Select);
        QVERIFY(list.contextMenuPolicy() == Qt::ActionsContextMenu && list.actions().value(0)->text() == "复制");
        list.setFocus();
        QTest::keySequence(&list, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text().replace(QRegExp("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"), "T"),
                 "WIFI:T\n" + list.item(3)->text() + "\nSEND:T\nFF FF 00 09 05 00 00 00 00 ");
    }
};

QTEST_MAIN(TestMcuLog)
#include "tst_mcuwindow_log.moc"
