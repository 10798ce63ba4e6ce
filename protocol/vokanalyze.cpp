#include "protocol/vokanalyze.h"

#include "protocol/frame.h"
#include "protocol/hexinput.h"
#include "protocol/vokfiles.h"
#include "protocol/vokframer.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>
#include <utility>

namespace {
using namespace VokFrame;

// Reply template for a request the MCU answers, empty for every other command.
QString respondKey(quint8 cmd)
{
    return expectsReply(cmd) ? QString::asprintf("Respond/%02X", replyCode(cmd)) : QString();
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

// The key bytes of a typed product key (spaces already removed): the 32
// characters themselves, or the 64 hexadecimal codes of 32 characters.
// Empty when the text is neither, so a malformed entry can never shrink or
// garble the 32 key bytes of the reply template.
QByteArray productKeyBytes(const QString &text)
{
    if (text.size() == ProductKeySize) {
        if (!std::all_of(text.begin(), text.end(), [](QChar c) { return isKeyChar(c.unicode()); }))
            return {};
        return text.toLatin1();
    }
    if (text.size() == 2 * ProductKeySize) {
        if (!std::all_of(text.begin(), text.end(), HexInput::isHexDigit))
            return {};
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        if (!std::all_of(bytes.begin(), bytes.end(), [](char c) { return isKeyChar(quint8(c)); }))
            return {};
        return bytes;
    }
    return {};
}

// The sections the MCU page reads: reply templates, module commands, the
// product key and the description texts of the analysis panel.
const char *const kNeededSections[] = {"Respond", "Defaule", "product_key", "cmd",
                                       "connect", "setmode", "wifistate"};

bool isUtf8Text(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0 && !bytes.contains('\0');
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
    path = settingsPath.isEmpty() ? VokFiles::analyzeSettings() : settingsPath;
    openSettings();
    problem = findProblem();
    connect(framer, &VokFramer::LineDataReady, this, &VokAnalyze::FindRespond);
}

VokAnalyze::~VokAnalyze()
{
    delete settings;
}

void VokAnalyze::openSettings()
{
    delete settings;
    settings = new QSettings(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
}

QString VokAnalyze::findProblem() const
{
    QFile file(path);
    QString what;
    if (!file.exists()) {
        what = tr("不存在");
    } else if (!file.open(QIODevice::ReadOnly)) {
        what = tr("无法读取（%1）").arg(file.errorString());
    } else {
        const QByteArray bytes = file.readAll();
        if (bytes.isEmpty()) {
            what = tr("是空的");
        } else if (!isUtf8Text(bytes)) {
            what = tr("不是UTF-8文本");
        } else {
            const QStringList groups = settings->childGroups();
            QStringList missing;
            for (const char *section : kNeededSections) {
                if (!groups.contains(QLatin1String(section)))
                    missing << QStringLiteral("[%1]").arg(QLatin1String(section));
            }
            QStringList faults;
            if (settings->status() != QSettings::NoError)
                faults << tr("格式有误");
            if (!missing.isEmpty())
                faults << tr("缺少 %1").arg(missing.join(QStringLiteral("、")));
            what = faults.join(QStringLiteral("，"));
        }
    }
    if (what.isEmpty())
        return {};
    return tr("设置文件 %1 %2：缺少的应答模板、模块命令和说明不可用，其余照常。").arg(path, what);
}

void VokAnalyze::FindRespond(QByteArray Data)
{
    // A frame too short for cmd, sn, flags and checksum is corrupt: no answer.
    if (Data.size() < MinSize)
        return;
    const quint8 request = *cmd(Data);
    const QString key = respondKey(request);
    if (key.isEmpty())
        return;
    QByteArray reply = templateBytes(key);
    if (reply.isEmpty())
        return; // no usable template: silence rather than a frame of zeros
    // A truncated template still becomes a whole smallest frame, so sn, action
    // and checksum never land on top of each other.
    growTo(reply, MinSize);
    reply[SnPos] = Data.at(SnPos);
    if (request == Cmd::Control && action(Data) == Action::StatusRead) {
        // The page swaps this for a full status frame with its own checksum.
        reply[ActionPos] = char(Action::StatusReply);
    } else {
        reply[reply.size() - 1] = char(tool.checksum(reply, LenPos, 1));
    }
    emit RespondReady(reply);
}

AnalyzeResult VokAnalyze::analyze(const QByteArray &frame)
{
    AnalyzeResult result;
    const std::optional<quint8> code = cmd(frame);
    const std::optional<uint> length = len(frame);
    if (length)
        result.length = lowerHex(*length);
    if (const std::optional<quint8> number = sn(frame))
        result.sn = lowerHex(*number);
    if (!code)
        return result; // no command byte: nothing to describe
    result.checksum = lowerHex(tool.checksum(frame, LenPos, 1));
    result.cmd = lowerHex(*code);
    // Byte 8 is read whenever it is there, as the description keys ask.
    const int sub = byteAt(frame, ActionPos).value_or(-1);

    QString key = "cmd/";
    if (*code >= Cmd::ProductInfoRequest && *code <= Cmd::LastKnown)
        key += QString::asprintf("%02X", *code);
    switch (*code) {
    case Cmd::ProductInfo:
        result.productKey = getValue("product_key/key");
        break;
    case Cmd::Control:
        if (sub == Action::Control || sub == Action::StatusRead)
            key += QString::asprintf("%02X", sub);
        break;
    case Cmd::ControlReply:
        key += *length == LenWithoutPayload ? "04" : "03";
        break;
    case Cmd::SetMode:
        if (sub == 0x01 || sub == 0x02)
            result.setMode = getValue(QString::asprintf("setmode/%02X", sub));
        break;
    case Cmd::WifiStatus:
        // Wi-Fi state in the low four bits, connection state in the high four.
        if (const std::optional<quint8> state = byteAt(frame, PayloadPos + 1)) {
            result.wifiState = getValue(QString::asprintf("wifistate/%02X", *state & 0x0F));
            result.connect = getValue(QString::asprintf("connect/%02X", *state >> 4));
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

bool VokAnalyze::setProductKey(const QString &text, QString *storeError)
{
    if (!settings)
        return false;
    const QByteArray keyBytes = productKeyBytes(QString(text).remove(' '));
    if (keyBytes.isEmpty())
        return false;
    const QVariant oldKey = settings->value("product_key/key");
    const QVariant oldReply = settings->value("Respond/02");
    settings->setValue("product_key/key", QString::fromLatin1(keyBytes));
    QByteArray reply = templateBytes("Respond/02");
    // Without a template there is nothing to patch; none is invented.
    if (!reply.isEmpty()) {
        growTo(reply, ProductKeyPos + ProductKeySize);
        reply.replace(ProductKeyPos, ProductKeySize, keyBytes);
        setValue("Respond/02", reply);
    }
    settings->sync();
    // A format error found when the file was read says nothing about this write.
    if (settings->status() != QSettings::AccessError)
        return true;
    // Not stored: the values in memory go back to what the file still holds,
    // and a fresh object forgets the failed write.
    for (const auto &[key, value] : {std::pair{"product_key/key", oldKey}, {"Respond/02", oldReply}}) {
        if (value.isValid())
            settings->setValue(key, value);
        else
            settings->remove(key);
    }
    openSettings();
    if (storeError)
        *storeError = tr("无法写入设置文件 %1，product_key未保存").arg(path);
    return false;
}

// Read strictly: a stray character or an odd digit would shift every
// following byte by half, and the reply would disagree with its own len.
QByteArray VokAnalyze::templateBytes(const QString &key)
{
    const HexInput::Result parsed = HexInput::parse(getValue(key));
    if (!parsed.ok())
        emit templateRejected(key, parsed.message);
    return parsed.bytes;
}
