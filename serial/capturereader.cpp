#include "serial/capturereader.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstring>

namespace {

const QByteArray firstLine = QByteArrayLiteral("# vok-serial-tool capture 1");
const int timeFieldSize = 23; // yyyy-MM-dd HH:mm:ss.zzz
const int hourPrefixSize = 13; // yyyy-MM-dd HH

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// count decimal digits at text[pos...]; -1 when one of them is not a digit.
int number(const char *text, int pos, int count)
{
    int value = 0;
    for (int i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "AA BB CC": uppercase pairs, one space between them.
bool parseHex(const char *text, int size, QByteArray &bytes)
{
    if (size % 3 != 2)
        return false;
    bytes.resize((size + 1) / 3);
    char *out = bytes.data();
    for (int i = 0; i < size; i += 3) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0 || (i + 2 < size && text[i + 2] != ' '))
            return false;
        *out++ = char(high << 4 | low);
    }
    return true;
}

// %XX escapes back to the UTF-8 bytes they stand for.
bool parsePort(const QByteArray &field, QString &port)
{
    QByteArray raw;
    raw.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) != '%') {
            raw.append(field.at(i));
            continue;
        }
        if (i + 2 >= field.size())
            return false;
        const int high = hexValue(field.at(i + 1));
        const int low = hexValue(field.at(i + 2));
        if (high < 0 || low < 0)
            return false;
        raw.append(char(high << 4 | low));
        i += 2;
    }
    port = QString::fromUtf8(raw);
    return !port.isEmpty();
}

} // namespace

CaptureReader::CaptureReader(const QString &path) : file(path)
{
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QCoreApplication::translate("CaptureReader", "无法打开文件：%1").arg(file.errorString()));
        return;
    }
    const QByteArray head = file.readLine();
    line = 1;
    if (head != firstLine + '\n' && head != firstLine)
        fail(QCoreApplication::translate("CaptureReader", "第 1 行：不是捕获文件（应为“%1”）").arg(QString::fromLatin1(firstLine)));
}

bool CaptureReader::fail(const QString &why)
{
    failure = why;
    done = true;
    return false;
}

bool CaptureReader::next(CaptureRecord &record)
{
    while (!done) {
        QByteArray text = file.readLine();
        if (text.isEmpty()) {
            done = true;
            if (file.error() != QFileDevice::NoError)
                return fail(QCoreApplication::translate("CaptureReader", "第 %1 行：读取失败：%2").arg(line + 1).arg(file.errorString()));
            return false;
        }
        ++line;
        if (text.endsWith('\n'))
            text.chop(1);
        if (text.startsWith('#'))
            continue;
        if (!parse(text, record))
            return fail(QCoreApplication::translate("CaptureReader", "第 %1 行：格式不符，读到此为止").arg(line));
        return true;
    }
    return false;
}

bool CaptureReader::parse(const QByteArray &text, CaptureRecord &record)
{
    // DATE TIME PORT DIR REST
    if (text.size() < timeFieldSize + 1 || text.at(timeFieldSize) != ' ')
        return false;
    bool ok = false;
    record.msecsSinceEpoch = parseTime(text.constData(), ok);
    if (!ok)
        return false;
    const int portStart = timeFieldSize + 1;
    const int portEnd = text.indexOf(' ', portStart);
    if (portEnd < 0 || !parsePort(text.mid(portStart, portEnd - portStart), record.port))
        return false;
    const int dirEnd = portEnd + 3;
    if (dirEnd > text.size() || (dirEnd < text.size() && text.at(dirEnd) != ' '))
        return false;
    const QByteArray dir = text.mid(portEnd + 1, 2);
    const int restStart = qMin(dirEnd + 1, text.size());
    const char *rest = text.constData() + restStart;
    const int restSize = text.size() - restStart;
    record.bytes.clear();
    record.text.clear();
    if (dir == "--") {
        record.direction = CaptureRecord::Notice;
        record.text = QString::fromUtf8(rest, restSize);
        return true;
    }
    if (dir == "RX")
        record.direction = CaptureRecord::Received;
    else if (dir == "TX")
        record.direction = CaptureRecord::Sent;
    else
        return false;
    return parseHex(rest, restSize, record.bytes);
}

qint64 CaptureReader::parseTime(const char *text, bool &ok)
{
    ok = false;
    // yyyy-MM-dd HH:mm:ss.zzz
    const char separators[] = {'-', '-', ' ', ':', ':', '.'};
    const int at[] = {4, 7, 10, 13, 16, 19};
    for (int i = 0; i < 6; ++i) {
        if (text[at[i]] != separators[i])
            return 0;
    }
    const int minute = number(text, 14, 2);
    const int second = number(text, 17, 2);
    const int msec = number(text, 20, 3);
    if (minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0)
        return 0;
    if (hourText.isEmpty() || std::memcmp(hourText.constData(), text, hourPrefixSize) != 0) {
        const int year = number(text, 0, 4);
        const QDate date(year, number(text, 5, 2), number(text, 8, 2));
        const int hour = number(text, 11, 2);
        if (year < 1 || !date.isValid() || hour < 0 || hour > 23)
            return 0;
        hourStart = QDateTime(date, QTime(hour, 0)).toMSecsSinceEpoch();
        hourText = QByteArray(text, hourPrefixSize);
    }
    ok = true;
    return hourStart + minute * 60000 + second * 1000 + msec;
}
