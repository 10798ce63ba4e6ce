#include "protocol/vokanalyze.h"

#include "protocol/vokfiles.h"
#include "protocol/vokframer.h"

#include <QDebug>
#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace {
constexpr int kLenPos = 2;
constexpr int kCmdPos = 4;
constexpr int kSnPos = 5;
constexpr int kActionPos = 8;
constexpr int kStatePos = 9;      // command 0D: Wi-Fi state (low nibble), connection (high)
constexpr int kMinFrameSize = 9;  // header, len, cmd, sn, flags, checksum
constexpr int kKeyPos = 40;       // product key inside the product-information reply
constexpr int kKeySize = 32;

constexpr quint8 kCmdProductInfo = 0x02;
constexpr quint8 kCmdControl = 0x03;
constexpr quint8 kCmdControlReply = 0x04;
constexpr quint8 kCmdSetMode = 0x09;
constexpr quint8 kCmdWifiState = 0x0D;
constexpr quint8 kLastKnownCmd = 0x12;
constexpr quint8 kActionControl = 0x01;
constexpr quint8 kActionStatusRead = 0x02;
constexpr quint8 kActionStatusReply = 0x03;
constexpr uint kLenWithoutPayload = 5;

// Reply template for a request the MCU answers, empty for every other command.
QString respondKey(quint8 cmd)
{
    switch (cmd) {
    case 0x01: case 0x03: case 0x07: case 0x0D: case 0x0F: case 0x11:
        return QString::asprintf("Respond/%02X", cmd + 1);
    default:
        return {};
    }
}

QString lowerHex(uint value)
{
    return QString::asprintf("%02x", value);
}

void growTo(QByteArray &bytes, int size)
{
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), '\0'));
}

bool isKeyChar(uint c)
{
    return c > 0x20 && c < 0x7F; // printable ASCII, space excluded
}

bool isHexDigit(ushort c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The key bytes of a typed product key (spaces already removed): the 32
// characters themselves, or the 64 hexadecimal codes of 32 characters.
// Empty when the text is neither, so a malformed entry can never shrink or
// garble the 32 key bytes of the reply template.
QByteArray productKeyBytes(const QString &text)
{
    if (text.size() == kKeySize) {
        if (!std::all_of(text.begin(), text.end(), [](QChar c) { return isKeyChar(c.unicode()); }))
            return {};
        return text.toLatin1();
    }
    if (text.size() == 2 * kKeySize) {
        if (!std::all_of(text.begin(), text.end(), [](QChar c) { return isHexDigit(c.unicode()); }))
            return {};
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        if (!std::all_of(bytes.begin(), bytes.end(), [](char c) { return isKeyChar(quint8(c)); }))
            return {};
        return bytes;
    }
    return {};
}
} // namespace

VokAnalyze::VokAnalyze(VokFramer *framer, QObject *parent, const QString &settingsPath)
    : QObject(parent)
{
    if (!framer) {
        qDebug() << "error VokFramer";
        return;
    }
    this->framer = framer;
    const QString path = settingsPath.isEmpty()
            ? VokFiles::analyzeSettings()
            : settingsPath;
    settings = new QSettings(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    connect(framer, &VokFramer::LineDataReady, this, &VokAnalyze::FindRespond);
}

VokAnalyze::~VokAnalyze()
{
    delete settings;
}

void VokAnalyze::FindRespond(QByteArray Data)
{
    // A frame too short for cmd, sn, flags and checksum is corrupt: no answer.
    if (Data.size() < kMinFrameSize)
        return;
    const quint8 cmd = quint8(Data.at(kCmdPos));
    const QString key = respondKey(cmd);
    if (key.isEmpty())
        return;
    QByteArray reply = templateBytes(key);
    if (reply.isEmpty())
        return; // no template: silence rather than a frame of zeros
    // A truncated template still becomes a whole smallest frame, so sn, action
    // and checksum never land on top of each other.
    growTo(reply, kMinFrameSize);
    reply[kSnPos] = Data.at(kSnPos);
    // A 9-byte frame has no payload: its byte 8 is the checksum, not an action.
    const bool hasAction = Data.size() > kMinFrameSize;
    if (cmd == kCmdControl && hasAction && quint8(Data.at(kActionPos)) == kActionStatusRead) {
        // The page swaps this for a full status frame with its own checksum.
        reply[kActionPos] = char(kActionStatusReply);
    } else {
        reply[reply.size() - 1] = char(tool.checksum(reply, 2, 1));
    }
    emit RespondReady(reply);
}

AnalyzeResult VokAnalyze::analyze(const QByteArray &frame)
{
    AnalyzeResult result;
    const int size = frame.size();
    auto byteAt = [&frame](int pos) { return quint8(frame.at(pos)); };

    if (size >= kCmdPos)
        result.length = lowerHex(tool.getUint16(frame, kLenPos));
    if (size > kSnPos)
        result.sn = lowerHex(byteAt(kSnPos));
    if (size <= kCmdPos)
        return result; // no command byte: nothing to describe
    result.checksum = lowerHex(tool.checksum(frame, 2, 1));

    const quint8 cmd = byteAt(kCmdPos);
    result.cmd = lowerHex(cmd);
    const int action = size > kActionPos ? byteAt(kActionPos) : -1;

    QString key = "cmd/";
    if (cmd >= 0x01 && cmd <= kLastKnownCmd)
        key += QString::asprintf("%02X", cmd);
    switch (cmd) {
    case kCmdProductInfo:
        result.productKey = getValue("product_key/key");
        break;
    case kCmdControl:
        if (action == kActionControl || action == kActionStatusRead)
            key += QString::asprintf("%02X", action);
        break;
    case kCmdControlReply:
        key += tool.getUint16(frame, kLenPos) == kLenWithoutPayload ? "04" : "03";
        break;
    case kCmdSetMode:
        if (action == 0x01 || action == 0x02)
            result.setMode = getValue(QString::asprintf("setmode/%02X", action));
        break;
    case kCmdWifiState:
        if (size > kStatePos) {
            const quint8 state = byteAt(kStatePos);
            result.wifiState = getValue(QString::asprintf("wifistate/%02X", state & 0x0F));
            result.connect = getValue(QString::asprintf("connect/%02X", state >> 4));
        }
        break;
    default:
        break;
    }
    result.description = getValue(key);
    return result;
}

QString VokAnalyze::getValue(const QString &key)
{
    if (!settings)
        return {};
    const QVariant value = settings->value(key);
    // An unquoted value holding an ASCII comma reads back as a list; give the
    // text back rather than nothing.
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(", ");
    return value.toString();
}

void VokAnalyze::setValue(const QString &key, QByteArray bytes)
{
    if (!settings)
        return;
    settings->setValue(key, QString::fromLatin1(tool.toHexString(bytes)));
    settings->sync();
}

bool VokAnalyze::setProductKey(const QString &text)
{
    if (!settings)
        return false;
    const QByteArray keyBytes = productKeyBytes(QString(text).remove(' '));
    if (keyBytes.isEmpty())
        return false;
    settings->setValue("product_key/key", QString::fromLatin1(keyBytes));
    QByteArray reply = templateBytes("Respond/02");
    // Without a template there is nothing to patch; none is invented.
    if (!reply.isEmpty()) {
        growTo(reply, kKeyPos + kKeySize);
        reply.replace(kKeyPos, kKeySize, keyBytes);
        setValue("Respond/02", reply);
    }
    settings->sync();
    return true;
}

QByteArray VokAnalyze::templateBytes(const QString &key)
{
    return QByteArray::fromHex(getValue(key).toLatin1());
}
