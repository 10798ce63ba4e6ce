#ifndef PAGEBACKGROUND_H
#define PAGEBACKGROUND_H

#include <QObject>

class QColor;
class QLabel;
class QPalette;

// The picture VokFiles::backgroundImage(), stretched over a page's
// bottom-most label, and the tints of marked rows. The picture is light, so
// under a dark palette the page shows its plain window colour instead, and
// row tints are darkened to keep light text readable.
class PageBackground : public QObject
{
    Q_OBJECT
public:
    // The label follows the page's size (unless a layout places it) and the
    // palette, for as long as it lives.
    static void apply(QLabel *label);
    // The given tint, meant for a light palette, as a row background under
    // this palette.
    static QColor rowColour(const QPalette &palette, const QColor &lightTint);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit PageBackground(QLabel *label);
    void update();

    QLabel *label;
};

#endif // PAGEBACKGROUND_H
