#include "commandparser.h"

#include "controltext.h"
#include "moduleprotocol.h"

#include "protocol/frame.h"
#include "protocol/hexinput.h"

#include <QProcess>
#include <QStringList>

using P = ModuleProtocol;
using namespace VokFrame;

namespace {
bool milliseconds(const QString &text, int *ms)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        return false;
    *ms = value;
    return true;
}
} // namespace

bool CommandParser::parse(const QString &line, SimCommand *command, QString *error) const
{
    const QString trimmed = line.trimmed();
    command->kind = SimCommand::Nothing;
    if (trimmed.isEmpty() || trimmed.startsWith('#'))
        return true;
    QStringList args = QProcess::splitCommand(trimmed);
    if (args.isEmpty()) {
        *error = "unbalanced quotes";
        return false;
    }
    const QString word = args.takeFirst();

    if (word == "wait") {
        if (args.size() != 1 || !milliseconds(args.first(), &command->ms)) {
            *error = "wait needs one number of milliseconds";
            return false;
        }
        command->kind = SimCommand::Wait;
        return true;
    }
    if (word == "expect") {
        qint64 code = -1;
        bool ok = !args.isEmpty() && args.size() <= 2;
        if (ok) {
            const QString codeText = args.first();
            code = codeText.startsWith("0x", Qt::CaseInsensitive)
                       ? codeText.mid(2).toLongLong(&ok, 16)
                       : codeText.toLongLong(&ok, 16);
        }
        command->ms = expectMs;
        if (!ok || code < 0 || code > 0xFF
            || (args.size() == 2 && !milliseconds(args.at(1), &command->ms))) {
            *error = "expect needs a command code in hexadecimal (00 to FF) and may take "
                     "milliseconds";
            return false;
        }
        command->kind = SimCommand::Expect;
        command->cmd = quint8(code);
        return true;
    }
    if (word == "quit") {
        if (!args.isEmpty()) {
            *error = "quit takes no arguments";
            return false;
        }
        command->kind = SimCommand::Quit;
        return true;
    }
    if (word == "raw") {
        command->bytes = HexInput::parse(args.join(' ')).bytes;
        if (command->bytes.isEmpty()) {
            *error = "raw needs hexadecimal bytes";
            return false;
        }
        command->kind = SimCommand::Raw;
        return true;
    }
    return parseSend(word, args, command, error);
}

bool CommandParser::parseSend(const QString &word, const QStringList &args, SimCommand *command,
                              QString *error) const
{
    QByteArray payload;
    if (word == "info" || word == "status" || word == "heartbeat") {
        if (!args.isEmpty()) {
            *error = word + " takes no arguments";
            return false;
        }
        command->cmd = word == "info"     ? Cmd::ProductInfoRequest
                       : word == "status" ? Cmd::Control
                                          : Cmd::Heartbeat;
        if (word == "status")
            payload.append(char(Action::StatusRead));
    } else if (word == "wifi") {
        qint64 router = -1;
        qint64 cloud = -1;
        if (args.size() != 2 || !P::parseNumber(args.at(0), &router)
            || !P::parseNumber(args.at(1), &cloud) || router < 0 || router > 15 || cloud < 0
            || cloud > 15) {
            *error = "wifi needs the router state and the cloud state, each 0 to 15";
            return false;
        }
        command->cmd = Cmd::WifiStatus;
        payload.append('\0').append(char(cloud << 4 | router));
    } else if (word == "control-hex") {
        const HexInput::Result values = HexInput::parse(args.join(' '));
        if (!values.ok()) {
            *error = "control-hex needs hexadecimal bytes";
            return false;
        }
        command->cmd = Cmd::Control;
        payload = char(Action::Control) + values.bytes;
    } else if (word == "control") {
        if (!definition) {
            *error = "control needs a product definition (--definition FILE.json)";
            return false;
        }
        if (args.isEmpty()) {
            *error = "control needs at least one NAME=VALUE";
            return false;
        }
        QByteArray encoded;
        if (!ControlText::encode(*definition, args, &encoded, error))
            return false;
        command->cmd = Cmd::Control;
        payload = char(Action::Control) + encoded;
    } else {
        *error = QString("unknown command '%1'").arg(word);
        return false;
    }
    if (payload.size() > MaxPayload) {
        *error = QString("a payload of %1 bytes does not fit a frame (at most %2)")
                     .arg(payload.size())
                     .arg(MaxPayload);
        return false;
    }
    command->kind = SimCommand::Send;
    command->bytes = payload;
    return true;
}
