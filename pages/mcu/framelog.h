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
// a tenth of the time: a frame costs the same however long the log is.
class FrameLog : public QObject
{
    Q_OBJECT
public:
    FrameLog(QListWidget *list, VokTool *tool, QObject *parent);
    ~FrameLog() override;

    void add(const QString &prefix, QByteArray bytes);
    void clear();

private:
    QString timeOfDay();
    void flush();

    QListWidget *list;
    VokTool *tool;
    QList<QListWidgetItem *> pending;
    QTimer flushTimer;

    // hh:mm:ss of the headers, formatted once a second: converting to local
    // time asks the C library for the time zone every time.
    qint64 stampSecond = -1;
    QString stampText;
};

#endif // FRAMELOG_H
