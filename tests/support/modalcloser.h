#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every modal message box that appears while it lives, the way a
// user would, and remembers each as "title|text".
class ModalCloser : public QObject
{
    Q_OBJECT
public:
    explicit ModalCloser(int intervalMs = 20);

    QStringList seen;
    // Waits (processing events) until a box has been closed or timeoutMs passed.
    bool waitForBox(int timeoutMs = 3000);

private:
    void closeActiveBox();
    QTimer timer;
};

#endif // MODALCLOSER_H
