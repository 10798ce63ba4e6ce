#ifndef FRAMELOG_H
#define FRAMELOG_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QListWidget;
class QListWidgetItem;
class VokTool;

// The page's log: every frame becomes a header line (direction and time to
// the millisecond) and a data line (its bytes as hexadecimal text) at the
// end of the list, in a fixed-width font. The list follows its end unless
// the user has scrolled away from it; selected lines are copied with Ctrl+C
// or the context menu. A frame whose checksum byte disagrees with its bytes
// is shown in red, with both values in its tooltip.
//
// The list view lays out all its rows again whenever rows are added, which
// takes longer the longer the log gets. So new lines are collected and
// handed to the list together, at most as often as keeps that layout under
// a tenth of the time, and the list keeps only its newest rows: a frame
// costs the same however long the session runs. When more frames wait than
// the list would keep, the oldest of them are left out and one line says
// how many bytes they held.
class FrameLog : public QObject
{
    Q_OBJECT
public:
    FrameLog(QListWidget *list, VokTool *tool, QObject *parent);
    ~FrameLog() override;

    void add(const QString &prefix, QByteArray bytes);
    // A line of its own (time and text) that is no frame.
    void addNotice(const QString &text);
    void clear();
    // Notice lines are marked so that a click on one explains nothing.
    static bool isNotice(const QListWidgetItem *item);

    // Every selected line as shown, one per line, in list order.
    void copySelection();

    static constexpr int maxRows = 50000;

signals:
    // Bytes of frames that never reached the list.
    void skipped(qint64 bytes);

private:
    QString timeOfDay();
    // What the user is told about a frame whose checksum byte is wrong;
    // empty when it is right or the bytes are no whole frame.
    static QString checksumMismatch(const QByteArray &bytes);
    void append(QListWidgetItem *item);
    void flush();

    QListWidget *list;
    VokTool *tool;
    QList<QListWidgetItem *> pending;
    qint64 skippedBytes = 0;
    QTimer flushTimer;

    // hh:mm:ss of the headers, formatted once a second (the milliseconds are
    // added each time): converting to local time asks the C library for the
    // time zone every time.
    qint64 stampSecond = -1;
    QString stampText;
};

#endif // FRAMELOG_H
