#ifndef DUALPANE_H
#define DUALPANE_H

#include "support/widgetlookup.h"

#include <QComboBox>
#include <QPushButton>
#include <QString>

// Types path into the port box of pane 1 or 2 of the dual-port page found
// under root and clicks that pane's open button; true when the port opened.
inline bool openDualPane(QObject *root, int pane, const QString &path)
{
    const QString n = QString::number(pane);
    child<QComboBox>(root, "com_" + n)->setEditText(path);
    auto *button = child<QPushButton>(root, "pushButton_open" + n);
    button->click();
    return button->text() == QStringLiteral("关闭串口");
}

#endif // DUALPANE_H
