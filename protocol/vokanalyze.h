#ifndef VOKANALYZE_H
#define VOKANALYZE_H

#include "protocol/analyzeresult.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSettings;
class VokFramer;
class VokTool;

// Answers the module's requests from the reply templates of
// auto_analyze.ini, explains frames field by field, and keeps the product key.
class VokAnalyze : public QObject
{
    Q_OBJECT
public:
    // settingsPath empty: auto_analyze.ini beside the executable.
    explicit VokAnalyze(VokFramer *framer, QObject *parent = nullptr,
                        const QString &settingsPath = QString());
    ~VokAnalyze() override;

    AnalyzeResult analyze(const QByteArray &frame);
    QString getValue(const QString &key);
    void setValue(const QString &key, QByteArray bytes);
    bool setProductKey(const QString &text);

signals:
    void RespondReady(QByteArray);

private slots:
    void FindRespond(QByteArray Data);

private:
    VokFramer *framer = nullptr;
    VokTool *tool = nullptr;
    QSettings *settings = nullptr;
};

#endif // VOKANALYZE_H
