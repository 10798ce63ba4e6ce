#ifndef TOOLWINDOW_H
#define TOOLWINDOW_H

#include <QWidget>

namespace Ui {
class ToolWindow;
}

// Checksum calculator: the 8-bit sum of hexadecimal bytes typed by hand.
class ToolWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ToolWindow(QWidget *parent = nullptr);
    ~ToolWindow() override;

private slots:
    void on_pushButton_run_clicked();

private:
    Ui::ToolWindow *ui;
};

#endif // TOOLWINDOW_H
