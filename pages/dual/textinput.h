#ifndef TEXTINPUT_H
#define TEXTINPUT_H

#include "protocol/hexinput.h"

#include <QByteArray>
#include <QString>

// Typed text sent as text: its UTF-8 bytes, with the escapes \r \n \t \\ and
// \xNN (two hexadecimal digits) for bytes that are awkward to type. Any
// other backslash sequence is refused, the way HexInput refuses a stray
// character: nothing is sent and the message names the position.
namespace TextInput {

HexInput::Result parse(const QString &text);

// The bytes a line ending choice adds: 0 none, 1 CR, 2 LF, 3 CR LF.
QByteArray lineEnding(int index);

} // namespace TextInput

#endif // TEXTINPUT_H
