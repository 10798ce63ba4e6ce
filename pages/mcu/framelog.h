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

// The page's log: every frame becomes a header line (direction and time)
// and a data line (its bytes as hexadecimal text) at the end of the list,
// which then scrolls to its bottom.
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

    static constexpr int maxRows = 50000;

signals:
    // Bytes of frames that never reached the list.
    void skipped(qint64 bytes);

private:
    QString timeOfDay();
    void append(QListWidgetItem *item);
    void flush();

    QListWidget *list;
    VokTool *tool;
    QList<QListWidgetItem *> pending;
    qint64 skippedBytes = 0;
    QTimer flushTimer;

    // hh:mm:ss of the headers, formatted once a second: converting to local
    // time asks the C library for the time zone every time.
    qint64 stampSecond = -1;
    QString stampText;
};

#endif // FRAMELOG_H
