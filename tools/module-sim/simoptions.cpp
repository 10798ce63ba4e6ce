#include "simoptions.h"

#include <QCommandLineParser>

namespace {

const char kCommands[] =
    "Plays the Wi-Fi module side of the serial protocol (version 4).\n"
    "\n"
    "Commands, one a line, from standard input or from --script FILE:\n"
    "  info                    product information request (01)\n"
    "  status                  status read (03, action 02)\n"
    "  control NAME=VALUE ...  control (03, action 01) laid out by --definition;\n"
    "                          NAME is a display name (quote it if it has spaces)\n"
    "  control-hex HEX         control with the given presence mask and values\n"
    "  wifi ROUTER CLOUD       Wi-Fi status (0D); each state 0..15\n"
    "  heartbeat               heartbeat (07)\n"
    "  raw HEX                 the bytes exactly as given\n"
    "  wait MS                 pause\n"
    "  expect CMD [MS]         wait for a sound frame with command CMD (hex)\n"
    "  quit                    end once open requests are answered or timed out\n"
    "Blank lines and lines starting with # are skipped.\n"
    "\n"
    "Exit status: 0 fine, 1 a check or expect failed, 2 bad options, script or\n"
    "definition, 3 the line could not be opened.";

// Index of text in a fixed vocabulary, -1 when absent.
int indexIn(const QStringList &vocabulary, const QString &text)
{
    return vocabulary.indexOf(text.toLower());
}

bool positiveNumber(const QString &text, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number <= 0)
        return false;
    *value = number;
    return true;
}

} // namespace

SimOptions::Outcome SimOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kCommands));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption("port", "Serial port name or device path.", "NAME");
    const QCommandLineOption ptyOption(
        "pty", "Create a pseudo-terminal pair, print the path to open and serve its other end.");
    const QCommandLineOption baudOption("baud", "Baud rate (default 9600; not used with --pty).",
                                        "N");
    const QCommandLineOption dataOption("data-bits", "5, 6, 7 or 8 (default 8).", "N");
    const QCommandLineOption stopOption("stop-bits", "1, 1.5 or 2 (default 1).", "N");
    const QCommandLineOption parityOption("parity", "none, odd, even or space (default none).",
                                          "P");
    const QCommandLineOption scriptOption("script", "Read commands from FILE, not from stdin.",
                                          "FILE");
    const QCommandLineOption definitionOption(
        "definition", "Product datapoint definition (JSON) for control and status values.",
        "FILE");
    const QCommandLineOption demoOption("demo", "Run an endless demonstration scenario.");
    const QCommandLineOption checkOption(
        "check", "Treat every protocol violation and unanswered request as a failure.");
    const QCommandLineOption timeoutOption(
        "timeout", "Reply timeout and line silence limit in ms (default 1000).", "MS");
    parser.addOptions({portOption, ptyOption, baudOption, dataOption, stopOption, parityOption,
                       scriptOption, definitionOption, demoOption, checkOption, timeoutOption});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return Invalid;
    }
    if (parser.isSet(helpOption)) {
        *error = parser.helpText();
        return ShowHelp;
    }
    if (parser.isSet(versionOption))
        parser.showVersion(); // prints the version and exits
    if (!parser.positionalArguments().isEmpty()) {
        *error = QString("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Invalid;
    }

    port = parser.value(portOption);
    pty = parser.isSet(ptyOption);
    if (pty == parser.isSet(portOption)) {
        *error = "give exactly one of --port NAME and --pty";
        return Invalid;
    }
    if (parser.isSet(portOption) && port.isEmpty()) {
        *error = "--port needs a port name or device path";
        return Invalid;
    }

    if (parser.isSet(baudOption)) {
        int rate = 0;
        if (!positiveNumber(parser.value(baudOption), &rate)) {
            *error = QString("--baud '%1' is not a positive number").arg(parser.value(baudOption));
            return Invalid;
        }
        baud = QString::number(rate);
    }
    struct Choice {
        const QCommandLineOption &option;
        QStringList vocabulary;
        int *index;
    };
    const Choice choices[] = {
        {dataOption, {"5", "6", "7", "8"}, &dataBitsIndex},
        {stopOption, {"1", "1.5", "2"}, &stopBitsIndex},
        {parityOption, {"none", "odd", "even", "space"}, &parityIndex},
    };
    for (const Choice &choice : choices) {
        if (!parser.isSet(choice.option))
            continue;
        const int index = indexIn(choice.vocabulary, parser.value(choice.option));
        if (index < 0) {
            *error = QString("--%1 '%2' is not one of %3")
                         .arg(choice.option.names().first(), parser.value(choice.option),
                              choice.vocabulary.join(", "));
            return Invalid;
        }
        *choice.index = index;
    }

    scriptPath = parser.value(scriptOption);
    definitionPath = parser.value(definitionOption);
    demo = parser.isSet(demoOption);
    check = parser.isSet(checkOption);
    if (demo && parser.isSet(scriptOption)) {
        *error = "--demo and --script cannot be used together";
        return Invalid;
    }
    if ((parser.isSet(scriptOption) && scriptPath.isEmpty())
        || (parser.isSet(definitionOption) && definitionPath.isEmpty())) {
        *error = "--script and --definition need a file name";
        return Invalid;
    }
    if (parser.isSet(timeoutOption) && !positiveNumber(parser.value(timeoutOption), &timeoutMs)) {
        *error = QString("--timeout '%1' is not a positive number of milliseconds")
                     .arg(parser.value(timeoutOption));
        return Invalid;
    }
    return Run;
}
