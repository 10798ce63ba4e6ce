#ifndef BAUDRATEBOX_H
#define BAUDRATEBOX_H

class QComboBox;

// A baud-rate combo box that takes any typed rate (a positive whole
// number) besides the listed ones; openCom passes the text on as it is.
namespace BaudRateBox {

void acceptTypedRates(QComboBox *box);

// The rate the box's text names; 0 when it names none.
int rate(const QComboBox *box);

} // namespace BaudRateBox

#endif // BAUDRATEBOX_H
