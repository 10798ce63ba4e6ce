#ifndef DUALPANE_H
#define DUALPANE_H

#include "support/widgetlookup.h"

#include <QComboBox>
#include <QPushButton>

// Types path into the port box of pane 1 or 2 of the dual-port page found
// under root and clicks that pane's open button; true when the port opened.
inline bool openDualPane(QObject *root, int pane, const QString &path)
{
    child<QComboBox>(root, QString("com_%1").arg(pane))->setEditText(path);
    child<QPushButton>(root, QString("pushButton_open%1").arg(pane))->click();
    return child<QPushButton>(root, QString("pushButton_open%1").arg(pane))->text() == QStringLiteral("关闭串口");
}

#endif // DUALPANE_H
