#ifndef WIDGETLOOKUP_H
#define WIDGETLOOKUP_H

#include <QObject>
#include <QString>
#include <QtGlobal>

// The widget of a form by its object name; a name the form lacks ends the
// test at once instead of failing later on a null pointer.
template<class T>
T *child(const QObject *parent, const QString &name)
{
    T *widget = parent->findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", qPrintable(name));
    return widget;
}

#endif // WIDGETLOOKUP_H
