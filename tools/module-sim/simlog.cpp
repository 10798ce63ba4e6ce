#include "simlog.h"

#include "protocol/frame.h"

#include <QTime>

#include <cstdio>

namespace {
void writeLine(FILE *stream, const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream); // a reader on a pipe sees every line at once
}
} // namespace

void SimLog::frame(const QString &direction, const QByteArray &frame, const QString &meaning)
{
    stamped(direction.leftJustified(4) + ' ' + QString::fromLatin1(VokFrame::toHexString(frame))
            + "| " + meaning);
}

void SimLog::note(const QString &text)
{
    stamped("note " + text);
}

void SimLog::violation(bool counts, const QString &text)
{
    stamped((counts ? "FAIL " : "warn ") + text);
}

void SimLog::plain(const QString &text)
{
    writeLine(stdout, text);
}

void SimLog::error(const QString &text)
{
    writeLine(stderr, "vok-module-sim: " + text);
}

void SimLog::stamped(const QString &text)
{
    writeLine(stdout, QTime::currentTime().toString("hh:mm:ss.zzz") + ' ' + text);
}
