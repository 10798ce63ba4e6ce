#include "protocol/hexinput.h"

#include <QCoreApplication>
#include <QVector>

namespace HexInput {

namespace {

// Enough of a long group to recognise it in a message box.
const int maxShownGroupChars = 16;

int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Blanks and control characters would be invisible between quotes.
QString shownCharacter(const QString &character)
{
    const uint code = character.toUcs4().value(0);
    if (QChar::isPrint(code) && !QChar::isSpace(code))
        return QCoreApplication::translate("HexInput", "“%1”").arg(character);
    return QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
}

Result refused(int index, const QString &offending, const QString &message)
{
    Result result;
    result.errorPosition = index + 1;
    result.offending = offending;
    result.message = message;
    return result;
}

Result badCharacter(const QString &text, int index)
{
    // A character outside the Basic Multilingual Plane takes two QChars.
    const bool pair = text.at(index).isHighSurrogate() && index + 1 < text.size()
                      && text.at(index + 1).isLowSurrogate();
    const QString character = text.mid(index, pair ? 2 : 1);
    return refused(index, character,
                   QCoreApplication::translate("HexInput", "十六进制输入有误：第 %1 个字符 %2 不是十六进制数字或分隔符。")
                       .arg(index + 1)
                       .arg(shownCharacter(character)));
}

Result oddGroup(const QString &group, int index)
{
    QString shown = group.left(maxShownGroupChars);
    if (group.size() > maxShownGroupChars)
        shown += QStringLiteral("…");
    return refused(index, group,
                   QCoreApplication::translate("HexInput", "十六进制输入有误：第 %1 个字符起的“%2”有奇数个数字，每个字节要写两位。")
                       .arg(index + 1)
                       .arg(shown));
}

} // namespace

bool isHexDigit(QChar c)
{
    return digitValue(c) >= 0;
}

bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case ',':
    case ':':
    case '-':
        return true;
    default:
        return false;
    }
}

Result parse(const QString &text)
{
    Result result;
    const int size = text.size();
    int i = 0;
    while (i < size) {
        if (isSeparator(text.at(i))) {
            ++i;
            continue;
        }
        const int groupStart = i;
        const bool prefixed = text.at(i) == QLatin1Char('0') && i + 2 < size
                              && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))
                              && isHexDigit(text.at(i + 2));
        const int digitsStart = prefixed ? i + 2 : i;
        i = digitsStart;
        while (i < size && isHexDigit(text.at(i)))
            ++i;
        if (i < size && !isSeparator(text.at(i)))
            return badCharacter(text, i);
        if ((i - digitsStart) % 2 != 0)
            return oddGroup(text.mid(groupStart, i - groupStart), groupStart);
        for (int d = digitsStart; d < i; d += 2)
            result.bytes += char(digitValue(text.at(d)) << 4 | digitValue(text.at(d + 1)));
    }
    return result;
}

} // namespace HexInput
