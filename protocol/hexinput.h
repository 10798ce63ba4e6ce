#ifndef HEXINPUT_H
#define HEXINPUT_H

#include <QByteArray>
#include <QString>

// Hexadecimal text that the user types or that is stored for sending, turned
// into bytes strictly: a text that could be read in more than one way is
// refused rather than guessed at.
//
// Accepted: groups of hexadecimal digits (either case), each of an even
// length, optionally prefixed with 0x or 0X, separated (or not) by spaces,
// tabs, line breaks, commas, colons or dashes. "FFFF0005", "ff:ff-00,05" and
// "0xFF 0xFF 0x00 0x05" are the same four bytes.
namespace HexInput {

struct Result
{
    QByteArray bytes;      // the decoded bytes; empty when refused
    int errorPosition = 0; // 1-based position of the first fault; 0 when accepted
    QString offending;     // the character or digit group at errorPosition
    QString message;       // ready to show to the user; empty when accepted

    bool ok() const { return errorPosition == 0; }
};

Result parse(const QString &text);

bool isHexDigit(QChar c);
// A character that may stand between groups.
bool isSeparator(QChar c);

} // namespace HexInput

#endif // HEXINPUT_H
