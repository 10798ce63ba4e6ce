#ifndef FRAMEEXPLAINER_H
#define FRAMEEXPLAINER_H

#include "protocol/analyzeresult.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

class ChunkFeed;
class VokAnalyze;
class VokFramer;
class VokJson;

// The texts of the monitor: command names and field explanations from the
// analysis settings, datapoint values from the stored product key's cached
// definition.
class FrameExplainer : public QObject
{
    Q_OBJECT
public:
    // settingsPath empty: auto_analyze.ini beside the executable.
    explicit FrameExplainer(QObject *parent = nullptr, const QString &settingsPath = QString());
    ~FrameExplainer() override;

    // Parses the cached definition of the stored product key again (the MCU
    // page may have fetched it since); false when there is none.
    bool loadDefinition();
    // A definition file of one's own choosing (tests, benchmarks).
    bool loadDefinitionFile(const QString &path);

    // "03 description" of the frame's command.
    QString commandName(const QByteArray &frame);
    AnalyzeResult analyze(const QByteArray &frame);
    // Datapoint values of a control or status frame by display name.
    QMap<QString, QString> values(const QByteArray &frame) const;
    // One line: the values, a Wi-Fi state, a set mode or a product key.
    QString shortDecoding(const QByteArray &frame);
    // "FF FF 00 05 ..." (uppercase pairs, one space between them).
    static QString hexText(const QByteArray &bytes);

private:
    ChunkFeed *idleFeed;
    VokFramer *idleFramer;
    VokAnalyze *analyzer;
    VokJson *json;
    QHash<quint32, QString> names; // by command code and the bytes that pick its text
};

#endif // FRAMEEXPLAINER_H
