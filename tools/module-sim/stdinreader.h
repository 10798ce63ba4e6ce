#ifndef STDINREADER_H
#define STDINREADER_H

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

// Reads standard input line by line without blocking the event loop.
class StdinReader : public QObject
{
    Q_OBJECT
public:
    explicit StdinReader(QObject *parent = nullptr);

    // Standard input is a terminal: a person types, mistakes are forgiven.
    static bool isInteractive();

signals:
    void lineRead(QString line);
    void finished();

private slots:
    void readAvailable();

private:
    QSocketNotifier notifier;
    QByteArray pending; // an unfinished line
};

#endif // STDINREADER_H
