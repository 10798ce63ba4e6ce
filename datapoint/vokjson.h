#ifndef VOKJSON_H
#define VOKJSON_H

#include "datapoint/json_struct.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class QNetworkReply;

// A product's datapoint definition: fetched over HTTP and cached beside the
// executable, parsed into records, and used to pack status payloads and to
// unpack control payloads.
class VokJson : public QObject
{
    Q_OBJECT
public:
    explicit VokJson(QObject *parent = nullptr);

    // Fetch and cache (VokFiles::definitionCache).
    void requestJson(const QString &productKey);
    // "host:port" of the definition service; the built-in default is the
    // VOK_DATAPOINT_HOST build setting.
    void setServiceHost(const QString &hostAndPort);
    // A fetch that has not completed by then counts as no answer (10 s).
    void setFetchTimeout(int milliseconds);
    // Parse the cached definition of the key; emits ListOk on success.
    void parseJson(const QString &productKey);
    // The same parse from any definition file; false when the file cannot be
    // read or is not valid JSON.
    bool parseFile(const QString &path);
    QList<json_struct> dataPoints() const { return dataPointList; }

    // Status payload coding.
    QByteArray statusTemplate() const;
    QByteArray setIntValue(QByteArray frame, const QString &displayName, qint64 value) const;
    QByteArray setBytesValue(QByteArray frame, const QString &displayName,
                             const QByteArray &bytes) const;
    QMap<QString, QString> decodeControl(const QByteArray &frame) const;
    // Values of every datapoint of a status frame (04 action 03, 05 action 04).
    QMap<QString, QString> decodeStatus(const QByteArray &frame) const;
    static QByteArray intToBytes(qint64 value, int len);
    static quint16 GetBits(const QByteArray &data, int endPos, int bitOffset, int bitLen);

    int writableCount = 0;

signals:
    void json_stat(bool);
    void ListOk(QList<json_struct>);

public slots:
    void replyFinished(QNetworkReply *);

private:
    const json_struct *findDataPoint(const QString &displayName) const;
    qint64 sectionBits(const QString &type) const;

    QList<json_struct> dataPointList;
    // Bit totals are 64-bit so that absurd lengths in a definition cannot overflow them.
    qint64 writableBits = 0;
    qint64 readonlyBits = 0;
    qint64 alertBits = 0;
    qint64 faultBits = 0;
    QString jsonPath;
    QString serviceHost;
    int fetchTimeoutMs = 10000;
};

#endif // VOKJSON_H
