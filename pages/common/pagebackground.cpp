#include "pages/common/pagebackground.h"
#include "protocol/vokfiles.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>

namespace {
bool isDark(const QColor &colour)
{
    return colour.lightness() < 128;
}
} // namespace

PageBackground::PageBackground(QLabel *label) : QObject(label), label(label)
{
    label->installEventFilter(this);
    if (QWidget *page = label->parentWidget())
        page->installEventFilter(this);
    update();
}

void PageBackground::apply(QLabel *label)
{
    new PageBackground(label);
}

QColor PageBackground::rowColour(const QPalette &palette, const QColor &lightTint)
{
    const QColor base = palette.color(QPalette::Base);
    if (!isDark(base))
        return lightTint;
    // A third of the tint over the dark base: the hue still shows, and so
    // does light text.
    const auto mix = [](int dark, int light) { return (2 * dark + light) / 3; };
    return QColor(mix(base.red(), lightTint.red()), mix(base.green(), lightTint.green()),
                  mix(base.blue(), lightTint.blue()));
}

bool PageBackground::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::PaletteChange)
        update();
    return QObject::eventFilter(watched, event);
}

void PageBackground::update()
{
    QWidget *page = label->parentWidget();
    if (page && !(page->layout() && page->layout()->indexOf(label) >= 0)) {
        label->setGeometry(page->rect());
        label->lower();
    }
    // Quoted, so that a program folder with spaces or parentheses in its
    // path still shows the picture.
    // The page's palette: a label with a style sheet keeps the palette it
    // had when the sheet was set.
    const QWidget *shown = page ? page : label;
    const QString sheet = isDark(shown->palette().color(QPalette::Window))
            ? QString()
            : "border-image:url(\"" + VokFiles::backgroundImage() + "\")";
    // Set only when it changes: a new style sheet sends events of its own.
    if (label->styleSheet() != sheet)
        label->setStyleSheet(sheet);
}
