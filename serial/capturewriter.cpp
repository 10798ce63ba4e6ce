#include "serial/capturewriter.h"

#include <QDir>

namespace {

const QByteArray firstLine = "# vok-serial-tool capture 1\n";
const int bytesPerLine = 64;

QByteArray timeFields(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
}

// A port name made fit for a file name: path separators and anything but
// letters, digits, '-', '_' and '.' become '_'.
QString fileNamePart(const QString &text)
{
    QString part;
    for (const QChar c : text) {
        const bool keep = (c.isLetterOrNumber() && c.unicode() < 128) || c == '-' || c == '_' || c == '.';
        part += keep ? c : QLatin1Char('_');
    }
    return part;
}

} // namespace

CaptureWriter::CaptureWriter(QObject *parent) : QObject(parent)
{
    flushTimer.setInterval(1000);
    connect(&flushTimer, &QTimer::timeout, this, &CaptureWriter::flush);
}

CaptureWriter::~CaptureWriter()
{
    stop();
}

QByteArray CaptureWriter::escapedPort(const QString &port)
{
    QByteArray field;
    const QByteArray utf8 = port.toUtf8();
    for (const char c : utf8) {
        const auto byte = quint8(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%') {
            static const char digits[] = "0123456789ABCDEF";
            field += '%';
            field += digits[byte >> 4];
            field += digits[byte & 0x0F];
        } else {
            field += c;
        }
    }
    return field;
}

bool CaptureWriter::start(const QString &nameHint)
{
    stop();
    hint = nameHint;
    return openNextFile();
}

bool CaptureWriter::openNextFile()
{
    if (!QDir().mkpath(folderPath)) {
        emit failed(tr("无法创建目录 %1").arg(folderPath));
        return false;
    }
    const QString stem = QDir(folderPath).filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_"))
        + fileNamePart(hint));
    // A rollover within the same second gets a counter.
    QString name = stem + QStringLiteral(".txt");
    for (int n = 2; QFile::exists(name); ++n)
        name = stem + QStringLiteral("_%1.txt").arg(n);
    file.setFileName(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        fail();
        return false;
    }
    fileBytes = 0;
    flushTimer.start();
    writeLine(firstLine);
    return file.isOpen();
}

void CaptureWriter::stop()
{
    if (!file.isOpen())
        return;
    flushTimer.stop();
    file.close();
}

void CaptureWriter::record(const QString &port, Direction direction, const QByteArray &bytes)
{
    if (!file.isOpen() || bytes.isEmpty())
        return;
    const QByteArray head = timeFields(QDateTime::currentDateTime()) + ' ' + escapedPort(port)
                            + (direction == Received ? " RX " : " TX ");
    for (int from = 0; from < bytes.size() && file.isOpen(); from += bytesPerLine)
        writeLine(head + bytes.mid(from, bytesPerLine).toHex(' ').toUpper() + '\n');
}

void CaptureWriter::note(const QString &port, const QString &text)
{
    if (!file.isOpen())
        return;
    writeLine(timeFields(QDateTime::currentDateTime()) + ' ' + escapedPort(port) + " -- "
              + text.toUtf8() + '\n');
}

void CaptureWriter::writeLine(const QByteArray &line)
{
    if (fileBytes > 0 && fileBytes + line.size() > maxFileBytes) {
        stop();
        if (!openNextFile())
            return;
    }
    if (file.write(line) != line.size()) {
        fail();
        return;
    }
    fileBytes += line.size();
}

void CaptureWriter::flush()
{
    if (file.isOpen() && !file.flush())
        fail();
}

void CaptureWriter::fail()
{
    const QString reason = file.errorString();
    flushTimer.stop();
    file.close();
    emit failed(reason);
}
