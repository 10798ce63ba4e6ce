// The analyser with any settings file (the document part of the input) and
// any frames (the pieces after it): analyze and the auto-responder, plus
// each piece as a typed product key.

#include "fuzzinput.h"
#include "support/chunksource.h"
#include "protocol/frame.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QList<QByteArray> frames;
    const QString path = FuzzInput::writeDocument(data, size, ".ini", &frames);
    if (path.isEmpty())
        return 0; // an empty path would be the installed settings file
    ChunkSource port;
    VokFramer framer(&port);
    VokAnalyze analyzer(&framer, nullptr, path);
    QList<QByteArray> replies;
    QObject::connect(&analyzer, &VokAnalyze::RespondReady, [&replies](const QByteArray &reply) { replies.append(reply); });
    for (const QByteArray &frame : frames) {
        analyzer.analyze(frame);
        replies.clear();
        emit framer.LineDataReady(frame);
        for (const QByteArray &reply : replies) {
            FuzzInput::require(reply.size() >= 9 && frame.size() >= 9, "reply or request too short");
            FuzzInput::require(reply.at(5) == frame.at(5), "reply without the request's sn");
            const bool statusRead = frame.at(4) == 0x03 && frame.size() > 9 && frame.at(8) == 0x02;
            FuzzInput::require(statusRead || quint8(reply.back()) == VokFrame::checksum(reply), "reply without its checksum");
        }
        analyzer.setProductKey(QString::fromLatin1(frame));
    }
    return 0;
}
