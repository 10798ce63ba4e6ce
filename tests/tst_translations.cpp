// The English translation covers every text the sources and forms hold
// today: lupdate collects them afresh, and the compiled translation beside
// the program must have an English text for each.
#include <QtTest>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {
struct SourceText
{
    QString context;
    QString source;
};

// The (context, source) pairs of a .ts file, and whether any is unfinished.
QList<SourceText> readTs(const QString &path, bool *unfinished)
{
    QList<SourceText> texts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            texts.append({context, xml.readElementText()});
        else if (xml.name() == QLatin1String("translation"))
            *unfinished |= xml.attributes().value("type") == QLatin1String("unfinished");
    }
    return texts;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void englishCoversEveryText();
};

void TestTranslations::englishCoversEveryText()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fresh = dir.filePath("fresh_en.ts");
    QProcess lupdate;
    lupdate.setWorkingDirectory(VOK_SOURCE_DIR);
    lupdate.start(VOK_LUPDATE, {"-I", ".", "-silent", "-locations", "none", "app", "pages",
                                "protocol", "datapoint", "serial", "-ts", fresh});
    QVERIFY(lupdate.waitForFinished(120000));
    QCOMPARE(lupdate.exitCode(), 0);

    bool unfinished = false;
    const QList<SourceText> texts = readTs(fresh, &unfinished);
    QVERIFY(texts.size() > 100);

    bool shippedUnfinished = false;
    QVERIFY(!readTs(VOK_SOURCE_DIR "/app/translations/vok-serial-tool_en.ts", &shippedUnfinished).isEmpty());
    QVERIFY(!shippedUnfinished);

    QTranslator english;
    QVERIFY(english.load("vok-serial-tool_en", QCoreApplication::applicationDirPath() + "/translations"));
    QStringList missing;
    for (const SourceText &text : texts) {
        if (english.translate(text.context.toUtf8(), text.source.toUtf8()).isEmpty())
            missing << text.context + ": " + text.source;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
