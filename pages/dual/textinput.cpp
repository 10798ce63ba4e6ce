#include "pages/dual/textinput.h"

#include <QCoreApplication>

namespace TextInput {

namespace {

HexInput::Result badEscape(const QString &text, int index)
{
    HexInput::Result result;
    result.errorPosition = index + 1;
    result.offending = text.mid(index, 4);
    result.message = QCoreApplication::translate(
                         "TextInput", "文本输入有误：第 %1 个字符起的“%2”不是可用的转义"
                                      "（可用 \\r \\n \\t \\\\ \\xNN）。")
                         .arg(index + 1)
                         .arg(result.offending);
    return result;
}

} // namespace

HexInput::Result parse(const QString &text)
{
    HexInput::Result result;
    QString plain; // the run of text since the last escape
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            plain += c;
            continue;
        }
        result.bytes += plain.toUtf8();
        plain.clear();
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        switch (next.unicode()) {
        case 'r':
            result.bytes += '\r';
            break;
        case 'n':
            result.bytes += '\n';
            break;
        case 't':
            result.bytes += '\t';
            break;
        case '\\':
            result.bytes += '\\';
            break;
        case 'x': {
            const QString digits = text.mid(i + 2, 2);
            bool ok = digits.size() == 2 && HexInput::isHexDigit(digits.at(0))
                      && HexInput::isHexDigit(digits.at(1));
            if (!ok)
                return badEscape(text, i);
            result.bytes += char(digits.toUInt(&ok, 16));
            i += 2;
            break;
        }
        default:
            return badEscape(text, i);
        }
        ++i;
    }
    result.bytes += plain.toUtf8();
    return result;
}

QByteArray lineEnding(int index)
{
    static const char *const endings[] = {"", "\r", "\n", "\r\n"};
    return index >= 0 && index < 4 ? QByteArray(endings[index]) : QByteArray();
}

} // namespace TextInput
