#include "demoscenario.h"

#include "controltext.h"

#include "datapoint/vokjson.h"

QStringList DemoScenario::nextRound()
{
    QStringList lines;
    if (round == 0)
        lines << "info" << "wait 500" << "wifi 2 1" << "wait 1000" << "wifi 2 3" << "wait 500";
    lines << "heartbeat" << "wait 1000";
    const QString control = controlLine();
    if (!control.isEmpty())
        lines << control << "wait 1000";
    lines << "status" << "wait 1000";
    ++round;
    return lines;
}

QString DemoScenario::controlLine() const
{
    if (!definition)
        return QString();
    const QList<json_struct> points = definition->dataPoints();
    QStringList assignments;
    for (int i = 0; i < points.size(); ++i) {
        // A changing two thirds of the datapoints, so the presence mask varies too.
        if ((round + i) % 3 == 0 || points.at(i).display_name.contains('"'))
            continue;
        const QString text = assignment(points.at(i), i);
        QByteArray payload;
        QString error;
        // Datapoints the encoder refuses (read-only, odd layouts) are left out.
        if (!text.isEmpty() && ControlText::encode(*definition, {text}, &payload, &error))
            assignments << '"' + text.section('=', 0, -2) + "\"=" + text.section('=', -1);
    }
    return assignments.isEmpty() ? QString() : "control " + assignments.join(' ');
}

QString DemoScenario::assignment(const json_struct &point, int index) const
{
    const int step = round + index;
    QString value;
    if (point.isBool()) {
        value = QString::number(step % 2);
    } else if (point.isEnum()) {
        if (point.enum_values.isEmpty())
            return QString();
        value = QString::number(step % point.enum_values.size());
    } else if (point.uintBytes() > 0) {
        const qint64 low = qMax<qint64>(point.min, 0);
        const qint64 high = point.max > low ? point.max : low + 100;
        value = QString::number(low + (qint64(round) * 7 + index) % (high - low + 1));
    } else if (point.isBinary()) {
        value = QString::fromLatin1(QByteArray(qMax(point.len, 0), char(step)).toHex());
    } else {
        return QString();
    }
    return point.display_name + '=' + value;
}
