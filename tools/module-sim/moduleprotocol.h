#ifndef MODULEPROTOCOL_H
#define MODULEPROTOCOL_H

#include <QByteArray>
#include <QString>

// What the module side knows of the frame layout and of who sends which
// command.
class ModuleProtocol
{
public:
    static constexpr int kCmd = 4;
    static constexpr int kSn = 5;
    static constexpr int kAction = 8;
    static constexpr int kMinFrame = 9;        // header, len, cmd, sn, flags, checksum
    static constexpr int kMaxPayload = 0xFFFF - 5;
    static constexpr int kProductInfoSize = 75;
    static constexpr int kProductKeyOffset = 40;
    static constexpr int kProductKeySize = 32;

    static constexpr quint8 kProductInfoRequest = 0x01;
    static constexpr quint8 kProductInfoReply = 0x02;
    static constexpr quint8 kControl = 0x03;
    static constexpr quint8 kControlReply = 0x04;
    static constexpr quint8 kStatusReport = 0x05;
    static constexpr quint8 kHeartbeat = 0x07;
    static constexpr quint8 kSetMode = 0x09;
    static constexpr quint8 kInit = 0x0B;
    static constexpr quint8 kWifiStatus = 0x0D;
    static constexpr quint8 kActionControl = 0x01;
    static constexpr quint8 kActionRead = 0x02;
    static constexpr quint8 kActionStatusReply = 0x03;
    static constexpr quint8 kActionStatusReport = 0x04;

    // Requests of the module that the MCU answers with the next code up.
    static bool expectsReply(quint8 cmd);
    // Frames the MCU sends on its own, which the module acknowledges with the
    // next code up and the same sn.
    static bool isMcuRequest(quint8 cmd);
    // Every command the MCU may send: its replies and its own requests.
    static bool isMcuCommand(quint8 cmd);
    // A status reply (04, action 03) or status report (05, action 04).
    static bool isStatusFrame(const QByteArray &frame);

    static quint8 byteAt(const QByteArray &frame, int index) { return quint8(frame.at(index)); }
    static QString hex(quint8 byte) { return QString("%1").arg(byte, 2, 16, QChar('0')).toUpper(); }
    // Strict hexadecimal text: digit pairs, white space allowed between
    // them; false for any other character or an odd number of digits.
    static bool parseHex(const QString &text, QByteArray *bytes);
    // A decimal number, or a hexadecimal one written with 0x.
    static bool parseNumber(const QString &text, qint64 *value);

    // Short name of a frame by its command (and action) byte.
    static QString commandName(const QByteArray &frame);
};

#endif // MODULEPROTOCOL_H
