#ifndef RECEIVEFORMATTER_H
#define RECEIVEFORMATTER_H

#include <QByteArray>
#include <QString>

// Turns the bytes a pane receives into the text of its area, in one of three
// views: hexadecimal ("FF FF 00 05 "), text (printable characters as they
// are, everything else as an escape such as \r, \n, \x00) or both, hex then
// text on the same line. Every view starts a new line with the time at a
// frame header (FF FF, or 00 00 00 03); the text views also after a received
// line feed. Keeps the state of the line being written between chunks.
class ReceiveFormatter
{
public:
    enum View { Hex, Text, Both };

    // Bytes that may still be the start of a header or of a character cut
    // between chunks: take() never shows the last of them unless told to.
    static const int heldBackBytes = 3;
    // A run without any line break goes on in a new line after this many
    // characters (one endless line would be laid out again per chunk).
    static const int maxLineChars = 3 * 1024;

    void setView(View view);
    View view() const { return current; }

    // Takes the bytes of held up to its last heldBackBytes (all of them with
    // all=true, which also ends a line of the both view) and returns their
    // text; bytesTaken says how many went.
    QString take(QByteArray &held, bool all, int *bytesTaken);
    // Ends the line being written: the next byte starts a new one. Returns
    // what the both view still held of that line.
    QString endLine();
    // A line of another kind (a notice, sent bytes) was written after the
    // line being written ended: the next byte starts a new line.
    void lineWritten();
    // The area was emptied.
    void reset();
    bool wroteAnything() const { return anyText; }

    // One line for bytes the user sent, in the current view, e.g.
    // "→ 14:03:07.125: 01 02". No leading line break.
    QString sentLine(const QByteArray &bytes) const;

private:
    QString takeHex(QByteArray &held, int count);
    QString takeText(QByteArray &held, int count, int *bytesTaken);
    void lineBreak(QString &text);

    View current = Hex;
    int lineChars = 0;    // length of the last line, shown or not
    bool anyText = false; // since the area was last emptied
    // The both view writes a line once it is complete: its bytes so far.
    QString lineStamp;
    QString lineHex;
    QString lineText;
    int lineBytes = 0;
};

#endif // RECEIVEFORMATTER_H
