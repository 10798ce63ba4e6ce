#include "protocol/vokanalyze.h"
// placeholder until the analyser lands
VokAnalyze::VokAnalyze(VokFramer *, QObject *parent, const QString &) : QObject(parent) {}
VokAnalyze::~VokAnalyze() {}
AnalyzeResult VokAnalyze::analyze(const QByteArray &) { return {}; }
QString VokAnalyze::getValue(const QString &) { return {}; }
void VokAnalyze::setValue(const QString &, QByteArray) {}
bool VokAnalyze::setProductKey(const QString &) { return false; }
void VokAnalyze::FindRespond(QByteArray) {}
