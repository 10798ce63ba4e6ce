#include "pages/common/pagebackground.h"

#include <QCoreApplication>
#include <QLabel>

void PageBackground::apply(QLabel *label)
{
    // Quoted, so that a program folder with spaces or parentheses in its
    // path still shows the picture.
    const QString path = QCoreApplication::applicationDirPath() + "/image/background.png";
    label->setStyleSheet("border-image:url(\"" + path + "\")");
}
