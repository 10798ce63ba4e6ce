#ifndef VOKANALYZE_H
#define VOKANALYZE_H

#include "protocol/analyzeresult.h"
#include "protocol/voktool.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSettings;
class VokFramer;

// Answers the module's requests from the reply templates of
// auto_analyze.ini, explains frames field by field, and keeps the product key.
class VokAnalyze : public QObject
{
    Q_OBJECT
public:
    // settingsPath empty: VokFiles::analyzeSettings().
    explicit VokAnalyze(VokFramer *framer, QObject *parent = nullptr,
                        const QString &settingsPath = QString());
    ~VokAnalyze() override;

    // The nine texts of one frame; a field whose byte the frame lacks stays
    // empty, and nothing beyond the frame is read.
    AnalyzeResult analyze(const QByteArray &frame);
    // Text of a key, empty when absent (or when no settings are open).
    QString getValue(const QString &key);
    // Stores bytes as "AA BB ... " text.
    void setValue(const QString &key, QByteArray bytes);
    // Accepts, after removing spaces, 32 printable ASCII characters or the 64
    // hexadecimal codes of such characters; stores the key and patches it
    // into the Respond/02 template. False: rejected, or (storeError set)
    // the file could not be written; either way nothing changed.
    bool setProductKey(const QString &text, QString *storeError = nullptr);
    // What is wrong with the settings file (missing, unreadable, not UTF-8
    // text, sections the page needs absent), naming the file; empty when
    // nothing is. The analyser goes on with whatever it could read.
    QString settingsProblem() const { return problem; }

signals:
    void RespondReady(QByteArray);
    // A reply template that is not whole hexadecimal bytes: nothing is sent
    // for it. reason says where the text goes wrong.
    void templateRejected(const QString &key, const QString &reason);

private slots:
    void FindRespond(QByteArray Data);

private:
    // Empty for an absent template and for one that is refused.
    QByteArray templateBytes(const QString &key);
    void openSettings();
    QString findProblem() const;

    VokFramer *framer = nullptr;
    VokTool tool;
    QSettings *settings = nullptr;
    QString path;
    QString problem;
};

#endif // VOKANALYZE_H
