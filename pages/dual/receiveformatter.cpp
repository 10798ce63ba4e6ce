#include "pages/dual/receiveformatter.h"

#include <QTime>

namespace {

// Bytes per line of the both view, so that the text column lines up.
const int bothLineBytes = 16;

QString timeStamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + QLatin1Char(':');
}

// Needs at least four bytes from pos.
bool startsFrameHeader(const char *p)
{
    const bool version4 = quint8(p[0]) == 0xFF && quint8(p[1]) == 0xFF;
    const bool version3 = p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 3;
    return version4 || version3;
}

// "%02X " of one byte.
void appendHexByte(QString &text, char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    const auto value = quint8(byte);
    text += QLatin1Char(digits[value >> 4]);
    text += QLatin1Char(digits[value & 0x0F]);
    text += QLatin1Char(' ');
}

// Length of the UTF-8 sequence that starts at p if it is whole within
// available bytes and a printable character; 0 otherwise.
int printableSequence(const char *p, int available)
{
    const auto lead = quint8(p[0]);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    const int length = lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
    if (length == 0 || length > available)
        return 0;
    const QString decoded = QString::fromUtf8(p, length);
    const uint code = decoded.toUcs4().value(0);
    const bool one = decoded.size() == (code > 0xFFFF ? 2 : 1);
    return one && code != QChar::ReplacementCharacter && QChar::isPrint(code) ? length : 0;
}

void appendEscaped(QString &text, char byte)
{
    switch (byte) {
    case '\r':
        text += QLatin1String("\\r");
        return;
    case '\n':
        text += QLatin1String("\\n");
        return;
    case '\t':
        text += QLatin1String("\\t");
        return;
    case '\\':
        text += QLatin1String("\\\\");
        return;
    default:
        text += QLatin1String("\\x");
        appendHexByte(text, byte);
        text.chop(1); // no space inside the text
    }
}

// The character at p whose length printableSequence found, or the escape
// of its byte when that is 0; a backslash is escaped too. Appended straight
// to text: a string per byte would cost more than the formatting.
void appendShown(QString &text, const char *p, int length)
{
    if (length == 1 && *p != '\\')
        text += QLatin1Char(*p);
    else if (length > 1)
        text += QString::fromUtf8(p, length);
    else
        appendEscaped(text, *p);
}

// The text of bytes that are all there: characters, and escapes for the rest.
QString escapedText(const QByteArray &bytes)
{
    QString text;
    for (int i = 0; i < bytes.size();) {
        const int length = printableSequence(bytes.constData() + i, bytes.size() - i);
        appendShown(text, bytes.constData() + i, length);
        i += qMax(length, 1);
    }
    return text;
}

} // namespace

void ReceiveFormatter::setView(View view)
{
    current = view;
}

void ReceiveFormatter::reset()
{
    lineChars = 0;
    anyText = false;
    lineStamp.clear();
    lineHex.clear();
    lineText.clear();
    lineBytes = 0;
}

void ReceiveFormatter::lineBreak(QString &text)
{
    if (anyText || !text.isEmpty())
        text += QLatin1Char('\n');
    lineChars = 0;
}

QString ReceiveFormatter::take(QByteArray &held, bool all, int *bytesTaken)
{
    const int count = held.size() - (all ? 0 : heldBackBytes);
    *bytesTaken = 0;
    QString text;
    if (count > 0 && current == Hex) {
        *bytesTaken = count;
        text = takeHex(held, count);
    } else if (count > 0) {
        text = takeText(held, count, bytesTaken);
    }
    if (all && current == Both)
        text += endLine();
    return text;
}

void ReceiveFormatter::lineWritten()
{
    anyText = true;
    lineChars = maxLineChars;
}

QString ReceiveFormatter::takeHex(QByteArray &held, int count)
{
    QString text;
    text.reserve(count * 3 + 64);
    QString stamp; // one reading of the clock serves the whole chunk
    // The header test needs four bytes: only the bytes held back for it
    // (all=false) give them, so the last ones of a flush are never tested.
    const int testable = held.size() - heldBackBytes;
    for (int i = 0; i < count; ++i) {
        const bool header = i < testable && startsFrameHeader(held.constData() + i);
        if (header || lineChars >= maxLineChars)
            lineBreak(text);
        if (header) {
            if (stamp.isEmpty())
                stamp = timeStamp();
            text += stamp;
            lineChars += stamp.size();
        }
        appendHexByte(text, held.at(i));
        lineChars += 3;
    }
    held.remove(0, count);
    anyText = anyText || !text.isEmpty();
    return text;
}

QString ReceiveFormatter::takeText(QByteArray &held, int count, int *bytesTaken)
{
    QString text;
    QString stamp;
    const int testable = held.size() - heldBackBytes;
    const char *bytes = held.constData();
    int i = 0;
    while (i < count) {
        const bool header = i < testable && startsFrameHeader(bytes + i);
        // The bytes held back complete a character cut between chunks; the
        // last bytes of a flush that are no whole character are escaped.
        int length = printableSequence(bytes + i, held.size() - i);
        const bool lineFull = lineChars >= maxLineChars || (current == Both && lineBytes >= bothLineBytes);
        if (header || lineFull) {
            text += endLine();
            lineBreak(text);
        }
        if (header) {
            if (stamp.isEmpty())
                stamp = timeStamp();
            if (current == Both)
                lineStamp = stamp;
            else
                text += stamp;
            lineChars += stamp.size();
        }
        QString &target = current == Both ? lineText : text;
        const int before = target.size();
        appendShown(target, bytes + i, length);
        length = qMax(length, 1);
        if (current == Both) {
            for (int k = 0; k < length; ++k)
                appendHexByte(lineHex, bytes[i + k]);
            lineBytes += length;
        }
        lineChars += target.size() - before;
        if (bytes[i] == '\n')
            lineChars = maxLineChars; // a received line ends its line here
        i += length;
    }
    held.remove(0, i);
    *bytesTaken = i;
    anyText = anyText || !text.isEmpty() || lineBytes > 0;
    return text;
}

QString ReceiveFormatter::endLine()
{
    lineChars = maxLineChars;
    if (lineBytes == 0)
        return QString();
    QString line = lineStamp + lineHex.leftJustified(bothLineBytes * 3) + QLatin1Char(' ') + lineText;
    lineStamp.clear();
    lineHex.clear();
    lineText.clear();
    lineBytes = 0;
    return line;
}

QString ReceiveFormatter::sentLine(const QByteArray &bytes) const
{
    QString hex = QString::fromLatin1(bytes.toHex(' ').toUpper());
    QString body = current == Hex    ? hex
                   : current == Text ? escapedText(bytes)
                                     : hex + QStringLiteral("  ") + escapedText(bytes);
    return QStringLiteral("→ ") + timeStamp() + QLatin1Char(' ') + body;
}
