#include "pages/monitor/frameexplainer.h"

#include "datapoint/vokjson.h"
#include "pages/monitor/exchangetracker.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"
#include "protocol/voktool.h"

#include <QStringList>

namespace {
constexpr int kCmdPos = 4;
constexpr int kActionPos = 8;
constexpr int kKeyPos = 40;
constexpr int kKeySize = 32;

quint8 byteAt(const QByteArray &frame, int pos)
{
    return pos < frame.size() ? quint8(frame.at(pos)) : 0;
}

QString joinValues(const QMap<QString, QString> &values)
{
    QStringList parts;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        parts << it.key() + '=' + it.value();
    return parts.join(QStringLiteral(", "));
}
} // namespace

FrameExplainer::FrameExplainer(QObject *parent, const QString &settingsPath)
    : QObject(parent), idleFeed(new ChunkFeed), json(new VokJson)
{
    // The analyser answers every frame of its framer; this one is never fed,
    // so the analyser here only explains.
    idleFramer = new VokFramer(idleFeed);
    analyzer = new VokAnalyze(idleFramer, nullptr, settingsPath);
}

FrameExplainer::~FrameExplainer()
{
    delete analyzer;
    delete idleFramer;
    delete idleFeed;
    delete json;
}

bool FrameExplainer::loadDefinition()
{
    json->parseJson(analyzer->getValue(QStringLiteral("product_key/key")));
    return !json->dataPoints().isEmpty();
}

bool FrameExplainer::loadDefinitionFile(const QString &path)
{
    return json->parseFile(path);
}

QString FrameExplainer::commandName(const QByteArray &frame)
{
    if (frame.size() <= kCmdPos)
        return QString();
    // The description depends on the code, on the action of 03 and on
    // whether a 04 carries data; nothing else.
    const quint8 cmd = byteAt(frame, kCmdPos);
    const quint32 key = cmd << 16 | (cmd == 0x03 ? byteAt(frame, kActionPos) << 8 : 0)
                        | (cmd == 0x04 && frame.size() == 9 ? 1 : 0);
    auto it = names.constFind(key);
    if (it == names.constEnd())
        it = names.insert(key, QString::asprintf("%02X ", cmd) + analyzer->analyze(frame).description);
    return *it;
}

AnalyzeResult FrameExplainer::analyze(const QByteArray &frame)
{
    return analyzer->analyze(frame);
}

QMap<QString, QString> FrameExplainer::values(const QByteArray &frame) const
{
    const quint8 cmd = byteAt(frame, kCmdPos);
    const quint8 action = byteAt(frame, kActionPos);
    if (frame.size() <= kActionPos + 1)
        return {};
    if (cmd == 0x03 && action == 0x01)
        return json->decodeControl(frame);
    return json->decodeStatus(frame);
}

QString FrameExplainer::shortDecoding(const QByteArray &frame)
{
    const quint8 cmd = byteAt(frame, kCmdPos);
    const quint8 action = byteAt(frame, kActionPos);
    const bool carriesValues = frame.size() > kActionPos + 1
                               && ((cmd == 0x03 && action == 0x01) || (cmd == 0x04 && action == 0x03)
                                   || (cmd == 0x05 && action == 0x04));
    if (carriesValues) {
        if (json->dataPoints().isEmpty())
            return tr("（无数据点定义）");
        return joinValues(values(frame));
    }
    switch (cmd) {
    case 0x02:
        if (frame.size() >= kKeyPos + kKeySize)
            return QStringLiteral("product_key=") + QString::fromLatin1(frame.mid(kKeyPos, kKeySize));
        return QString();
    case 0x09:
        return analyzer->analyze(frame).setMode;
    case 0x0D: {
        const AnalyzeResult result = analyzer->analyze(frame);
        if (result.wifiState.isEmpty())
            return QString();
        return result.wifiState + tr("；") + result.connect;
    }
    default:
        return QString();
    }
}

QString FrameExplainer::hexText(QByteArray bytes)
{
    return QString::fromLatin1(VokTool().toHexString(bytes).trimmed());
}
