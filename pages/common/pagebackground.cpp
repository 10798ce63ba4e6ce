#include "pages/common/pagebackground.h"
#include "protocol/vokfiles.h"

#include <QLabel>

void PageBackground::apply(QLabel *label)
{
    // Quoted, so that a program folder with spaces or parentheses in its
    // path still shows the picture.
    const QString path = VokFiles::backgroundImage();
    label->setStyleSheet("border-image:url(\"" + path + "\")");
}
