#ifndef COMMANDPARSER_H
#define COMMANDPARSER_H

#include <QByteArray>
#include <QString>

class VokJson;

// One parsed line of a script.
struct SimCommand
{
    enum Kind { Nothing, Send, Raw, Wait, Expect, Quit };
    Kind kind = Nothing;
    quint8 cmd = 0;     // Send: command code; Expect: the code awaited
    QByteArray bytes;   // Send: payload; Raw: the bytes
    int ms = 0;         // Wait, Expect
    QString where;      // "FILE:LINE" for messages
};

// Turns script lines into commands, checking everything (names, values,
// sizes) before anything is sent.
class CommandParser
{
public:
    // definition may be null; expectMs is the default wait of expect.
    CommandParser(const VokJson *definition, int expectMs)
        : definition(definition), expectMs(expectMs) {}

    // False, with the reason in error, for a line that is not a command.
    bool parse(const QString &line, SimCommand *command, QString *error) const;

private:
    bool parseSend(const QString &word, const QStringList &args, SimCommand *command,
                   QString *error) const;

    const VokJson *definition;
    int expectMs;
};

#endif // COMMANDPARSER_H
