#ifndef WIDGETLOOKUP_H
#define WIDGETLOOKUP_H

#include <QObject>

// The widget of a form by its object name; a name the form lacks ends the
// test at once instead of failing later on a null pointer.
template<class T> T *child(const QObject *parent, const QString &name)
{
    if (T *widget = parent->findChild<T *>(name))
        return widget;
    qFatal("no widget %s", qPrintable(name));
}

#endif // WIDGETLOOKUP_H
