#include "pages/monitor/frameexplainer.h"

#include "datapoint/vokjson.h"
#include "pages/monitor/exchangetracker.h"
#include "protocol/frame.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"

#include <QStringList>

using namespace VokFrame;

namespace {
// A control (03, action 01): datapoint values set by the module.
bool isControlFrame(const QByteArray &frame)
{
    return action(frame) == Action::Control && cmd(frame) == Cmd::Control;
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
    const std::optional<quint8> code = cmd(frame);
    if (!code)
        return QString();
    // The description depends on the code, on the action of 03 and on
    // whether a 04 carries data; nothing else.
    const quint8 command = *code;
    const quint32 key = command << 16
                        | (command == Cmd::Control ? byteAt(frame, ActionPos).value_or(0) << 8 : 0)
                        | (command == Cmd::ControlReply && frame.size() == MinSize ? 1 : 0);
    auto it = names.constFind(key);
    if (it == names.constEnd())
        it = names.insert(key, QString::asprintf("%02X ", command) + analyzer->analyze(frame).description);
    return *it;
}

AnalyzeResult FrameExplainer::analyze(const QByteArray &frame)
{
    return analyzer->analyze(frame);
}

QMap<QString, QString> FrameExplainer::values(const QByteArray &frame) const
{
    if (!action(frame))
        return {};
    return isControlFrame(frame) ? json->decodeControl(frame) : json->decodeStatus(frame);
}

QString FrameExplainer::shortDecoding(const QByteArray &frame)
{
    if (isControlFrame(frame) || isStatusFrame(frame)) {
        if (json->dataPoints().isEmpty())
            return tr("（无数据点定义）");
        return joinValues(values(frame));
    }
    switch (cmd(frame).value_or(0)) {
    case Cmd::ProductInfo:
        if (frame.size() >= ProductKeyPos + ProductKeySize)
            return QStringLiteral("product_key=")
                   + QString::fromLatin1(frame.mid(ProductKeyPos, ProductKeySize));
        return QString();
    case Cmd::SetMode:
        return analyzer->analyze(frame).setMode;
    case Cmd::WifiStatus: {
        const AnalyzeResult result = analyzer->analyze(frame);
        if (result.wifiState.isEmpty())
            return QString();
        return result.wifiState + tr("；") + result.connect;
    }
    default:
        return QString();
    }
}

QString FrameExplainer::hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(toHexString(bytes).trimmed());
}
