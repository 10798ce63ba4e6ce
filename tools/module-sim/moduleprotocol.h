#ifndef MODULEPROTOCOL_H
#define MODULEPROTOCOL_H

#include <QByteArray>
#include <QString>

// What only the module side knows: which frames the MCU sends, their short
// names, and the text forms of the simulator's commands.
class ModuleProtocol
{
public:
    // Frames the MCU sends on its own, which the module acknowledges with the
    // next code up and the same sn.
    static bool isMcuRequest(quint8 cmd);
    // Every command the MCU may send: its replies and its own requests.
    static bool isMcuCommand(quint8 cmd);

    static QString hex(quint8 byte) { return QString("%1").arg(byte, 2, 16, QChar('0')).toUpper(); }
    // A decimal number, or a hexadecimal one written with 0x.
    static bool parseNumber(const QString &text, qint64 *value);

    // Short name of a frame by its command (and action) byte.
    static QString commandName(const QByteArray &frame);
};

#endif // MODULEPROTOCOL_H
