#include "datapoint/vokjson.h"
// placeholder until the datapoint model lands
VokJson::VokJson(QObject *parent) : QObject(parent) {}
void VokJson::requestJson(const QString &) {}
void VokJson::parseJson(const QString &) {}
bool VokJson::parseFile(const QString &) { return false; }
QMap<QString, QString> VokJson::decodeStatus(const QByteArray &) const { return {}; }
QByteArray VokJson::statusTemplate() const { return {}; }
QByteArray VokJson::setIntValue(QByteArray f, const QString &, qint64) const { return f; }
QByteArray VokJson::setBytesValue(QByteArray f, const QString &, const QByteArray &) const { return f; }
QMap<QString, QString> VokJson::decodeControl(const QByteArray &) const { return {}; }
QByteArray VokJson::intToBytes(qint64, int) { return {}; }
quint16 VokJson::GetBits(const QByteArray &, int, int, int) { return 0; }
void VokJson::replyFinished(QNetworkReply *) {}
