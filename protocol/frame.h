#ifndef FRAME_H
#define FRAME_H

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The version 4 frame, unescaped, header included:
// FF FF | len (2, big-endian) | cmd | sn | flags (2) | payload | checksum.
// len counts cmd through the checksum, so a frame is len + 4 bytes long.
namespace VokFrame {

constexpr char HeaderByte = char(0xFF);
// On the wire a 0x55 follows every 0xFF behind the header.
constexpr char EscapeByte = char(0x55);

constexpr int LenPos = 2;
constexpr int CmdPos = 4;
constexpr int SnPos = 5;
constexpr int FlagsPos = 6;
constexpr int ActionPos = 8; // the first payload byte, where a command has a sub-code
constexpr int PayloadPos = 8;
constexpr int LenEnd = 4;            // header and len: the bytes len does not count
constexpr int MinSize = 9;           // no payload
constexpr int LenWithoutPayload = 5; // cmd, sn, flags, checksum
constexpr int MaxPayload = 0xFFFF - LenWithoutPayload;

// The product-information reply carries the product key as text.
constexpr int ProductKeyPos = 40;
constexpr int ProductKeySize = 32;
constexpr int ProductInfoSize = 75;

// Command codes; the MCU answers a request with the next code up.
namespace Cmd {
enum : quint8 {
    ProductInfoRequest = 0x01, ProductInfo = 0x02,
    Control = 0x03, ControlReply = 0x04,
    StatusReport = 0x05,
    Heartbeat = 0x07, HeartbeatReply = 0x08,
    SetMode = 0x09, Init = 0x0B,
    WifiStatus = 0x0D, WifiStatusReply = 0x0E,
    LastKnown = 0x12,
};
} // namespace Cmd

// The sub-code in the first payload byte.
namespace Action {
enum : quint8 {
    Control = 0x01,      // 03: datapoint values
    StatusRead = 0x02,   // 03: asks for the status
    StatusReply = 0x03,  // 04: answers a status read
    StatusReport = 0x04, // 05: sent by the MCU on its own
};
} // namespace Action

// Requests of the module that the MCU answers, and the code it answers with.
bool expectsReply(quint8 cmd);
constexpr quint8 replyCode(quint8 cmd) { return quint8(cmd + 1); }

// Big-endian value of the (up to) two bytes at pos; a single remaining byte
// gives its own value, none gives 0.
uint getUint16(const QByteArray &bytes, int pos);
// Sum modulo 256 of data[start] .. data[size - tail - 1]; 0 when that range
// is empty.
quint8 checksum(const QByteArray &data, int start, int tail);
// The frame checksum: every byte from len up to the checksum byte.
inline quint8 checksum(const QByteArray &frame) { return checksum(frame, LenPos, 1); }
// Stores the checksum in the last byte of a frame that has one.
void stampChecksum(QByteArray &frame);
// A whole frame: len, flags 00 00 and the checksum filled in.
QByteArray build(quint8 cmd, quint8 sn, const QByteArray &payload);
// The wire form: a 0x55 after every 0xFF from index from on.
QByteArray escaped(const QByteArray &frame, int from);
// "AA BB ... " (uppercase pairs, each followed by one space), as logs and
// auto_analyze.ini hold bytes.
QByteArray toHexString(const QByteArray &bytes);

// The fields of a frame, absent when the frame is too short to hold them.
std::optional<quint8> byteAt(const QByteArray &frame, int pos);
std::optional<uint> len(const QByteArray &frame);
inline std::optional<quint8> cmd(const QByteArray &frame) { return byteAt(frame, CmdPos); }
inline std::optional<quint8> sn(const QByteArray &frame) { return byteAt(frame, SnPos); }
// Only a frame with a payload has an action: the byte 8 of a 9-byte frame
// is its checksum.
std::optional<quint8> action(const QByteArray &frame);
// A status reply (04, action 03) or a status report (05, action 04).
bool isStatusFrame(const QByteArray &frame);
// The frame in bytes as received (unescaped) or as written (escaped):
// whichever form has the size its len gives; nothing when neither has.
std::optional<QByteArray> wholeFrame(const QByteArray &bytes);

} // namespace VokFrame

#endif // FRAME_H
