#ifndef ANALYZERESULT_H
#define ANALYZERESULT_H

#include <QString>

// The nine texts that explain one frame in the MCU page's analysis panel.
// Every field is empty unless the frame's command sets it.
struct AnalyzeResult
{
    QString description;
    QString length;
    QString cmd;
    QString sn;
    QString checksum;
    QString setMode;
    QString connect;
    QString wifiState;
    QString productKey;
};

#endif // ANALYZERESULT_H
