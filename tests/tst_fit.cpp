// Every caption, button, check box and list box of a page is at least as
// wide as its text, in Chinese and in English, at the normal font and at one
// half larger: the pages' layouts and the main window make room for them.
#include "app/mainwindow.h"
#include "pages/common/pagebackground.h"
#include "support/modalcloser.h"
#include "support/testroot.h"
#include "support/widgetlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTextDocument>
#include <QTranslator>
#include <QtTest>

namespace {

int textWidth(const QWidget *widget, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, widget->fontMetrics().horizontalAdvance(line));
    return widest;
}

// The width a widget's text needs and the width it has; {0, 0} for widgets
// whose text cannot be clipped (empty, word-wrapped, rich text).
QPair<int, int> neededAndGiven(const QWidget *widget)
{
    const QStyle *style = widget->style();
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->text().isEmpty() || label->wordWrap() || Qt::mightBeRichText(label->text()))
            return {0, 0};
        return {textWidth(label, label->text()), label->contentsRect().width()};
    }
    if (const auto *box = qobject_cast<const QCheckBox *>(widget)) {
        return {textWidth(box, box->text()) + style->pixelMetric(QStyle::PM_IndicatorWidth)
                        + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                box->width()};
    }
    if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        if (button->text().isEmpty())
            return {0, 0};
        return {textWidth(button, button->text()) + 8, button->width()};
    }
    if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        // Every entry, since any may be chosen.
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = qMax(widest, textWidth(combo, combo->itemText(i)));
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo);
        return {widest, field.width()};
    }
    return {0, 0};
}

// Fonts a form sets itself (a page's point size) grow with the application's.
void scaleOwnFonts(QWidget *root, qreal scale)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : widgets) {
        if (!widget->testAttribute(Qt::WA_SetFont) || !(widget->font().resolve() & QFont::SizeResolved))
            continue;
        QFont font = widget->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        widget->setFont(font);
    }
}

} // namespace

class TestFit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void textsFit_data();
    void textsFit();
    void paletteKeepsTextReadable_data();
    void paletteKeepsTextReadable();

private:
    QTemporaryDir home;
};

void TestFit::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
}

void TestFit::textsFit_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("language");
    QTest::addColumn<qreal>("scale");

    // The tabs of the main window, as the window shows them.
    const QList<QPair<const char *, int>> pages{{"dual", 0}, {"mcu", 1}, {"tool", 2}, {"monitor", 3}};
    for (const auto &page : pages) {
        for (const char *language : {"zh", "en"}) {
            for (const qreal scale : {1.0, 1.5})
                QTest::addRow("%s %s %d%%", page.first, language, int(scale * 100))
                    << page.second << QString(language) << scale;
        }
    }
}

void TestFit::textsFit()
{
    QFETCH(int, tab);
    QFETCH(QString, language);
    QFETCH(qreal, scale);

    TestRoot root;
    QVERIFY(root.isValid());
    QTranslator english;
    if (language == "en") {
        QVERIFY(english.load("vok-serial-tool_en",
                             QCoreApplication::applicationDirPath() + "/translations"));
        QCoreApplication::installTranslator(&english);
    }
    const QFont normal = QApplication::font();
    QFont larger = normal;
    larger.setPointSizeF(normal.pointSizeF() * scale);
    QApplication::setFont(larger);

    ModalCloser closer; // the MCU page's first-use prompt
    MainWindow window;
    scaleOwnFonts(&window, scale);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Entering a tab sizes the window for it.
    auto *tabs = child<QTabWidget>(&window, "tabWidget");
    tabs->setCurrentIndex(tab == 2 ? 0 : 2);
    tabs->setCurrentIndex(tab);
    // Layouts settle over several passes of the event loop.
    QTest::qWait(100);

    QStringList clipped;
    QWidget *page = tabs->currentWidget();
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(page))
            continue;
        const QPair<int, int> width = neededAndGiven(widget);
        if (width.first > width.second)
            clipped << QString("%1 (%2 < %3)").arg(widget->objectName()).arg(width.second).arg(width.first);
    }
    QApplication::setFont(normal);
    QCoreApplication::removeTranslator(&english);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
}

void TestFit::paletteKeepsTextReadable_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("picture");

    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(40, 40, 40));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(230, 230, 230));
    QTest::newRow("light") << QPalette(Qt::black, Qt::white, Qt::white, Qt::darkGray, Qt::gray,
                                       Qt::black, Qt::white)
                           << true;
    QTest::newRow("dark") << dark << false;
}

// The light picture only behind dark text; the marked rows' tints (read-only
// and controlled datapoints, faulty frames and stray bytes) far enough from
// the text colour in either palette.
void TestFit::paletteKeepsTextReadable()
{
    QFETCH(QPalette, palette);
    QFETCH(bool, picture);

    QWidget page;
    page.setPalette(palette);
    auto *background = new QLabel(&page);
    PageBackground::apply(background);
    QCOMPARE(!background->styleSheet().isEmpty(), picture);
    page.setPalette(picture ? QPalette(QColor(40, 40, 40)) : QPalette(Qt::white));
    QCOMPARE(background->styleSheet().isEmpty(), picture);

    const int text = palette.color(QPalette::Text).lightness();
    for (const QColor &tint : {QColor(221, 221, 221), QColor(252, 222, 156), QColor(255, 214, 214),
                               QColor(255, 236, 179)}) {
        const QColor row = PageBackground::rowColour(palette, tint);
        QVERIFY2(qAbs(row.lightness() - text) >= 120, qPrintable(row.name()));
        QVERIFY(row != palette.color(QPalette::Base));
    }
}

QTEST_MAIN(TestFit)
#include "tst_fit.moc"
