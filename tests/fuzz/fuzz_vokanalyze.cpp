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
    QByteArray request;
    QObject::connect(&analyzer, &VokAnalyze::RespondReady, [&request](const QByteArray &reply) {
        // A status read is answered unstamped: the page puts in the status.
        const bool statusRead = request.size() > 9 && request.at(4) == 0x03 && request.at(8) == 0x02;
        FuzzInput::require(reply.size() >= 9 && request.size() >= 9 && reply.at(5) == request.at(5)
                               && (statusRead || quint8(reply.back()) == VokFrame::checksum(reply)),
                           "reply too short, without the request's sn or without its checksum");
    });
    for (const QByteArray &frame : frames) {
        analyzer.analyze(frame);
        emit framer.LineDataReady(request = frame);
        analyzer.setProductKey(QString::fromLatin1(frame));
    }
    return 0;
}
