// The analyser with any settings file (the document part of the input) and
// any frames (the pieces after it): analyze and the auto-responder, plus
// each piece as a typed product key.

#include "fuzzinput.h"
#include "support/chunksource.h"
#include "protocol/vokanalyze.h"
#include "protocol/vokframer.h"
#include "protocol/voktool.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
QTemporaryDir *folder = nullptr;
int runs = 0;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    folder = FuzzInput::scratchFolder();
    return folder->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    // A fresh name each run: QSettings keeps files it has read by name.
    const QString path = folder->filePath(QString("%1.ini").arg(runs++));
    if (!FuzzInput::writeDocument(path, input))
        return 0;
    {
        ChunkSource port;
        VokFramer framer(&port);
        VokAnalyze analyzer(&framer, nullptr, path);
        QList<QByteArray> replies;
        QObject::connect(&analyzer, &VokAnalyze::RespondReady,
                         [&replies](const QByteArray &reply) { replies.append(reply); });
        VokTool tool;
        for (const QByteArray &frame : FuzzInput::pieces(FuzzInput::rest(input))) {
            analyzer.analyze(frame);
            replies.clear();
            emit framer.LineDataReady(frame);
            for (const QByteArray &reply : replies) {
                FuzzInput::require(reply.size() >= 9 && frame.size() >= 9, "reply or request too short");
                FuzzInput::require(reply.at(5) == frame.at(5), "reply without the request's sn");
                const bool statusRead = frame.at(4) == 0x03 && frame.size() > 9 && frame.at(8) == 0x02;
                FuzzInput::require(statusRead || quint8(reply.back()) == tool.checksum(reply, 2, 1),
                                   "reply without its checksum");
            }
            analyzer.setProductKey(QString::fromLatin1(frame));
        }
    }
    QFile::remove(path);
    return 0;
}
