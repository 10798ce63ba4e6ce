#ifndef MCUWINDOW_H
#define MCUWINDOW_H

#include <QWidget>

// The MCU simulator page (being built; for now an empty page with the
// operations the main window calls).
class McuWindow : public QWidget
{
    Q_OBJECT
public:
    explicit McuWindow(QWidget *parent = nullptr);

    void closePort();
    void checkProductKey();
    void clearLog();
};

#endif // MCUWINDOW_H
