#include "support/modalcloser.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

ModalCloser::ModalCloser(int intervalMs)
{
    connect(&timer, &QTimer::timeout, this, &ModalCloser::closeActiveBox);
    timer.start(intervalMs);
}

void ModalCloser::closeActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    seen.append(box->windowTitle() + '|' + box->text());
    box->done(QMessageBox::Ok);
}

bool ModalCloser::waitForBox(int timeoutMs)
{
    const int before = seen.size();
    return QTest::qWaitFor([&] { return seen.size() > before; }, timeoutMs);
}
