// The English translation covers every text the sources and forms hold
// today: lupdate merges them afresh into a copy of the shipped translation,
// where a text without English shows as unfinished or empty. The compiled
// translation lies beside the program.
#include "support/testroot.h"

#include <QTranslator>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void englishCoversEveryText()
    {
        QTemporaryDir dir;
        const QString merged = dir.filePath("vok-serial-tool_en.ts");
        QVERIFY(writeFile(merged, readFile(VOK_SOURCE_DIR "/app/translations/vok-serial-tool_en.ts")));
        QProcess lupdate;
        lupdate.setWorkingDirectory(VOK_SOURCE_DIR);
        lupdate.start(VOK_LUPDATE, {"-I", ".", "-silent", "-no-obsolete", "-locations", "none", "app", "pages", "protocol",
                                    "datapoint", "serial", "-ts", merged});
        QVERIFY(lupdate.waitForFinished(120000) && lupdate.exitCode() == 0);
        const QString ts = QString::fromUtf8(readFile(merged));
        QVERIFY(ts.count("<message>") > 100);
        QStringList missing;
        auto untranslated = QRegularExpression("<source>([^<]*)</source>\\s*<translation( type=\"unfinished\">[^<]*|>)</")
                                .globalMatch(ts);
        while (untranslated.hasNext())
            missing << untranslated.next().captured(1);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));

        QTranslator english;
        QVERIFY(english.load("vok-serial-tool_en", QCoreApplication::applicationDirPath() + "/translations")
                && !english.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
