// Every caption, button, check box and list box of a page is at least as
// wide as its text, in Chinese and in English, at the normal font and at one
// half larger: the pages' layouts and the main window make room for them.
#include "app/mainwindow.h"
#include "pages/common/pagebackground.h"
#include "support/modalcloser.h"
#include "support/testroot.h"

#include <QtTest>
#include <QtWidgets>

// The width a widget's text needs beyond the width it has; 0 for widgets
// whose text cannot be clipped (empty, word-wrapped, rich text).
static int shortfall(const QWidget *widget)
{
    QStringList texts; // for combo boxes every entry, since any may be chosen
    int given = widget->contentsRect().width(), extra = 0;
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        texts << (label->wordWrap() || Qt::mightBeRichText(label->text()) ? QString() : label->text());
    else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        texts << button->text(); // beside a check box's indicator, or within a button's margins
        extra = qobject_cast<const QCheckBox *>(widget) ? widget->style()->pixelMetric(QStyle::PM_IndicatorWidth) + widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) : 8;
    } else if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        QStyleOptionComboBox option;
        option.initFrom(combo);
        given = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    }
    const int widest = widget->fontMetrics().size(0, texts.join('\n')).width(); // of the lines
    return widest > 0 ? widest + extra - given : 0;
}

class TestFit : public QObject
{
    Q_OBJECT
private slots:
    void textsFit()
    {
        TestRoot root;
        QTranslator english;
        const QFont normal = QApplication::font();
        const auto scaled = [](QFont font, qreal scale) { font.setPointSizeF(font.pointSizeF() * scale); return font; };
        QStringList clipped;
        for (const int run : {0, 1, 2, 3}) { // Chinese, then English; each at 100 % and 150 %
            const qreal scale = run % 2 ? 1.5 : 1.0;
            if (run == 2)
                QVERIFY(english.load("vok-serial-tool_en", QCoreApplication::applicationDirPath() + "/translations")
                        && QCoreApplication::installTranslator(&english));
            QApplication::setFont(scaled(normal, scale));
            ModalCloser closer; // the MCU page's first-use prompt
            MainWindow window;
            // Fonts a form sets itself (a page's point size) grow with the application's.
            for (QWidget *widget : window.findChildren<QWidget *>())
                if (widget->testAttribute(Qt::WA_SetFont) && (widget->font().resolve() & QFont::SizeResolved))
                    widget->setFont(scaled(widget->font(), scale));
            window.show();
            auto *tabs = window.findChild<QTabWidget *>("tabWidget");
            for (const int tab : {1, 2, 3, 0}) { // entering a tab sizes the window for it
                tabs->setCurrentIndex(tab);
                QTest::qWait(20); // layouts settle over several passes of the event loop
                for (QWidget *widget : tabs->currentWidget()->findChildren<QWidget *>())
                    if (widget->isVisibleTo(tabs->currentWidget()) && shortfall(widget) > 0)
                        clipped << QString("run %1 tab %2 %3").arg(run).arg(tab).arg(widget->objectName());
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    }

    // The light picture only behind dark text, also after the palette changes;
    // the marked rows' tints (read-only and controlled datapoints, faulty frames
    // and stray bytes) far enough from the text colour in either palette.
    void paletteKeepsTextReadable()
    {
        const QColor grey(40, 40, 40), pale(230, 230, 230);
        const QPalette dark(pale, grey, grey, grey, grey, pale, grey), light(Qt::black, Qt::white, Qt::white, Qt::darkGray, Qt::gray, Qt::black, Qt::white);
        for (const QPalette &palette : {light, dark}) {
            QWidget page;
            page.setPalette(palette);
            auto *background = new QLabel(&page);
            PageBackground::apply(background);
            QCOMPARE(background->styleSheet().isEmpty(), palette == dark);
            page.setPalette(palette == light ? dark : light);
            QCOMPARE(background->styleSheet().isEmpty(), palette == light);
            for (const QColor &tint : {QColor(221, 221, 221), QColor(252, 222, 156), QColor(255, 214, 214), QColor(255, 236, 179)}) {
                const QColor row = PageBackground::rowColour(palette, tint);
                QVERIFY2(qAbs(row.lightness() - palette.color(QPalette::Text).lightness()) >= 120 && row != palette.color(QPalette::Base), qPrintable(row.name()));
            }
        }
    }
};

QTEST_MAIN(TestFit)
#include "tst_fit.moc"
