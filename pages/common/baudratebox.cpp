#include "pages/common/baudratebox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace BaudRateBox {

void acceptTypedRates(QComboBox *box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // Nine digits at most: every rate stays within an int.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-9][0-9]{0,8}")), box));
}

int rate(const QComboBox *box)
{
    bool ok = false;
    const int value = box->currentText().trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

} // namespace BaudRateBox
