#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include <QString>
#include <QStringList>

// The command line of vok-module-sim, checked as a whole before anything is
// opened.
class SimOptions
{
public:
    enum Outcome { Run, ShowHelp, Invalid };

    // Fills the options from the program's arguments (argv[0] first). On
    // Invalid, error says why; on ShowHelp, error holds the help text.
    Outcome parse(const QStringList &arguments, QString *error);

    QString port;              // --port: a port name or device path
    bool pty = false;          // --pty: make a pseudo-terminal pair instead
    QString baud = "9600";
    int dataBitsIndex = 3;     // indexes as the port wrapper takes them
    int stopBitsIndex = 0;
    int parityIndex = 0;
    QString scriptPath;
    QString definitionPath;
    bool demo = false;
    bool check = false;
    int timeoutMs = 1000;
};

#endif // SIMOPTIONS_H
