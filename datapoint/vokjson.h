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
    // The first datapoint of that display name, null when there is none.
    const json_struct *findDataPoint(const QString &displayName) const;

    // Status payload coding.
    QByteArray statusTemplate() const;
    // Bytes of status data in a status frame (between action and checksum).
    int statusDataSize() const;
    QByteArray setIntValue(QByteArray frame, const QString &displayName, qint64 value) const;
    QByteArray setBytesValue(QByteArray frame, const QString &displayName,
                             const QByteArray &bytes) const;
    // The same in place, for the datapoint at that position of dataPoints():
    // no search by name, so a whole frame is built in linear time. An index
    // out of range changes nothing.
    void writeIntValue(QByteArray &frame, int index, qint64 value) const;
    void writeBytesValue(QByteArray &frame, int index, const QByteArray &bytes) const;
    QMap<QString, QString> decodeControl(const QByteArray &frame) const;
    // Values of every datapoint of a status frame (04 action 03, 05 action 04).
    QMap<QString, QString> decodeStatus(const QByteArray &frame) const;

    // Control payload coding: the bytes after the action byte, a presence
    // mask and then the writable section of the status data.
    struct ControlValue
    {
        QString displayName;
        qint64 number = 0; // bool, enum index or unsigned number
        QByteArray bytes;  // binary: at most len bytes, zero-padded
    };
    qint64 controlPayloadSize() const;
    // False, with the reason in error, for an unknown, read-only or repeated
    // datapoint, one whose field cannot be written, or a value that does not
    // fit its field.
    bool encodeControl(const QList<ControlValue> &values, QByteArray *payload,
                       QString *error) const;

    static QByteArray intToBytes(qint64 value, int len);
    static quint16 GetBits(const QByteArray &data, int endPos, int bitOffset, int bitLen);

    int writableCount = 0;

signals:
    void json_stat(bool);
    void ListOk(QList<json_struct>);

public slots:
    void replyFinished(QNetworkReply *);

private:
    qint64 sectionBits(json_struct::Section section) const;
    int indexOf(const QString &displayName) const;
    qint64 writableSectionSize() const;
    QString controlValueProblem(const json_struct &dp, const ControlValue &value) const;

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
